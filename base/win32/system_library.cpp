#include "system_library.h"

#include <string>

namespace base::win32 {
namespace {

HMODULE LoadFromSystemFolder(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return module;
    }
    // The search flags are unknown to this loader: name the file itself, never a bare name.
    std::wstring path(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
    if (length == 0 || length >= path.size()) {
        return nullptr;
    }
    path.resize(length);
    path += L'\\';
    path += name;
    // Its own imports are then looked for beside it first, in the system folder too.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL WINAPI(DWORD);
    using Generic = void (*)();
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFunction*>(reinterpret_cast<Generic>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L"");
    }
}

SystemLibrary::SystemLibrary(const wchar_t* name) : module_(LoadFromSystemFolder(name)) {}

SystemLibrary::~SystemLibrary() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

}  // namespace base::win32

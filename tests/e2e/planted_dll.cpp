// Stands in for a DLL planted beside the programs under a system DLL's name: loaded, it
// leaves "<its own path>.loaded" behind, and the test looks for that.
#include <windows.h>

#include <string>

namespace {

// The whole path, however deep the folder: a cut one would leave no marker and hide a load.
std::wstring OwnPath(HINSTANCE instance) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        const std::wstring path = OwnPath(instance);
        HANDLE marker = path.empty()
                            ? INVALID_HANDLE_VALUE
                            : CreateFileW((path + L".loaded").c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (marker == INVALID_HANDLE_VALUE) {
            return FALSE;  // a load that cannot be noted must not pass for no load
        }
        CloseHandle(marker);
    }
    return TRUE;
}

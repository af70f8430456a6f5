#include "win32_system.h"

#include <objbase.h>
#include <shellapi.h>

#include "system_library.h"

namespace launcher {
namespace {

// shell32 and ole32 with all they bring are loaded only for the start of the next program:
// imported, they would cost every start of the window time.
using forms::win32::SystemLibrary;

// ShellExecuteEx may hand the start to COM (elevation, file associations).
class ComApartment {
  public:
    explicit ComApartment(const SystemLibrary& ole32)
        : uninitialise_(ole32.Find<decltype(CoUninitialize)>("CoUninitialize")) {
        const auto initialise = ole32.Find<decltype(CoInitializeEx)>("CoInitializeEx");
        if (initialise == nullptr ||
            FAILED(initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
            uninitialise_ = nullptr;
        }
    }
    ~ComApartment() {
        if (uninitialise_ != nullptr) {
            uninitialise_();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    decltype(CoUninitialize)* uninitialise_;
};

}  // namespace

// The wide API with a buffer of the size it asks for: any length, any letters.
std::optional<std::wstring> Win32System::CurrentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    while (size != 0) {
        std::wstring directory(size, L'\0');
        const DWORD written = GetCurrentDirectoryW(size, directory.data());
        if (written == 0) {
            break;
        }
        if (written < size) {
            directory.resize(written);
            return directory;
        }
        size = written;  // the directory changed in between and grew
    }
    return std::nullopt;
}

ScreenSize Win32System::PrimaryScreen() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// ShellExecuteEx rather than CreateProcess: an installer that asks for elevation gets the
// consent prompt instead of failing with ERROR_ELEVATION_REQUIRED.
bool Win32System::StartProgram(const std::wstring& path) {
    const SystemLibrary ole32(L"ole32.dll");
    const SystemLibrary shell32(L"shell32.dll");
    const auto shellExecute = shell32.Find<decltype(ShellExecuteExW)>("ShellExecuteExW");
    if (shellExecute == nullptr) {
        return false;
    }
    const ComApartment com(ole32);
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.hwnd = owner_;
    start.lpFile = path.c_str();
    start.nShow = SW_SHOWNORMAL;
    return shellExecute(&start) != FALSE;
}

}  // namespace launcher

#include "win32_system.h"

#include <objbase.h>
#include <shellapi.h>

namespace launcher {
namespace {

// ShellExecuteEx may hand the start to COM (elevation, file associations).
class ComApartment {
  public:
    ComApartment()
        : initialised_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
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
    const ComApartment com;
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.hwnd = owner_;
    start.lpFile = path.c_str();
    start.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&start) != FALSE;
}

}  // namespace launcher

// VARNOK\Setup.exe on the demo CD: stands in for the product's installer, which is not
// part of the CD start-up. It says where it was started from, and that is all.
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring WorkingDirectory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring text =
        L"The installer of Pelmor's VARNOK would start here.\n\n"
        L"This demo CD holds a stand-in for it:\n" +
        ModulePath() + L"\nstarted in " + WorkingDirectory();
    MessageBoxW(nullptr, text.c_str(), L"VARNOK Setup",
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}

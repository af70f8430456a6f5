#include "launcher.h"

#include <algorithm>
#include <cmath>
#include <cwctype>

namespace launcher {

namespace {

// Windows compares paths without regard to case; a trailing backslash (D:\ against D:\)
// names the same folder.
bool SameFolder(std::wstring_view a, std::wstring_view b) {
    const auto trimmed = [](std::wstring_view path) {
        return path.size() > 1 && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
    };
    a = trimmed(a);
    b = trimmed(b);
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<wint_t>(x)) ==
                      std::towupper(static_cast<wint_t>(y));
           });
}

}  // namespace

void WorkInProgramFolder(System& system) {
    const std::optional<std::wstring> program = system.ProgramFolder();
    if (!program || program->empty()) {
        return;
    }
    const std::optional<std::wstring> current = system.CurrentDirectory();
    if (!current || !SameFolder(*current, *program)) {
        system.ChangeDirectory(*program);
    }
}

bool TakeFrontEnd(System& system) {
    if (system.TakeFrontEndGuard()) {
        return true;
    }
    system.ShowOtherFrontEnd();
    return false;
}

std::wstring InstallRootFrom(const std::optional<std::wstring>& currentDirectory) {
    if (!currentDirectory) {
        return L"";
    }
    // Only a drive root is three characters long; every started path adds its own backslash.
    if (currentDirectory->size() == 3) {
        return currentDirectory->substr(0, 2);
    }
    return *currentDirectory;
}

std::wstring ReadInstallRoot(System& system) {
    return InstallRootFrom(system.CurrentDirectory());
}

Position CentredPosition(ScreenSize screen, int width, int height) {
    return {static_cast<int>(std::lround((screen.width - width) / 2.0)),
            static_cast<int>(std::lround((screen.height - height) / 2.0))};
}

void CentreWindow(forms::Form& window, System& system, int width, int height) {
    const Position position =
        CentredPosition(system.PrimaryScreen(), forms::Scale(width, window.Dpi()),
                        forms::Scale(height, window.Dpi()));
    window.Move(position.left, position.top);
}

void StartProgram(forms::Form& window, System& system, const std::wstring& relativePath, Echo echo,
                  const std::wstring& programTitle) {
    window["Text2"].SetText(window["Text1"].Text() + relativePath);
    const std::wstring command = window["Text2"].Text();
    if (echo == Echo::On) {
        window.Print(command);
    }
    if (system.StartProgram(command) != StartResult::Failed) {
        return;
    }
    window.Hide();
    window.Stop();  // nothing runs behind the boxes of an ending program
    window.ShowMessage(kFatalErrorText, kFatalErrorTitle, forms::MessageIcon::Exclamation);
    if (echo == Echo::On) {
        window.ShowMessage(command, programTitle, forms::MessageIcon::None);
    }
}

}  // namespace launcher

#include "launcher.h"

#include <cmath>

namespace launcher {

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
    const Position position = CentredPosition(system.PrimaryScreen(), width, height);
    window.Move(position.left, position.top);
}

void StartProgram(forms::Form& window, System& system, const std::wstring& relativePath, Echo echo,
                  const std::wstring& programTitle) {
    window["Text2"].SetText(window["Text1"].Text() + relativePath);
    const std::wstring command = window["Text2"].Text();
    if (echo == Echo::On) {
        window.Print(command);
    }
    if (system.StartProgram(command)) {
        return;
    }
    window.Hide();
    window.ShowMessage(kFatalErrorText, kFatalErrorTitle, forms::MessageIcon::Exclamation);
    if (echo == Echo::On) {
        window.ShowMessage(command, programTitle, forms::MessageIcon::None);
    }
}

}  // namespace launcher

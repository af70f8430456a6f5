#include "launcher.h"

#include "command_line.h"
#include "text_ids.h"

namespace launcher {

namespace {

// Windows compares paths without regard to case, and a trailing backslash names the same
// folder (E:\CDCOPY\ against E:\CDCOPY).
bool SameFolder(std::wstring_view a, std::wstring_view b) {
    const auto trimmed = [](std::wstring_view path) {
        return path.size() > 1 && path.back() == L'\\' ? path.substr(0, path.size() - 1) : path;
    };
    return SameText(trimmed(a), trimmed(b));
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

namespace {

// A front end that holds the guard shows its window once the clip's headers are read, which
// from a slow drive takes a moment; one that shows nothing after this is hung, and a start
// that waited for it longer would only look hung too.
constexpr uint64_t kWaitForOtherMs = 2000;
constexpr unsigned kLookAgainMs = 50;

}  // namespace

Handover HandoverFrom(std::wstring_view commandLine) {
    const std::optional<std::wstring_view> rest = SwitchValue(commandLine, kHandoverSwitch);
    return rest && rest->empty() ? Handover::FrontEnd : Handover::None;
}

bool TakeFrontEnd(System& system, Handover handover) {
    const uint64_t giveUpAt = system.NowMs() + kWaitForOtherMs;
    for (;;) {
        if (system.TakeFrontEndGuard(handover)) {
            return true;
        }
        if (system.ShowOtherFrontEnd() || system.NowMs() >= giveUpAt) {
            return false;
        }
        system.Pause(kLookAgainMs);
    }
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

namespace {

// Half of a difference in pixels, where an odd difference rounds away from zero: 5 gives 3,
// -5 gives -3.
int HalfOf(int difference) {
    return difference >= 0 ? (difference + 1) / 2 : -((1 - difference) / 2);
}

}  // namespace

Position CentredPosition(ScreenSize screen, int width, int height) {
    return {HalfOf(screen.width - width), HalfOf(screen.height - height)};
}

void CentreWindow(forms::Form& window, System& system, int width, int height) {
    window.Place([&window, &system, width, height] {
        const Position position =
            CentredPosition(system.PrimaryScreen(), forms::Scale(width, window.Dpi()),
                            forms::Scale(height, window.Dpi()));
        window.Move(position.left, position.top);
    });
}

StartResult StartNext(System& system, const std::wstring& path, Handover handover) {
    switch (system.StartDirectly(path, handover)) {
        case DirectStart::Started:
            return StartResult::Started;
        case DirectStart::ElevationRequired:
            return system.StartThroughShell(path, handover);
        case DirectStart::Failed:
            break;
    }
    return StartResult::Failed;
}

void StartProgram(forms::Form& window, System& system, const std::wstring& relativePath, Echo echo,
                  const std::wstring& programTitle, Handover handover) {
    window["Text2"].SetText(window["Text1"].Text() + relativePath);
    std::wstring command = window["Text2"].Text();
    if (echo == Echo::On) {
        window.Print(command);
    }
    if (StartNext(system, command, handover) != StartResult::Failed) {
        return;
    }
    window.Hide();
    window.Stop();  // nothing runs behind the boxes of an ending program
    window.ShowMessage(std::wstring(system.Text(texts::kFatalErrorText)),
                       std::wstring(system.Text(texts::kFatalErrorTitle)),
                       forms::MessageIcon::Exclamation);
    if (echo == Echo::On) {
        // Left to right in a box read from the right, or a path's backslashes would take the
        // box's direction: a UNC path's would land at the wrong end.
        if (window.BoxReading() == forms::Reading::RightToLeft) {
            command.insert(command.begin(), L'\u202A');  // an embedding, LRE to PDF
            command.push_back(L'\u202C');
        }
        window.ShowMessage(command, programTitle, forms::MessageIcon::None);
    }
}

}  // namespace launcher

// Shared by both programs: the install root, centring a window, and starting the next
// program of the chain from the install root.
#pragma once

#include <optional>
#include <string>

#include "form.h"

namespace launcher {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// How a start went. Declined: the user answered No where the program asked for elevation.
enum class StartResult { Started, Declined, Failed };

// The operating system as the launcher sees it; faked in tests.
class System : public forms::FormSystem {
  public:
    // The working directory, whatever its length or letters; nothing when it can't be read.
    virtual std::optional<std::wstring> CurrentDirectory() = 0;
    virtual bool ChangeDirectory(const std::wstring& directory) = 0;
    // The folder the running program was started from, such as D:\ or E:\CDCOPY.
    virtual std::optional<std::wstring> ProgramFolder() = 0;
    virtual ScreenSize PrimaryScreen() = 0;
    // Starts a program as a separate process with a normal, focused window.
    virtual StartResult StartProgram(const std::wstring& path) = 0;

    // The front end's guard, one in the user's session: false where another program of the
    // front end holds it. Held until let go or until the program ends.
    virtual bool TakeFrontEndGuard() = 0;
    virtual void LetGoOfFrontEndGuard() = 0;
    // Brings the window of the front end that holds the guard to the front; waits for it a
    // moment at most, as it may not show yet.
    virtual void ShowOtherFrontEnd() = 0;
};

inline constexpr const wchar_t* kFatalErrorTitle = L"Fatal Error";
inline constexpr const wchar_t* kFatalErrorText =
    L"Error 101 - Run  d:\\VARNOK\\Setup.exe  where  'd' is your CDROM drive";

enum class Echo { Off, On };

// One front end at a time: AutoPlay, a double click on the drive and a start by hand would
// each open a splash, and each splash would lead to an installer. False where another one
// runs: it is brought to the front instead, and this program ends without a window.
bool TakeFrontEnd(System& system);

// Started from another folder (the Run box, a prompt on C:, a shortcut starting elsewhere),
// a program still finds the clip, the install root and the next program beside itself: its
// own folder becomes the working directory where the two differ. Where the folder cannot be
// read or set, the working directory stays as it is.
void WorkInProgramFolder(System& system);

// The working directory, with a bare drive root such as D:\ cut to D:.
std::wstring InstallRootFrom(const std::optional<std::wstring>& currentDirectory);
std::wstring ReadInstallRoot(System& system);

struct Position {
    int left = 0;
    int top = 0;
};

// Where a window of the given size sits in the middle of the screen; a half pixel rounds
// away from zero, and a screen smaller than the window gives negative positions.
Position CentredPosition(ScreenSize screen, int width, int height);
// The size in pixels at 96 dpi, scaled to the window's DPI like the rest of its design.
void CentreWindow(forms::Form& window, System& system, int width, int height);

// Composes the install root (Text1) and the relative path into Text2 and starts it. On a
// failed start the window is hidden and the user is told to run the installer by hand;
// with the echo on, the command is also written on the window and shown in a box titled
// `programTitle`. A start the user declined is no failure: nothing is said. The caller ends
// its program afterwards either way.
void StartProgram(forms::Form& window, System& system, const std::wstring& relativePath, Echo echo,
                  const std::wstring& programTitle = L"");

}  // namespace launcher

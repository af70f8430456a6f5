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

// The operating system as the launcher sees it; faked in tests.
class System {
  public:
    virtual ~System() = default;
    // The working directory, whatever its length or letters; nothing when it can't be read.
    virtual std::optional<std::wstring> CurrentDirectory() = 0;
    virtual ScreenSize PrimaryScreen() = 0;
    // Starts a program as a separate process with a normal, focused window; false when the
    // start failed or the user declined it (the task id 0).
    virtual bool StartProgram(const std::wstring& path) = 0;
};

inline constexpr const wchar_t* kFatalErrorTitle = L"Fatal Error";
inline constexpr const wchar_t* kFatalErrorText =
    L"Error 101 - Run  d:\\VARNOK\\Setup.exe  where  'd' is your CDROM drive";

enum class Echo { Off, On };

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
void CentreWindow(forms::Form& window, System& system, int width, int height);

// Composes the install root (Text1) and the relative path into Text2 and starts it. On a
// failed start the window is hidden and the user is told to run the installer by hand;
// with the echo on, the command is also written on the window and shown in a box titled
// `programTitle`. The caller ends its program afterwards either way.
void StartProgram(forms::Form& window, System& system, const std::wstring& relativePath, Echo echo,
                  const std::wstring& programTitle = L"");

}  // namespace launcher

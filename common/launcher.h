// Shared by both programs: the install root, centring a window, and starting the next
// program of the chain from the install root.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "form.h"

namespace launcher {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// A start that hands the front end on (Setup starting Tourlet), or one that does not.
enum class Handover { None, FrontEnd };

// How a start went. Declined: the user answered No where the program asked for elevation.
enum class StartResult { Started, Declined, Failed };
// How a direct start went: ElevationRequired where the program's manifest asks for
// administrator rights, which only the shell can ask the user for.
enum class DirectStart { Started, ElevationRequired, Failed };

// The operating system as the launcher sees it; faked in tests.
class System : public forms::FormSystem {
  public:
    // The working directory, whatever its length or letters; nothing when it can't be read.
    virtual std::optional<std::wstring> CurrentDirectory() = 0;
    virtual bool ChangeDirectory(const std::wstring& directory) = 0;
    // The folder the running program was started from, such as D:\ or E:\CDCOPY.
    virtual std::optional<std::wstring> ProgramFolder() = 0;
    virtual ScreenSize PrimaryScreen() = 0;
    // Starts a program as a separate process with a normal, focused window, in this one's
    // working directory. Handing on the front end, the started program holds this one's guard
    // from its start on, and is told so on its command line. Directly, as the program itself
    // starts it: no zone check of the shell's, so a user who trusted the disc's first program
    // is not asked again for each next one.
    virtual DirectStart StartDirectly(const std::wstring& path, Handover handover) = 0;
    // The same through the shell, which asks the user for elevation (UAC) where the program's
    // manifest needs it.
    virtual StartResult StartThroughShell(const std::wstring& path, Handover handover) = 0;

    // The front end's guard, one in the user's session: false where another program of the
    // front end holds it. Held until let go or until the program ends. A program the front
    // end was handed on to holds it already.
    virtual bool TakeFrontEndGuard(Handover handover) = 0;
    virtual void LetGoOfFrontEndGuard() = 0;
    // Brings what the guard's holder shows (its window, or a box in front of or instead of
    // it) to the top and, where the system allows, to the foreground; false where it shows
    // nothing yet.
    virtual bool ShowOtherFrontEnd() = 0;
    virtual void Pause(unsigned ms) = 0;
};

enum class Echo { Off, On };

// The command-line switch of a program the front end is handed on to.
inline constexpr const wchar_t* kHandoverSwitch = L"/handover";
// Whether the program's command line (without its own name) hands it the front end.
Handover HandoverFrom(std::wstring_view commandLine);

// One front end at a time: AutoPlay, a double click on the drive and a start by hand would
// each open a splash, and each splash would lead to an installer. False where another one
// runs: it is brought to the front instead, and this program ends without a window. While
// the other one shows nothing yet, this one waits a moment for it, and takes the guard
// itself where the other one lets go or ends meanwhile.
bool TakeFrontEnd(System& system, Handover handover);

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
// The size in pixels at 96 dpi, scaled to the window's DPI like the rest of its design; the
// window is centred again at a new DPI until the user moves it.
void CentreWindow(forms::Form& window, System& system, int width, int height);

// Starts a program directly, as installers start the programs they chain, and through the
// shell only where it asks for elevation, so that the user is asked once: by UAC.
StartResult StartNext(System& system, const std::wstring& path, Handover handover);

// Composes the install root (Text1) and the relative path into Text2 and starts it. On a
// failed start the window is hidden and the user is told to run the installer by hand;
// with the echo on, the command is also written on the window and shown in a box titled
// `programTitle`. A start the user declined is no failure: nothing is said. The caller ends
// its program afterwards either way. A failed hand-off keeps the front end here, boxes and
// all, until the program ends.
void StartProgram(forms::Form& window, System& system, const std::wstring& relativePath, Echo echo,
                  const std::wstring& programTitle = L"", Handover handover = Handover::None);

}  // namespace launcher

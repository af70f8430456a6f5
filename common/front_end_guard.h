// One front end at a time in a user's session, on Windows: a named mutex that the front end
// holds, and a mark on its window by which a later start finds what it shows and brings it
// forward.
#pragma once

#include <windows.h>

#include "handles.h"
#include "launcher.h"

namespace launcher {

class FrontEndGuard {
  public:
    // False where another front end holds the guard. A program the front end is handed on
    // to holds it already.
    bool Take(Handover handover);
    // Takes the mark off the window and lets go of the guard.
    void LetGo();
    // The window a later start brings forward while this program holds the guard.
    void MarkWindow(HWND owner);
    // Marks the window, where this program holds the guard, or takes the mark off it.
    void Mark(bool marked);
    // Brings what the holder shows forward (see launcher::System::ShowOtherFrontEnd).
    bool ShowOther();
    // Gives the started `process` a handle of its own to the guard, which it then holds.
    void HandTo(HANDLE process);

  private:
    HWND owner_ = nullptr;
    base::win32::OwnedMutex guard_;
};

}  // namespace launcher

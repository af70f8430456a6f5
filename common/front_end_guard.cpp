#include "front_end_guard.h"

namespace launcher {
namespace {

// In the session's namespace: the front end of another user's session is no concern here.
constexpr wchar_t kFrontEndGuard[] = L"Local\\Pelmor.VARNOK.FrontEnd";
// A window property that marks the guard holder's window. Neither a caption nor a class name would
// do: another program may have either, and a front end handing over still shows its window for a
// moment.
constexpr wchar_t kFrontEndMark[] = L"Pelmor.VARNOK.FrontEnd";
BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (GetPropW(window, kFrontEndMark) == nullptr) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

struct Shown {
    DWORD process = 0;
    HWND window = nullptr;
};

BOOL CALLBACK FindShown(HWND window, LPARAM search) {
    auto& shown = *reinterpret_cast<Shown*>(search);
    DWORD process = 0;
    if (!IsWindowVisible(window) || GetWindowThreadProcessId(window, &process) == 0 ||
        process != shown.process) {
        return TRUE;
    }
    shown.window = window;
    return FALSE;
}

// What the holder shows: its marked window, or the box it last activated in front of it;
// with the window hidden, the holder's topmost window, from whichever of its threads (a
// failed hand-off's boxes, the runtime's fault box on a thread of its own). Where the window
// shows, no other window of its process counts: an input method's or the shell's may be in
// front of it. Nothing here sends the holder a message, so a hung holder cannot hold this up.
Shown ShownFrontEnd() {
    HWND marked = nullptr;
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&marked));
    Shown shown;
    if (marked == nullptr || GetWindowThreadProcessId(marked, &shown.process) == 0) {
        return {};
    }
    if (IsWindowVisible(marked)) {
        const HWND popup = GetLastActivePopup(marked);
        shown.window = IsWindowVisible(popup) ? popup : marked;
        return shown;
    }
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&shown));
    if (shown.window != nullptr) {
        shown.window = GetLastActivePopup(shown.window);
    }
    return shown;
}

// On top of every window that is not topmost, not activated. Posted, not sent: the holder
// may be hung.
void RaiseAboveOthers(HWND window) {
    constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
}

}  // namespace

void FrontEndGuard::MarkWindow(HWND owner) {
    owner_ = owner;
    Mark(true);
}

void FrontEndGuard::Mark(bool marked) {
    if (owner_ == nullptr || !IsWindow(owner_)) {
        return;
    }
    if (marked && guard_) {
        SetPropW(owner_, kFrontEndMark, reinterpret_cast<HANDLE>(1));
    } else if (!marked) {
        RemovePropW(owner_, kFrontEndMark);
    }
}

// The mutex is never waited on: whoever has a handle to it open holds the guard, and the name
// exists as long as any of them does. A front end that runs as another user (Run as
// administrator) makes the name refuse access.
bool FrontEndGuard::Take(Handover handover) {
    HANDLE guard = CreateMutexW(nullptr, FALSE, kFrontEndGuard);
    const DWORD error = GetLastError();
    if (guard == nullptr) {
        // Handed on, or where the system has no guard to give: open rather than block.
        return handover == Handover::FrontEnd || error != ERROR_ACCESS_DENIED;
    }
    guard_.reset(guard);
    if (error == ERROR_ALREADY_EXISTS && handover == Handover::None) {
        guard_.reset();  // left open, our handle would keep the guard held after its holder ends
        return false;
    }
    return true;
}

void FrontEndGuard::LetGo() {
    Mark(false);
    guard_.reset();
}

// The program the user just started may set the foreground; the one that holds the guard,
// started earlier, may no longer. So this one brings it forward, and passes its right on for
// the holder's next box. Where the system refuses even this one, the window still comes on
// top of the others, and its taskbar button (the wizard's, a box's) flashes until the user
// comes to it.
bool FrontEndGuard::ShowOther() {
    const Shown shown = ShownFrontEnd();
    if (shown.window == nullptr) {
        return false;
    }
    AllowSetForegroundWindow(shown.process);
    const HWND root = GetAncestor(shown.window, GA_ROOTOWNER);
    if (IsIconic(root)) {
        ShowWindowAsync(root, SW_RESTORE);
    }
    if (!SetForegroundWindow(shown.window)) {
        RaiseAboveOthers(root);  // its owned boxes come with it
        FLASHWINFO flash{sizeof flash, root, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
    return true;
}

// The started program holds a handle of its own to the guard from its start, so no start in
// between finds the guard free, however long the program takes to run; it lasts as long as
// that program. Where it cannot be given (an elevated program), this one holds the guard
// until it ends.
void FrontEndGuard::HandTo(HANDLE process) {
    HANDLE copy = nullptr;
    if (guard_ && DuplicateHandle(GetCurrentProcess(), guard_.get(), process, &copy, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS)) {
        guard_.reset();
    }
}

}  // namespace launcher

// Starting the next program of the chain on Windows: directly, or through the shell where
// it asks for elevation (launcher::StartNext decides), handing the front end's guard on.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "front_end_guard.h"
#include "language.h"
#include "launcher.h"
#include "system_library.h"

namespace launcher {

class ProgramStart {
  public:
    // A program the front end is handed on to takes `guard` and is told this one's language;
    // any other (the installer) is started with no switches of ours.
    ProgramStart(FrontEndGuard& guard, const Language& language)
        : guard_(guard), language_(language) {}

    // The window that owns what the shell shows (the elevation prompt).
    void SetOwner(HWND owner) { owner_ = owner; }
    DirectStart Directly(const std::wstring& path, Handover handover);
    StartResult ThroughShell(const std::wstring& path, Handover handover);

  private:
    // The next program's switches: the front end handed on, and this one's language.
    std::wstring HandedOn() const;

    FrontEndGuard& guard_;
    const Language& language_;
    HWND owner_ = nullptr;
    // Loaded at the first start through the shell and never unloaded: the shell may leave
    // threads, COM objects or windows behind, still running while a failed start's boxes show.
    std::unique_ptr<base::win32::SystemLibrary> ole32_;
    std::unique_ptr<base::win32::SystemLibrary> shell32_;
};

}  // namespace launcher

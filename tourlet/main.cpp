// Tourlet.exe: the introduction wizard, started by Setup.exe from the same folder.
#include <windows.h>

#include "form_window.h"
#include "product.h"
#include "system_library.h"
#include "page1.h"
#include "win32_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    base::win32::RestrictDllSearchToSystemFolder();
    // A disc taken out or unreadable fails the read, rather than raising the system's "There
    // is no disk in the drive" box over the window. This thread's mode only: the programs it
    // starts inherit the process's, which stays the system's.
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
    launcher::Win32System system;
    if (!launcher::TakeFrontEnd(system, launcher::HandoverFrom(commandLine))) {
        return 0;
    }
    forms::win32::FormWindow window(instance, tourlet::WizardDesign(), system);
    system.SetOwner(window.Handle());
    launcher::WorkInProgramFolder(system);
    tourlet::Page1 wizard(window.GetForm(), system);
    const int code = window.Run(launcher::kProgramTitle);
    system.LetGoOfFrontEndGuard();  // takes its mark off the window before the window goes
    return code;
}

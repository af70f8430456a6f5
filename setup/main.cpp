// Setup.exe: the first program of the product CD.
#include <windows.h>

#include "form_window.h"
#include "product.h"
#include "system_library.h"
#include "frm_splash.h"
#include "win32_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    base::win32::RestrictDllSearchToSystemFolder();
    // A disc taken out or unreadable fails the read, rather than raising the system's "There
    // is no disk in the drive" box over the window. This thread's mode only: the programs it
    // starts inherit the process's, which stays the system's.
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
    launcher::Win32System system;
    if (!launcher::TakeFrontEnd(system, launcher::Handover::None)) {
        return 0;
    }
    forms::win32::FormWindow window(instance, setup::SplashDesign(), system);
    system.SetOwner(window.Handle());
    launcher::WorkInProgramFolder(system);
    setup::FrmSplash splash(window.GetForm(), system);
    const int code = window.Run(launcher::kProgramTitle);
    system.LetGoOfFrontEndGuard();  // takes its mark off the window before the window goes
    return code;
}

// Setup.exe: the first program of the product CD.
#include <windows.h>

#include "form_window.h"
#include "product.h"
#include "system_library.h"
#include "frm_splash.h"
#include "win32_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    base::win32::RestrictDllSearchToSystemFolder();
    launcher::Win32System system;
    forms::win32::FormWindow window(instance, setup::SplashDesign(), system);
    system.SetOwner(window.Handle());
    launcher::WorkInProgramFolder(system);
    setup::FrmSplash splash(window.GetForm(), system);
    return window.Run(launcher::kProgramTitle);
}

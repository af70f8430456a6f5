// Tourlet.exe: the introduction wizard, started by Setup.exe from the same folder.
#include <windows.h>

#include "form_window.h"
#include "product.h"
#include "system_library.h"
#include "page1.h"
#include "win32_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    base::win32::RestrictDllSearchToSystemFolder();
    launcher::Win32System system;
    forms::win32::FormWindow window(instance, tourlet::WizardDesign(), system);
    system.SetOwner(window.Handle());
    launcher::WorkInProgramFolder(system);
    tourlet::Page1 wizard(window.GetForm(), system);
    return window.Run(launcher::kProgramTitle);
}

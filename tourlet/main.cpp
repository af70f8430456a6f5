// Tourlet.exe: the introduction wizard, started by Setup.exe from the same folder.
#include <windows.h>

#include "front_end.h"
#include "page1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    return launcher::RunFrontEnd<tourlet::Page1>(instance, commandLine, tourlet::WizardDesign);
}

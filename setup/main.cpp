// Setup.exe: the first program of the product CD.
#include <windows.h>

#include "front_end.h"
#include "frm_splash.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    return launcher::RunFrontEnd<setup::FrmSplash>(instance, commandLine, setup::SplashDesign);
}

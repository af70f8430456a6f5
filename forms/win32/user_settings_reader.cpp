#include "user_settings_reader.h"

#include <windows.h>

namespace forms::win32 {

// Each as Windows 7 has it; where a question fails, the setting's default.
UserSettings ReadUserSettings() {
    UserSettings settings;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    settings.highContrast =
        SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) != FALSE &&
        (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    BOOL animation = TRUE;
    SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animation, 0);
    settings.animation = animation != FALSE;
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    settings.keyboardCues = cues != FALSE;
    return settings;
}

}  // namespace forms::win32

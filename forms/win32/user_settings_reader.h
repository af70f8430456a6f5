// Reads what the user set in Windows for the screen (see user_settings.h).
#pragma once

#include "user_settings.h"

namespace forms::win32 {

UserSettings ReadUserSettings();

}  // namespace forms::win32

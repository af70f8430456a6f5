// Texts between the system and the programs: error texts, which are UTF-8, widened, and the
// system's own words for an error code.
#pragma once

#include <windows.h>

#include <string>

namespace base::win32 {

// A UTF-8 text, as the programs' errors carry theirs, widened for the system.
std::wstring Widen(const std::string& text);

// The system's sentence for an error code in UTF-8, without its closing full stop and line
// end.
std::string SystemMessage(DWORD error);

}  // namespace base::win32

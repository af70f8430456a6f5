// Texts between the system and the programs: error texts, which are UTF-8, widened, and the
// system's own words for an error code.
#pragma once

#include <windows.h>

#include <string>

namespace base::win32 {

// A UTF-8 text, as the programs' errors carry theirs, widened for the system.
std::wstring Widen(const std::string& text);

// The language the program speaks, which the system's sentences below are asked for first.
// Set once, at start-up.
void SetSystemMessageLanguage(LANGID language);

// The system's sentence for an error code in UTF-8, without its closing full stop and line
// end: in the program's language where the system has it, else as the system chooses.
std::string SystemMessage(DWORD error);

}  // namespace base::win32

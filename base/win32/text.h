// Texts between the system and the programs: 8-bit system texts widened, and the system's
// own words for an error code.
#pragma once

#include <windows.h>

#include <string>

namespace base::win32 {

// From the system's 8-bit code page, as FormatMessageA and the C runtime give texts.
std::wstring Widen(const std::string& text);

// The system's sentence for an error code, without its closing full stop and line end.
std::string SystemMessage(DWORD error);

}  // namespace base::win32

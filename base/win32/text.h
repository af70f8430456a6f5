// Texts between the system and the programs: 8-bit system texts widened, and the system's
// own words for an error code.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace base::win32 {

// From the system's 8-bit code page, as FormatMessageA and the C runtime give texts.
std::wstring Widen(const std::string& text);

// The system's sentence for an error code, without its closing full stop and line end.
std::string SystemMessage(DWORD error);

// A text of the program's string table in `language`; empty where the table has none. It
// lies in the program's mapped image: nothing is copied or allocated.
std::wstring_view ResourceText(int id, LANGID language);

}  // namespace base::win32

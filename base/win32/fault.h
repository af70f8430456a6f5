// What the runtime tells the program's windows when it ends the program after a fault.
#pragma once

#include <windows.h>

#include <string_view>

namespace base::win32 {

// Sent to each window of the program's module before the fault box shows: a window lets go
// of what outlives it (an accessible object a screen reader holds) while its thread waits.
inline constexpr UINT kEndingAfterFault = WM_APP + 0x7F;

// What the runtime's own boxes say (memory run out, an internal fault) in the program's
// language, and whether it reads from the right; English until the language is chosen.
void SetFaultTexts(std::wstring_view outOfMemory, std::wstring_view internalFault,
                   bool rightToLeft);

}  // namespace base::win32

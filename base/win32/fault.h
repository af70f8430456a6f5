// What the runtime tells the program's windows when it ends the program after a fault.
#pragma once

#include <windows.h>

namespace base::win32 {

// Sent to each window of the program's module before the fault box shows: a window lets go
// of what outlives it (an accessible object a screen reader holds) while its thread waits.
inline constexpr UINT kEndingAfterFault = WM_APP + 0x7F;

// The language of the runtime's own boxes (memory run out, an internal fault); English until
// the program says.
void SetFaultLanguage(LANGID language);

}  // namespace base::win32

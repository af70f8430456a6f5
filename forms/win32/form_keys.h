// The keyboard of a form's window: Tab, Enter, Space and Esc, and the access keys, by the
// form's rules rather than the dialog manager's, which would take the tab order from the
// buttons' stacking.
#pragma once

#include <windows.h>

#include "form.h"

namespace forms::win32 {

// Hands a key message of the form's window or of one of its buttons to the form; true where
// the form took it, and the message goes no further.
bool FormTakesKey(Form& form, const MSG& message);

}  // namespace forms::win32

// The message boxes of a form's program: what its handlers tell, and the error box that ends
// a failed program. Each reads as the program's language does.
#pragma once

#include <windows.h>

#include <string>

#include "form_host.h"

namespace forms::win32 {

// Owned by `window` while it shows, which gets the activation back afterwards. A hidden window
// makes a poor owner: the box is then task-modal on its own, with a task bar button.
void ShowFormMessage(HWND window, const std::wstring& text, const std::wstring& title,
                     MessageIcon icon, Reading reading);
// The box that tells why a program failed, task-modal and in front.
void ShowErrorBox(const std::wstring& text, const std::wstring& title, Reading reading);

}  // namespace forms::win32

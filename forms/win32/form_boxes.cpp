#include "form_boxes.h"

namespace forms::win32 {
namespace {

// A message box of a language read from right to left reads and aligns from the right.
UINT ReadingFlags(Reading reading) {
    return reading == Reading::RightToLeft ? MB_RTLREADING | MB_RIGHT : 0;
}

}  // namespace

void ShowFormMessage(HWND window, const std::wstring& text, const std::wstring& title,
                     MessageIcon icon, Reading reading) {
    const HWND owner = IsWindowVisible(window) ? window : nullptr;
    UINT flags = MB_OK | MB_SETFOREGROUND | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL);
    flags |= icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0;
    flags |= ReadingFlags(reading);
    MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

void ShowErrorBox(const std::wstring& text, const std::wstring& title, Reading reading) {
    MessageBoxW(nullptr, text.c_str(), title.c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND | ReadingFlags(reading));
}

}  // namespace forms::win32

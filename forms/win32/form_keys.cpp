#include "form_keys.h"

namespace forms::win32 {
namespace {

// The Latin letter or digit on the key of a WM_SYSCHAR, by its virtual key in the user's
// layout: Cyrillic, Greek, Hebrew and Arabic layouts keep the US keys' virtual keys. 0 for
// any other key.
wchar_t KeyLetter(LPARAM keyData) {
    const UINT key = MapVirtualKeyW(static_cast<UINT>(keyData >> 16) & 0xFF, MAPVK_VSC_TO_VK);
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') ? static_cast<wchar_t>(key) : 0;
}

}  // namespace

bool FormTakesKey(Form& form, const MSG& message) {
    if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
        form.KeyWentDown();
    }
    if (message.message == WM_KEYDOWN) {
        const Key key = message.wParam == VK_TAB      ? Key::Tab
                        : message.wParam == VK_RETURN ? Key::Enter
                        : message.wParam == VK_SPACE  ? Key::Space
                        : message.wParam == VK_ESCAPE ? Key::Escape
                                                      : Key::Other;
        return key != Key::Other && form.KeyPressed(key, GetKeyState(VK_SHIFT) < 0);
    }
    if (message.message == WM_SYSCHAR) {
        return form.AccessKeyPressed(static_cast<wchar_t>(message.wParam),
                                     KeyLetter(message.lParam));
    }
    return false;
}

}  // namespace forms::win32

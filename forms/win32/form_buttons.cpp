#include "form_buttons.h"

#include <string>

namespace forms::win32 {

// In reverse design order, so that a button listed earlier lies on top where two touch.
void FormButtons::Create(HWND parent, HINSTANCE instance, const Form& form) {
    const auto& controls = form.Design().controls;
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        if (it->kind != Kind::CommandButton) {
            continue;
        }
        const std::wstring caption(it->text);
        const auto id = static_cast<INT_PTR>(kFirstId) + (it.base() - 1 - controls.begin());
        HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      it->rect.left, it->rect.top, it->rect.width, it->rect.height,
                                      parent, reinterpret_cast<HMENU>(id), instance, nullptr);
        buttons_[it->name] = button;
        Update(form[it->name]);
    }
}

void FormButtons::LayOut(const Form& form, FormPainter& painter) {
    for (const auto& [name, button] : buttons_) {
        const Control& control = form[name];
        const Rect place = form.RectOf(control);
        SetWindowPos(button, nullptr, place.left, place.top, place.width, place.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(button, WM_SETFONT,
                     reinterpret_cast<WPARAM>(painter.FontFor(control.Design())), TRUE);
    }
}

void FormButtons::Update(const Control& control) {
    const HWND* found = buttons_.Find(control.Name());
    if (found == nullptr) {
        return;
    }
    HWND button = *found;
    EnableWindow(button, control.Enabled());
    ShowWindow(button, control.Visible() ? SW_SHOWNA : SW_HIDE);
    SetWindowTextW(button, control.Text().c_str());
}

void FormButtons::Focus(const Control& control) {
    if (const HWND* found = buttons_.Find(control.Name())) {
        SetFocus(*found);
    }
}

std::string_view FormButtons::Focused() const {
    return NameOf(GetFocus());
}

std::string_view FormButtons::NameOf(HWND window) const {
    for (const auto& [name, button] : buttons_) {
        if (button == window) {
            return name;
        }
    }
    return {};
}

bool FormButtons::KeepFocus(HWND parent, bool activated) {
    if (!activated) {
        HWND focus = GetFocus();
        lastFocus_ = focus != nullptr && GetParent(focus) == parent ? focus : nullptr;
        return false;
    }
    if (lastFocus_ != nullptr && IsWindowEnabled(lastFocus_)) {
        SetFocus(lastFocus_);
        return true;
    }
    return false;
}

}  // namespace forms::win32

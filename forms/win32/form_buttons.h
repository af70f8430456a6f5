// A form's push buttons: child windows of the system's BUTTON class, kept as their controls
// are, found by name or by window.
#pragma once

#include <windows.h>

#include <string_view>

#include "form.h"
#include "form_painter.h"

namespace forms::win32 {

class FormButtons {
  public:
    // Push buttons' windows carry this plus their control's position in the design as id.
    static constexpr int kFirstId = 100;

    void Create(HWND parent, HINSTANCE instance, const Form& form);
    // Each at its place and in its font at the form's DPI.
    void LayOut(const Form& form, FormPainter& painter);
    void Update(const Control& control);
    void Focus(const Control& control);
    // The name of the button that holds the focus, or of the button `window`; empty if none.
    std::string_view Focused() const;
    std::string_view NameOf(HWND window) const;
    // The focus leaves with the window and comes back to the same button; true when it did.
    bool KeepFocus(HWND parent, bool activated);

  private:
    SmallMap<std::string_view, HWND> buttons_;
    HWND lastFocus_ = nullptr;
};

}  // namespace forms::win32

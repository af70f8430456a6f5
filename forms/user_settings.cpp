#include "user_settings.h"

#include "form.h"

namespace forms {
namespace {

bool Themed(const Form& form, Colour designed) {
    return form.Settings().highContrast && !designed.fromScheme;
}

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.Right() && b.left < a.Right() && a.top < b.Bottom() && b.top < a.Bottom();
}

// A shape of a fixed colour shown behind a label that takes clicks: the pointer's highlight.
bool HighlightBehind(const Form& form, const Control& label) {
    for (const Control* control : form.PaintOrder()) {
        if (control->Design().kind == Kind::Shape && !control->Design().backColour.fromScheme &&
            Overlap(control->Design().rect, label.Design().rect)) {
            return true;
        }
    }
    return false;
}

}  // namespace

Colour ShownBackColour(const Form& form) {
    const Colour designed = form.Design().backColour;
    return Themed(form, designed) ? kWindowBackground : designed;
}

Colour ShownForeColour(const Form& form) {
    const Colour designed = form.Design().foreColour;
    return Themed(form, designed) ? kWindowText : designed;
}

Colour ShownBackColour(const Form& form, const Control& control) {
    const Colour designed = control.Design().backColour;
    if (!Themed(form, designed)) {
        return designed;
    }
    return control.Design().kind == Kind::Shape ? kHighlight : kWindowBackground;
}

Colour ShownForeColour(const Form& form, const Control& control) {
    const ControlDesign& design = control.Design();
    if (!Themed(form, design.foreColour)) {
        return design.foreColour;
    }
    if (design.kind == Kind::Line) {
        return ShownForeColour(form);  // on the window's own background
    }
    if (design.kind == Kind::Label && form.Handles(design.name, Event::Click)) {
        return HighlightBehind(form, control) ? kHighlightText : kHotLight;
    }
    return kWindowText;
}

}  // namespace forms

#include "user_settings.h"

#include "form.h"

namespace forms {
namespace {

bool Themed(const Form& form, Colour designed) {
    return form.Settings().highContrast && !designed.fromScheme;
}

// A shape of a fixed colour shown behind a label that takes clicks (under its middle): the
// pointer's highlight.
bool HighlightBehind(const Form& form, const Control& label) {
    const Rect& place = label.Design().rect;
    for (const Control* control : form.PaintOrder()) {
        if (control->Design().kind == Kind::Shape && !control->Design().backColour.fromScheme &&
            control->Design().rect.Contains(place.left + place.width / 2,
                                            place.top + place.height / 2)) {
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

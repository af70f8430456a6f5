// What a screen reader is told of a form: the controls the form paints itself, which no
// window of their own makes known, and the push buttons beside them. Portable; the window
// system's accessibility interface is built on it.
#pragma once

#include <string>
#include <vector>

#include "form.h"

namespace forms {

enum class AccessibleRole { StaticText, PushButton, Graphic, Animation };

struct AccessibleElement {
    const Control* control = nullptr;
    AccessibleRole role = AccessibleRole::StaticText;
    std::wstring name;
    bool ownWindow = false;  // a push button, which the system describes itself
};

// The visible labels, pictures, clips and push buttons, in reading order: top to bottom,
// then left to right. A label with a click handler is a push button; pressing it clicks it.
std::vector<AccessibleElement> AccessibleElements(const Form& form);

}  // namespace forms

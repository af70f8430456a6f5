// What a screen reader is told of a form: the controls the form paints itself, which no
// window of their own makes known, and the push buttons beside them. Portable; the window
// system's accessibility interface is built on it.
#pragma once

#include <optional>
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

// Child ids as screen readers count them: 0 is the window's client area itself, then the
// elements above from 1, in their order.
long ChildIdOf(size_t index);
// The element a child id names among `count`; nothing for the area itself or out of range.
std::optional<size_t> ElementIndexOf(long childId, size_t count);

enum class Direction { Up, Down, Left, Right, Next, Previous };

// The element reached from `from`: next and previous in reading order; the four directions
// by place, the nearest element whose centre lies on that side. Nothing where there is none.
std::optional<size_t> NextElement(const std::vector<AccessibleElement>& elements, size_t from,
                                  Direction direction);

}  // namespace forms

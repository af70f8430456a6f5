#include "accessibility.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace forms {
namespace {

// A caption as it shows: "&Next >" reads "Next >", and "&&" is one ampersand.
std::wstring WithoutAccessMark(const std::wstring& caption) {
    std::wstring shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) {
            ++i;
        }
        shown += caption[i];
    }
    return shown;
}

}  // namespace

std::vector<AccessibleElement> AccessibleElements(const Form& form) {
    std::vector<AccessibleElement> elements;
    for (const ControlDesign& design : form.Design().controls) {
        const Control& control = form[design.name];
        if (!control.Visible()) {
            continue;
        }
        switch (design.kind) {
            case Kind::Label: {
                const bool pressable = form.Handles(design.name, Event::Click);
                elements.push_back(
                    {&control, pressable ? AccessibleRole::PushButton : AccessibleRole::StaticText,
                     control.Text(), false});
                break;
            }
            case Kind::Image:
                elements.push_back({&control, AccessibleRole::Graphic,
                                    std::wstring(design.accessibleName), false});
                break;
            case Kind::Animation:
                elements.push_back({&control, AccessibleRole::Animation,
                                    std::wstring(design.accessibleName), false});
                break;
            case Kind::CommandButton:
                elements.push_back({&control, AccessibleRole::PushButton,
                                    WithoutAccessMark(control.Text()), true});
                break;
            default:
                break;
        }
    }
    StableSort(elements, [](const auto& a, const auto& b) {
        const Rect& ra = a.control->Design().rect;
        const Rect& rb = b.control->Design().rect;
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return elements;
}

long ChildIdOf(size_t index) {
    return static_cast<long>(index) + 1;
}

std::optional<size_t> ElementIndexOf(long childId, size_t count) {
    if (childId < 1 || static_cast<unsigned long>(childId) > count) {
        return std::nullopt;
    }
    return static_cast<size_t>(childId) - 1;
}

std::optional<size_t> NextElement(const std::vector<AccessibleElement>& elements, size_t from,
                                  Direction direction) {
    if (direction == Direction::Next) {
        return from + 1 < elements.size() ? std::optional<size_t>(from + 1) : std::nullopt;
    }
    if (direction == Direction::Previous) {
        return from > 0 ? std::optional<size_t>(from - 1) : std::nullopt;
    }
    // Centres at twice their value, to stay whole numbers: which side of another an element
    // lies on must not depend on rounding, since designs let neighbours share an edge pixel.
    const auto centre = [](const AccessibleElement& element) {
        const Rect& r = element.control->Design().rect;
        return std::pair<long, long>{r.left * 2L + r.width, r.top * 2L + r.height};
    };
    const auto [ax, ay] = centre(elements[from]);
    std::optional<size_t> best;
    long bestDistance = std::numeric_limits<long>::max();
    for (size_t i = 0; i < elements.size(); ++i) {
        const auto [bx, by] = centre(elements[i]);
        const long ahead = direction == Direction::Right  ? bx - ax
                           : direction == Direction::Left ? ax - bx
                           : direction == Direction::Down ? by - ay
                                                          : ay - by;
        const long aside = direction == Direction::Right || direction == Direction::Left
                               ? std::labs(by - ay)
                               : std::labs(bx - ax);
        if (ahead > 0 && ahead + aside < bestDistance) {
            bestDistance = ahead + aside;
            best = i;
        }
    }
    return best;
}

}  // namespace forms

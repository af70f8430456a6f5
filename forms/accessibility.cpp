#include "accessibility.h"

#include <algorithm>

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
    std::stable_sort(elements.begin(), elements.end(), [](const auto& a, const auto& b) {
        const Rect& ra = a.control->Design().rect;
        const Rect& rb = b.control->Design().rect;
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    });
    return elements;
}

}  // namespace forms

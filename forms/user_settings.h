// What the user set in Windows for how the screen serves them, which both windows follow: a
// contrast theme, animation effects, keyboard cues. Portable: the rules of what each changes
// are here, and forms::win32::ReadUserSettings reads them.
#pragma once

#include "design.h"

namespace forms {

struct UserSettings {
    bool highContrast = false;  // a contrast theme is on
    bool animation = true;      // animation effects; off for users whom motion harms
    bool keyboardCues = false;  // focus rectangles shown from the start, not from a key on
};

// The theme's colours beyond the designs' own.
inline constexpr Colour kHighlight = Colour::Scheme(13);      // COLOR_HIGHLIGHT
inline constexpr Colour kHighlightText = Colour::Scheme(14);  // COLOR_HIGHLIGHTTEXT
inline constexpr Colour kHotLight = Colour::Scheme(26);       // COLOR_HOTLIGHT

class Control;
class Form;

// The colours the window and its controls are drawn in: the design's, or, under a contrast
// theme, the theme's in place of every fixed one (a colour of the scheme follows the theme
// already). Then backgrounds are the window's, texts and lines its text colour, a label that
// takes clicks a link's, and the pointer's highlight behind it the selection's, with the
// label's text in the selection's text colour. Pictures and the clip are content: they stay.
Colour ShownBackColour(const Form& form);
Colour ShownForeColour(const Form& form);
Colour ShownBackColour(const Form& form, const Control& control);
Colour ShownForeColour(const Form& form, const Control& control);

}  // namespace forms

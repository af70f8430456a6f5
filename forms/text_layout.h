// How a label breaks its caption into display lines: a line feed starts a new line, a line
// wider than the box wraps at a space or between Chinese or Japanese characters, and lines
// below the box are cut off. Portable: the
// window system only measures the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "callback.h"

namespace forms {

// The width in pixels that a piece of text takes in the label's font.
using MeasureText = Callback<int(std::wstring_view)>;

// Whether a paragraph reads from right to left. In a window laid out from the left, where its
// first letter is Arabic or Hebrew; in one laid out from the right, where any letter is, so a
// sentence that starts with a Latin name still reads as the language does.
bool ReadsRightToLeft(std::wstring_view paragraph, bool rightToLeftLayout);

// The display lines of `text` in a box `width` pixels wide, at most `maxLines` of them, by
// paragraph (what line feeds part), each with its reading direction in the window's layout. A
// word wider than the box stands alone on its line, cut off at the box's edge.
struct Paragraph {
    std::vector<std::wstring> lines;
    bool rightToLeft = false;
};
std::vector<Paragraph> DisplayParagraphs(std::wstring_view text, int width, int maxLines,
                                         const MeasureText& measure, bool rightToLeftLayout);

}  // namespace forms

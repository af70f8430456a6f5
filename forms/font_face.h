// Which face a design's font is drawn in, of those the system has.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace forms {

// Whether the system has a face of that name.
using FaceInstalled = std::function<bool(std::wstring_view)>;

// A design may name several faces, first choice first, parted by commas ("Microsoft YaHei UI,
// Microsoft YaHei"): a language's interface face of newer systems, then its older one. The
// first the system has is used. Off 96 dpi, MS Sans Serif, a bitmap face drawn for 96 dpi
// that elsewhere takes its nearest size, gives way to its TrueType twin. Where the system has
// none of them, a stand-in of near metrics; empty where it lacks those too, and the font
// mapper picks a sans-serif face.
std::wstring ChooseFace(std::wstring_view faces, int dpi, const FaceInstalled& installed);

}  // namespace forms

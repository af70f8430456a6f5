// Which face a design's font is drawn in, of those the system has.
#pragma once

#include <string>
#include <string_view>

#include "design.h"

namespace forms {

namespace detail {
inline std::wstring_view TrimmedFace(std::wstring_view name) {
    const size_t first = name.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) {
        return {};
    }
    return name.substr(first, name.find_last_not_of(L' ') - first + 1);
}
}  // namespace detail

// A design may name several faces, first choice first, parted by commas ("Microsoft YaHei UI,
// Microsoft YaHei"): a language's interface face of newer systems, then its older one. The
// first the system has (`installed(name)`) is used. Off 96 dpi, MS Sans Serif, a bitmap face
// drawn for 96 dpi that elsewhere takes its nearest size, gives way to its TrueType twin.
// Where the system has none of them, a stand-in of near metrics; empty where it lacks those
// too, and the font mapper picks a sans-serif face.
template <typename Installed>
std::wstring_view ChooseFace(std::wstring_view faces, int dpi, const Installed& installed) {
    constexpr std::wstring_view kBitmapFace = L"MS Sans Serif";
    constexpr std::wstring_view kScalableTwin = L"Microsoft Sans Serif";
    while (!faces.empty()) {
        const size_t comma = faces.find(L',');
        const std::wstring_view face = detail::TrimmedFace(faces.substr(0, comma));
        faces.remove_prefix(comma == std::wstring_view::npos ? faces.size() : comma + 1);
        if (dpi != kDesignDpi && face == kBitmapFace && installed(kScalableTwin)) {
            return kScalableTwin;
        }
        if (!face.empty() && installed(face)) {
            return face;
        }
    }
    for (const std::wstring_view standIn : {kScalableTwin, std::wstring_view(L"Liberation Sans")}) {
        if (installed(standIn)) {
            return standIn;
        }
    }
    return {};
}

}  // namespace forms

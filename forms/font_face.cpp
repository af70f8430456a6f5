#include "font_face.h"

#include "design.h"

namespace forms {
namespace {

constexpr std::wstring_view kBitmapFace = L"MS Sans Serif";
constexpr std::wstring_view kScalableTwin = L"Microsoft Sans Serif";

std::wstring_view Trimmed(std::wstring_view name) {
    const size_t first = name.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) {
        return {};
    }
    return name.substr(first, name.find_last_not_of(L' ') - first + 1);
}

}  // namespace

std::wstring ChooseFace(std::wstring_view faces, int dpi, const FaceInstalled& installed) {
    while (!faces.empty()) {
        const size_t comma = faces.find(L',');
        const std::wstring_view face = Trimmed(faces.substr(0, comma));
        faces.remove_prefix(comma == std::wstring_view::npos ? faces.size() : comma + 1);
        if (dpi != kDesignDpi && face == kBitmapFace && installed(kScalableTwin)) {
            return std::wstring(kScalableTwin);
        }
        if (!face.empty() && installed(face)) {
            return std::wstring(face);
        }
    }
    for (const std::wstring_view standIn : {kScalableTwin, std::wstring_view(L"Liberation Sans")}) {
        if (installed(standIn)) {
            return std::wstring(standIn);
        }
    }
    return {};
}

}  // namespace forms

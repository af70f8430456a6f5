// Window designs as data: the window's own settings and a table of its controls, named and
// placed as the designer left them. Positions are client-area pixels at 96 dots per inch; a
// window shows them at its monitor's DPI, every figure scaled by DPI/96 (Scale).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace forms {

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    constexpr int Right() const { return left + width; }
    constexpr int Bottom() const { return top + height; }
    constexpr bool Contains(int x, int y) const {
        return x >= left && x < Right() && y >= top && y < Bottom();
    }
    bool operator==(const Rect&) const = default;
};

// Either a fixed RGB value or an entry of the user's colour scheme, which it then follows.
struct Colour {
    uint32_t value = 0;  // 0xRRGGBB, or the scheme index
    bool fromScheme = false;

    static constexpr Colour Rgb(uint32_t rrggbb) { return {rrggbb, false}; }
    static constexpr Colour Scheme(uint32_t index) { return {index, true}; }
};

inline constexpr Colour kButtonFace = Colour::Scheme(15);
inline constexpr Colour kButtonText = Colour::Scheme(18);
inline constexpr Colour kWindowBackground = Colour::Scheme(5);
inline constexpr Colour kWindowText = Colour::Scheme(8);

enum class Kind { TextBox, Timer, Animation, Shape, Image, Label, CommandButton, Line };
enum class ShapeStyle { Rectangle, Ellipse };
enum class Alignment { Left, Centre };

struct Point {
    int x = 0;
    int y = 0;
};

// The DPI the designs are drawn at: 15 twips a pixel.
inline constexpr int kDesignDpi = 96;

// The one rounding rule of every scaled figure: value × dpi / 96, half away from zero.
constexpr int Scale(int value, int dpi) {
    const long long scaled = static_cast<long long>(value) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + kDesignDpi / 2) / kDesignDpi
                                        : -((-scaled + kDesignDpi / 2) / kDesignDpi));
}

// A rectangle's edges scale, not its size, so what touches at 96 dpi touches at any DPI.
constexpr Rect Scale(const Rect& rect, int dpi) {
    const int left = Scale(rect.left, dpi);
    const int top = Scale(rect.top, dpi);
    return {left, top, Scale(rect.Right(), dpi) - left, Scale(rect.Bottom(), dpi) - top};
}

struct FontDesign {
    std::wstring_view face = L"MS Sans Serif";
    int points = 8;
    int weight = 400;
};

struct ControlDesign {
    std::string_view name{};
    Kind kind = Kind::Label;
    Rect rect{};
    int tabIndex = -1;  // -1: not in the tab order
    bool visible = true;
    bool enabled = true;
    std::wstring_view text{};  // a label's caption, a text box's text, a button's caption
    Colour foreColour = kWindowText;
    Colour backColour = kWindowBackground;
    bool transparent = false;  // labels: the background shows through
    ShapeStyle shape = ShapeStyle::Rectangle;
    Alignment alignment = Alignment::Left;
    std::optional<FontDesign> font{};  // none: the window's font
    int picture = 0;                   // an image's bitmap resource
    unsigned intervalMs = 0;           // timers
    Point from{};                      // lines: both end points are drawn, in foreColour
    Point to{};
    bool maskPen = false;                // lines: each pixel becomes pen AND what lies beneath
    std::wstring_view accessibleName{};  // pictures and clips: what a screen reader says
    bool liveRegion = false;             // labels: a screen reader reads each new text as it comes
};

enum class Frame {
    FixedSingle,  // a one-pixel line, no caption bar
    Sizable,      // a resizable frame with a caption bar
};

struct FormDesign {
    std::string_view name{};
    std::wstring_view caption{};
    Frame frame = Frame::FixedSingle;
    bool controlBox = false;
    bool maxButton = false;
    bool minButton = false;
    bool showInTaskbar = false;
    int clientWidth = 0;
    int clientHeight = 0;
    Colour backColour = kButtonFace;
    Colour foreColour = kButtonText;
    int icon = 0;
    FontDesign font{};  // every control that sets none, and text written on the window
    // Mirrored for a language read from right to left: laid out from the right edge, text
    // right-aligned and read right to left, pictures as drawn.
    bool rightToLeft = false;
    // The window text where the caption is empty: no caption bar shows it, but assistive
    // tools and the task switcher name the window by it.
    std::wstring_view accessibleName{};
    // Design order: among windowless controls, front to back.
    std::vector<ControlDesign> controls{};
};

}  // namespace forms

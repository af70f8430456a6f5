#include "form_painter.h"

#include <algorithm>

#include "font_face.h"
#include "form_pictures.h"
#include "frame_decoder.h"
#include "text_layout.h"

namespace forms::win32 {
namespace {

using base::win32::OwnedBitmap;
using base::win32::OwnedBrush;
using base::win32::OwnedFont;
using base::win32::OwnedMemoryDc;
using base::win32::OwnedPen;
using base::win32::PaintScope;
using base::win32::Selection;
using base::win32::WindowDc;

int CALLBACK MarkFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool Installed(HDC dc, std::wstring_view face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(dc, &wanted, MarkFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// The design's first face that the system has, or a stand-in (ChooseFace).
std::wstring AvailableFace(HDC dc, std::wstring_view faces, int dpi) {
    return std::wstring(
        ChooseFace(faces, dpi, [dc](std::wstring_view face) { return Installed(dc, face); }));
}

}  // namespace

COLORREF ColourRef(Colour colour) {
    if (colour.fromScheme) {
        return GetSysColor(static_cast<int>(colour.value));
    }
    return RGB(colour.value >> 16 & 0xFF, colour.value >> 8 & 0xFF, colour.value & 0xFF);
}

RECT ToRect(const Rect& rect) {
    return {rect.left, rect.top, rect.Right(), rect.Bottom()};
}

// Where a box of the design shows in the client area: from the right edge in a window
// mirrored for a language read from right to left. The painter mirrors by itself, so the
// pictures keep their orientation whatever the system's mirroring does to bitmaps. It
// mirrors against the client area's width as it is, as the system does for the buttons, hit
// tests and repaints: a widened window keeps its controls at the right edge.
Rect FormPainter::Shown(Rect box) const {
    if (form_.Design().rightToLeft) {
        box.left = clientWidth_ - box.Right();
    }
    return box;
}

void FormPainter::PaintWindow(HWND window) {
    const PaintScope paint(window);
    RECT client;
    GetClientRect(window, &client);
    const OwnedMemoryDc buffer(CreateCompatibleDC(paint.Dc()));
    const OwnedBitmap surface(CreateCompatibleBitmap(paint.Dc(), client.right, client.bottom));
    const Selection selected(buffer.get(), surface.get());
    Paint(buffer.get(), client);
    // The buffer was painted already mirrored (see Shown), so a mirrored window's DC must
    // copy it unmirrored, pixel for pixel.
    SetLayout(paint.Dc(), 0);
    BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
}

void FormPainter::Paint(HDC dc, const RECT& client) {
    clientWidth_ = client.right - client.left;
    const OwnedBrush background(CreateSolidBrush(ColourRef(ShownBackColour(form_))));
    FillRect(dc, &client, background.get());
    for (const Control* control : form_.PaintOrder()) {
        PaintControl(dc, *control);
    }
}

// Straight onto the screen; a later repaint may cover it.
void FormPainter::PrintText(HWND window, const std::wstring& text) {
    const WindowDc dc(window);
    const Selection font(dc.Dc(), FontOf(form_.Design().font));
    SetBkMode(dc.Dc(), TRANSPARENT);
    SetTextColor(dc.Dc(), ColourRef(ShownForeColour(form_)));
    TextOutW(dc.Dc(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
}

void FormPainter::PaintControl(HDC dc, const Control& control) {
    switch (control.Design().kind) {
        case Kind::Shape:
            PaintShape(dc, control);
            break;
        case Kind::Label:
            PaintLabel(dc, control);
            break;
        case Kind::Image:
            PaintImage(dc, control);
            break;
        case Kind::Animation:
            PaintAnimation(dc, control);
            break;
        case Kind::Line:
            PaintLine(dc, control);
            break;
        default:
            break;
    }
}

// A borderless shape filled in its back colour. Without a pen GDI leaves out the right and
// bottom edges, so the figure is given one pixel more to fill exactly its box.
void FormPainter::PaintShape(HDC dc, const Control& shape) {
    const OwnedBrush fill(CreateSolidBrush(ColourRef(ShownBackColour(form_, shape))));
    const Rect r = Shown(form_.RectOf(shape));
    if (shape.Design().shape == ShapeStyle::Ellipse) {
        const Selection pen(dc, GetStockObject(NULL_PEN));
        const Selection brush(dc, fill.get());
        Ellipse(dc, r.left, r.top, r.Right() + 1, r.Bottom() + 1);
    } else {
        const RECT box = ToRect(r);
        FillRect(dc, &box, fill.get());
    }
}

void FormPainter::PaintLabel(HDC dc, const Control& label) {
    const ControlDesign& design = label.Design();
    const Rect place = Shown(form_.RectOf(label));
    RECT box = ToRect(place);
    if (!design.transparent) {
        const OwnedBrush back(CreateSolidBrush(ColourRef(ShownBackColour(form_, label))));
        FillRect(dc, &box, back.get());
    }
    const Selection font(dc, FontFor(design));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColourRef(ShownForeColour(form_, label)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
    // Whole lines only; a box lower than one line still shows the top of its first.
    const int maxLines = std::max(1, place.height / lineHeight);
    const auto measure = [dc](std::wstring_view text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    // Right-aligned in a mirrored window, where a paragraph with any Arabic or Hebrew letter
    // reads from the right and one of Latin letters alone (an address) from the left.
    const UINT align = design.alignment == Alignment::Centre ? DT_CENTER
                       : form_.Design().rightToLeft          ? DT_RIGHT
                                                             : DT_LEFT;
    RECT line{box.left, box.top, box.right, box.top + lineHeight};
    for (const Paragraph& paragraph : DisplayParagraphs(label.Text(), place.width, maxLines,
                                                        measure, form_.Design().rightToLeft)) {
        const UINT reading = paragraph.rightToLeft ? DT_RTLREADING : 0;
        for (const std::wstring& text : paragraph.lines) {
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line,
                      align | reading | DT_SINGLELINE | DT_NOCLIP);
            line.top += lineHeight;
            line.bottom += lineHeight;
        }
    }
    RestoreDC(dc, saved);
    if (&label == form_.FocusedLabel() && form_.ShowsFocusCue()) {
        DrawFocusRect(dc, &box);
    }
}

// A picture at its own size, which its box has, scaled as the box is; the client edge clips.
void FormPainter::PaintImage(HDC dc, const Control& image) {
    const HBITMAP picture = PictureFor(image);
    BITMAP size{};
    if (picture == nullptr || GetObjectW(picture, sizeof size, &size) == 0) {
        return;
    }
    const Rect place = Shown(form_.RectOf(image));
    const OwnedMemoryDc source(CreateCompatibleDC(dc));
    const Selection selected(source.get(), picture);
    BitBlt(dc, place.left, place.top, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY);
}

// The picture we ship at 96 dpi, pixel for pixel; at any other DPI stretched smoothly to its
// box, once.
HBITMAP FormPainter::PictureFor(const Control& image) {
    const OwnedBitmap* shipped = pictures_.Find(image.Design().picture);
    if (shipped == nullptr || form_.Dpi() == kDesignDpi) {
        return shipped != nullptr ? shipped->get() : nullptr;
    }
    if (stretchedDpi_ != form_.Dpi()) {
        stretched_.Clear();
        stretchedDpi_ = form_.Dpi();
    }
    OwnedBitmap& stretched = stretched_[&image.Design()];
    if (!stretched) {
        const Rect place = form_.RectOf(image);
        stretched = StretchPicture(shipped->get(), place.width, place.height);
    }
    return stretched.get();
}

// The clip's frame centred on the control's background, clipped to the control; at any DPI
// but 96 stretched smoothly by the same rule.
void FormPainter::PaintAnimation(HDC dc, const Control& control) {
    const Rect r = Shown(form_.RectOf(control));
    const RECT box = ToRect(r);
    const OwnedBrush back(CreateSolidBrush(ColourRef(ShownBackColour(form_, control))));
    FillRect(dc, &box, back.get());
    const Animation* animation = form_.AnimationOf(control);
    const clip::FrameDecoder* picture = animation != nullptr ? animation->Picture() : nullptr;
    if (picture == nullptr) {
        return;
    }
    const BITMAPINFO info = TopDownRgb32(picture->Width(), picture->Height());
    const int width = Scale(picture->Width(), form_.Dpi());
    const int height = Scale(picture->Height(), form_.Dpi());
    const int left = r.left + (r.width - width) / 2;
    const int top = r.top + (r.height - height) / 2;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    if (form_.Dpi() == kDesignDpi) {
        SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(width), static_cast<DWORD>(height), 0,
                          0, 0, static_cast<UINT>(height), picture->Pixels().data(), &info,
                          DIB_RGB_COLORS);
    } else {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, left, top, width, height, 0, 0, picture->Width(), picture->Height(),
                      picture->Pixels().data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    RestoreDC(dc, saved);
}

// A run of pixels along a row or a column, both ends drawn, as a box of the pixels it
// covers, so it thickens with the rest at a higher DPI. A mask pen ANDs its colour with
// what lies beneath, but not in a contrast theme's colours, where that may leave nothing.
void FormPainter::PaintLine(HDC dc, const Control& line) {
    const ControlDesign& design = line.Design();
    const int left = std::min(design.from.x, design.to.x);
    const int top = std::min(design.from.y, design.to.y);
    const Rect run = Shown(Scale(Rect{left, top, std::max(design.from.x, design.to.x) - left + 1,
                                      std::max(design.from.y, design.to.y) - top + 1},
                                 form_.Dpi()));
    const OwnedBrush pen(CreateSolidBrush(ColourRef(ShownForeColour(form_, line))));
    const Selection selected(dc, pen.get());
    constexpr DWORD kPatternAndDestination = 0x00A000C9;
    const bool masked = design.maskPen && !form_.Settings().highContrast;
    PatBlt(dc, run.left, run.top, run.width, run.height, masked ? kPatternAndDestination : PATCOPY);
}

HFONT FormPainter::FontFor(const ControlDesign& design) {
    return FontOf(design.font ? *design.font : form_.Design().font);
}

HFONT FormPainter::FontOf(const FontDesign& wanted) {
    OwnedFont& font = fonts_[{&wanted, form_.Dpi()}];
    if (!font) {
        const WindowDc screen(nullptr);
        // Points at the DPI, rounded as MulDiv would (the import costs more than the sum).
        const int height = -((wanted.points * form_.Dpi() + 36) / 72);
        const std::wstring face = AvailableFace(screen.Dc(), wanted.face, form_.Dpi());
        font.reset(CreateFontW(height, 0, 0, 0, wanted.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, face.c_str()));
    }
    return font.get();
}

}  // namespace forms::win32

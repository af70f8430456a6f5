#include "form_painter.h"

#include <algorithm>

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

// Stand-ins for faces a fresh system may lack, of the same metrics or near them, so text
// still fits its box. Empty: none is there, and the font mapper picks a sans-serif face.
std::wstring AvailableFace(HDC dc, std::wstring_view face) {
    const auto exists = [dc](std::wstring_view name) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        name.copy(wanted.lfFaceName, LF_FACESIZE - 1);
        bool found = false;
        EnumFontFamiliesExW(dc, &wanted, MarkFound, reinterpret_cast<LPARAM>(&found), 0);
        return found;
    };
    if (exists(face)) {
        return std::wstring(face);
    }
    for (const std::wstring_view standIn : {L"Microsoft Sans Serif", L"Liberation Sans"}) {
        if (standIn != face && exists(standIn)) {
            return std::wstring(standIn);
        }
    }
    return {};
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

void FormPainter::PaintWindow(HWND window) {
    const PaintScope paint(window);
    RECT client;
    GetClientRect(window, &client);
    const OwnedMemoryDc buffer(CreateCompatibleDC(paint.Dc()));
    const OwnedBitmap surface(CreateCompatibleBitmap(paint.Dc(), client.right, client.bottom));
    const Selection selected(buffer.get(), surface.get());
    Paint(buffer.get(), client);
    BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
}

void FormPainter::Paint(HDC dc, const RECT& client) {
    const OwnedBrush background(CreateSolidBrush(ColourRef(form_.Design().backColour)));
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
    SetTextColor(dc.Dc(), ColourRef(form_.Design().foreColour));
    TextOutW(dc.Dc(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
}

void FormPainter::PaintControl(HDC dc, const Control& control) {
    switch (control.Design().kind) {
        case Kind::Shape:
            PaintShape(dc, control.Design());
            break;
        case Kind::Label:
            PaintLabel(dc, control);
            break;
        case Kind::Image:
            PaintImage(dc, control.Design());
            break;
        case Kind::Animation:
            PaintAnimation(dc, control);
            break;
        case Kind::Line:
            PaintLine(dc, control.Design());
            break;
        default:
            break;
    }
}

// A borderless shape filled in its back colour. Without a pen GDI leaves out the right and
// bottom edges, so the figure is given one pixel more to fill exactly its box.
void FormPainter::PaintShape(HDC dc, const ControlDesign& design) {
    const OwnedBrush fill(CreateSolidBrush(ColourRef(design.backColour)));
    const Rect& r = design.rect;
    if (design.shape == ShapeStyle::Ellipse) {
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
    RECT box = ToRect(design.rect);
    if (!design.transparent) {
        const OwnedBrush back(CreateSolidBrush(ColourRef(design.backColour)));
        FillRect(dc, &box, back.get());
    }
    const Selection font(dc, FontFor(design));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColourRef(design.foreColour));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
    // Whole lines only; a box lower than one line still shows the top of its first.
    const int maxLines = std::max(1, design.rect.height / lineHeight);
    const auto measure = [dc](std::wstring_view text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    const UINT align = design.alignment == Alignment::Centre ? DT_CENTER : DT_LEFT;
    RECT line{box.left, box.top, box.right, box.top + lineHeight};
    for (const std::wstring& text :
         DisplayLines(label.Text(), design.rect.width, maxLines, measure)) {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line,
                  align | DT_SINGLELINE | DT_NOCLIP);
        OffsetRect(&line, 0, lineHeight);
    }
    RestoreDC(dc, saved);
}

// A picture at its own size, decoded before the window showed; the client edge clips it.
void FormPainter::PaintImage(HDC dc, const ControlDesign& design) {
    const OwnedBitmap* picture = pictures_.Find(design.picture);
    BITMAP size{};
    if (picture == nullptr || GetObjectW(picture->get(), sizeof size, &size) == 0) {
        return;
    }
    const OwnedMemoryDc source(CreateCompatibleDC(dc));
    const Selection selected(source.get(), picture->get());
    BitBlt(dc, design.rect.left, design.rect.top, size.bmWidth, size.bmHeight, source.get(), 0, 0,
           SRCCOPY);
}

// The clip's frame centred on the control's background, clipped to the control.
void FormPainter::PaintAnimation(HDC dc, const Control& control) {
    const Rect& r = control.Design().rect;
    const RECT box = ToRect(r);
    const OwnedBrush back(CreateSolidBrush(ColourRef(control.Design().backColour)));
    FillRect(dc, &box, back.get());
    const Animation* animation = form_.AnimationOf(control);
    const clip::FrameDecoder* picture = animation != nullptr ? animation->Picture() : nullptr;
    if (picture == nullptr) {
        return;
    }
    const BITMAPINFO info = TopDownRgb32(picture->Width(), picture->Height());
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    SetDIBitsToDevice(
        dc, r.left + (r.width - picture->Width()) / 2, r.top + (r.height - picture->Height()) / 2,
        static_cast<DWORD>(picture->Width()), static_cast<DWORD>(picture->Height()), 0, 0, 0,
        static_cast<UINT>(picture->Height()), picture->Pixels().data(), &info, DIB_RGB_COLORS);
    RestoreDC(dc, saved);
}

// One pixel wide, from one end point to the other with both ends drawn.
void FormPainter::PaintLine(HDC dc, const ControlDesign& design) {
    const OwnedPen pen(CreatePen(PS_SOLID, 1, ColourRef(design.foreColour)));
    const Selection selected(dc, pen.get());
    const int previousMix = SetROP2(dc, design.maskPen ? R2_MASKPEN : R2_COPYPEN);
    MoveToEx(dc, design.from.x, design.from.y, nullptr);
    LineTo(dc, design.to.x, design.to.y);
    LineTo(dc, design.to.x + 1, design.to.y);  // LineTo leaves out its last pixel
    SetROP2(dc, previousMix);
}

HFONT FormPainter::FontFor(const ControlDesign& design) {
    return FontOf(design.font ? *design.font : form_.Design().font);
}

HFONT FormPainter::FontOf(const FontDesign& wanted) {
    OwnedFont& font = fonts_[&wanted];
    if (!font) {
        const WindowDc screen(nullptr);  // the screen's resolution
        const int height = -MulDiv(wanted.points, GetDeviceCaps(screen.Dc(), LOGPIXELSY), 72);
        const std::wstring face = AvailableFace(screen.Dc(), wanted.face);
        font.reset(CreateFontW(height, 0, 0, 0, wanted.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, face.c_str()));
    }
    return font.get();
}

}  // namespace forms::win32

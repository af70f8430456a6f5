// Paints a form's windowless controls, each kind as its design asks, at the form's DPI, and
// keeps the fonts the form's text needs and the pictures stretched to that DPI.
#pragma once

#include <windows.h>

#include <string>

#include "form.h"
#include "form_pictures.h"
#include "handles.h"

namespace forms::win32 {

COLORREF ColourRef(Colour colour);
RECT ToRect(const Rect& rect);

class FormPainter {
  public:
    // The pictures are the design's, decoded; they must outlive the painter.
    FormPainter(const Form& form, const Pictures& pictures) : form_(form), pictures_(pictures) {}

    // Answers WM_PAINT: the whole client area, drawn off screen first, so nothing flickers.
    void PaintWindow(HWND window);
    // The whole client area: the background, then the controls back to front.
    void Paint(HDC dc, const RECT& client);
    // Text straight onto the window at the top left, in the form's font and colour.
    void PrintText(HWND window, const std::wstring& text);
    HFONT FontFor(const ControlDesign& design);

  private:
    Rect Shown(Rect box) const;
    void PaintControl(HDC dc, const Control& control);
    void PaintShape(HDC dc, const Control& shape);
    void PaintLabel(HDC dc, const Control& label);
    void PaintImage(HDC dc, const Control& image);
    void PaintAnimation(HDC dc, const Control& control);
    void PaintLine(HDC dc, const Control& line);
    HFONT FontOf(const FontDesign& font);
    HBITMAP PictureFor(const Control& image);

    const Form& form_;
    const Pictures& pictures_;
    // By face and DPI: a push button may still hold the font of the DPI before.
    SmallMap<std::pair<const FontDesign*, int>, base::win32::OwnedFont> fonts_;
    // Stretched once for `stretchedDpi_`, by image.
    SmallMap<const ControlDesign*, base::win32::OwnedBitmap> stretched_;
    int stretchedDpi_ = kDesignDpi;
    int clientWidth_ = 0;  // of the paint under way: a mirrored window mirrors against it
};

}  // namespace forms::win32

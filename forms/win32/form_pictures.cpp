#include "form_pictures.h"

#include <algorithm>
#include <string>

#include "bitmap_file.h"
#include "error.h"
#include "sentence.h"
#include "text.h"

namespace forms::win32 {
namespace {

using base::win32::OwnedBitmap;
using base::win32::SystemMessage;

base::Result<OwnedBitmap> PixelsToBitmap(int width, int height,
                                         const std::vector<uint32_t>& pixels) {
    const BITMAPINFO info = TopDownRgb32(width, height);
    void* bits = nullptr;
    OwnedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) {
        return base::Error(SystemMessage(GetLastError()));
    }
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    return bitmap;
}

base::Result<OwnedBitmap> DecodePicture(HINSTANCE instance, int resource,
                                        std::wstring_view damaged) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resource), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const auto* bytes =
        static_cast<const uint8_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        return base::Error(SystemMessage(GetLastError()));
    }
    const base::Result<clip::Picture> picture =
        clip::DecodePackedPicture({bytes, SizeofResource(instance, found)});
    if (!picture) {
        return base::Error(base::Utf8(damaged));  // only a damaged program has such a picture
    }
    return PixelsToBitmap(picture->width, picture->height, picture->pixels);
}

}  // namespace

BITMAPINFO TopDownRgb32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

OwnedBitmap StretchPicture(HBITMAP picture, int width, int height) {
    BITMAP size{};
    const BITMAPINFO info = TopDownRgb32(width, height);
    void* bits = nullptr;
    OwnedBitmap stretched(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!stretched || GetObjectW(picture, sizeof size, &size) == 0) {
        return {};
    }
    const base::win32::OwnedMemoryDc from(CreateCompatibleDC(nullptr));
    const base::win32::OwnedMemoryDc to(CreateCompatibleDC(nullptr));
    const base::win32::Selection source(from.get(), picture);
    const base::win32::Selection target(to.get(), stretched.get());
    SetStretchBltMode(to.get(), HALFTONE);
    SetBrushOrgEx(to.get(), 0, 0, nullptr);
    StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, size.bmWidth, size.bmHeight,
               SRCCOPY);
    return stretched;
}

// Pictures are stored compressed, which keeps the program small on a slow drive; each is
// decoded once, before the window first shows.
base::Fault LoadPictures(HINSTANCE instance, const FormDesign& design, std::wstring_view damaged,
                         Pictures& pictures) {
    for (const ControlDesign& control : design.controls) {
        if (control.kind == Kind::Image && control.picture != 0 &&
            !pictures.Contains(control.picture)) {
            base::Result<OwnedBitmap> bitmap = DecodePicture(instance, control.picture, damaged);
            if (!bitmap) {
                return bitmap.error();
            }
            pictures[control.picture] = std::move(*bitmap);
        }
    }
    return std::nullopt;
}

}  // namespace forms::win32

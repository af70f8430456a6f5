// The pictures of a form's design, out of the program's resources into bitmaps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "design.h"
#include "error.h"
#include "handles.h"
#include "small_map.h"

namespace forms::win32 {

// Bitmaps by resource id.
using Pictures = SmallMap<int, base::win32::OwnedBitmap>;

// Decoded pixels, 0x00RRGGBB with the top row first, as GDI takes them.
BITMAPINFO TopDownRgb32(int width, int height);

// `picture` stretched smoothly (halftone) to `width` x `height`; nothing where it cannot be.
base::win32::OwnedBitmap StretchPicture(HBITMAP picture, int width, int height);

// Each picture the design shows, by resource id, into `pictures`; where one cannot be shown,
// why: the system's reason, or `damaged` where the program's own picture is.
[[nodiscard]] base::Fault LoadPictures(HINSTANCE instance, const FormDesign& design,
                                       std::wstring_view damaged, Pictures& pictures);

}  // namespace forms::win32

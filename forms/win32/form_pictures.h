// The pictures of a form's design, out of the program's resources into bitmaps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>

#include "error.h"
#include <vector>

#include "design.h"
#include "handles.h"

namespace forms::win32 {

// Decoded pixels, 0x00RRGGBB with the top row first, as GDI takes them.
BITMAPINFO TopDownRgb32(int width, int height);

// Each picture the design shows, by resource id, into `pictures`; where one cannot be shown,
// why, naming it.
[[nodiscard]] base::Fault LoadPictures(HINSTANCE instance, const FormDesign& design,
                                       std::map<int, base::win32::OwnedBitmap>& pictures);

}  // namespace forms::win32

// The pictures of a form's design, out of the program's resources into bitmaps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <vector>

#include "design.h"
#include "handles.h"

namespace forms::win32 {

// Decoded pixels, 0x00RRGGBB with the top row first, as GDI takes them.
BITMAPINFO TopDownRgb32(int width, int height);

// Each picture the design shows, by resource id, into `pictures`. Throws base::Error naming
// the picture that cannot be shown.
void LoadPictures(HINSTANCE instance, const FormDesign& design,
                  std::map<int, base::win32::OwnedBitmap>& pictures);

}  // namespace forms::win32

// Microsoft RLE8 encoding of 8-bit pictures, as delta frames over the previous picture.
#pragma once

#include <cstdint>
#include <vector>

#include "avi_writer.h"

namespace clipmaker {

// An 8-bit picture: palette indexes, top row first.
struct IndexedPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;

    uint8_t At(int32_t x, int32_t y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// Encodes `picture`; with `previous`, runs of unchanged pixels are jumped over.
Bytes EncodeRle8(const IndexedPicture& picture, const IndexedPicture* previous);

}  // namespace clipmaker

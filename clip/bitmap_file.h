// Reads the windows' pictures: .bmp files, uncompressed or RLE8, decoded through the clip
// reader's checked frame decoding, and the programs' packed pictures, such a file deflated.
// Portable; no reads outside the given bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "error.h"

namespace clip {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, the top row first
};

// The picture, or why the bytes are not a bitmap file it can show.
base::Result<Picture> DecodeBitmapFile(std::span<const uint8_t> file);

// The picture of a bitmap file packed as the programs carry it: its length in four bytes,
// little-endian, then the file deflated.
base::Result<Picture> DecodePackedPicture(std::span<const uint8_t> packed);

}  // namespace clip

// A frame's format as a BITMAPINFOHEADER and what follows it describe it: in an AVI clip's
// video stream and in a bitmap file alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "clip_error.h"

namespace clip {

enum class Compression { Rgb, Rle8, Bitfields };

inline constexpr int32_t kMaxFrameSide = 4096;

struct VideoFormat {
    int32_t width = 0;
    int32_t height = 0;  // always positive; see topDown
    bool topDown = false;
    uint16_t bitCount = 0;
    Compression compression = Compression::Rgb;
    std::array<uint32_t, 3> masks{};  // red, green, blue; for 16 and 32 bits per pixel
    std::vector<uint32_t> palette;    // 0x00RRGGBB; 256 entries for 8 bits per pixel, else empty

    size_t Stride() const { return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4; }
};

// The format a BITMAPINFOHEADER with its colour masks or palette after it describes. Where
// this player cannot show frames in it, says why in `fault`, which the caller looks at
// before it uses the format. Reads nothing outside `info`.
VideoFormat ReadVideoFormat(std::span<const uint8_t> info, FirstFault& fault);

}  // namespace clip

// The demo CD's splash clip: a turning disc above the product name, on white.
#pragma once

#include "rle8_encoder.h"

namespace clipmaker {

inline constexpr int32_t kClipSide = 361;  // fills the splash window's clip square
inline constexpr int kClipFrames = 24;
inline constexpr uint32_t kClipFramesPerSecond = 12;

std::vector<uint32_t> VarnokPalette();
std::vector<IndexedPicture> DrawVarnokFrames();

// The frames as an RLE8 AVI: the first frame whole, each later one over the one before.
Bytes MakeVarnokClip();

}  // namespace clipmaker

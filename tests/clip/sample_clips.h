// Small clips of every layout the player reads, each with the pixels it must decode to.
#pragma once

#include <string>
#include <vector>

#include "avi_writer.h"

namespace sample {

using Pixels = std::vector<uint32_t>;  // 0x00RRGGBB, top row first

struct SampleClip {
    std::string name;
    clipmaker::AviLayout layout;
    std::vector<Pixels> expected;  // one picture a frame
};

// Odd width, so rows of 8, 16 and 24 bits carry padding.
inline constexpr int32_t kWidth = 7;
inline constexpr int32_t kHeight = 5;

std::vector<SampleClip> SampleClips();
const SampleClip& SampleNamed(const std::string& name);

}  // namespace sample

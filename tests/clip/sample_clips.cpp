#include "sample_clips.h"

#include <stdexcept>

#include "rle8_encoder.h"

namespace sample {
namespace {

using clipmaker::AviLayout;
using clipmaker::Bytes;

constexpr int kFrames = 3;

// Colours whose channels survive 5- and 6-bit storage unchanged after widening.
const std::vector<uint32_t> kColours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                        0x0000FF, 0xFFFF00, 0xCE3131, 0x00FFFF};

int ColourIndex(int x, int y, int frame) {
    return (x + 2 * y + 3 * frame) % 8;
}

Pixels Expected(int frame) {
    Pixels pixels;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            pixels.push_back(kColours[static_cast<size_t>(ColourIndex(x, y, frame))]);
        }
    }
    return pixels;
}

void PutLittleEndian(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint32_t Pack(uint32_t rgb, int redBits, int greenBits, int blueBits) {
    const uint32_t r = (rgb >> 16 & 0xFF) >> (8 - redBits);
    const uint32_t g = (rgb >> 8 & 0xFF) >> (8 - greenBits);
    const uint32_t b = (rgb & 0xFF) >> (8 - blueBits);
    return r << (greenBits + blueBits) | g << blueBits | b;
}

// One uncompressed frame; `pixel` writes one pixel's bytes.
template <typename PutPixel>
Bytes Uncompressed(int frame, int bitCount, bool topDown, PutPixel pixel) {
    Bytes out;
    const size_t stride = ((kWidth * static_cast<size_t>(bitCount) + 31) / 32) * 4;
    for (int row = 0; row < kHeight; ++row) {
        const int y = topDown ? row : kHeight - 1 - row;
        const size_t start = out.size();
        for (int x = 0; x < kWidth; ++x) {
            pixel(out, ColourIndex(x, y, frame));
        }
        out.resize(start + stride, 0);
    }
    return out;
}

template <typename PutPixel>
SampleClip MakeUncompressed(const std::string& name, uint16_t bitCount, uint32_t compression,
                            bool topDown, PutPixel pixel) {
    SampleClip clip{name, {}, {}};
    clip.layout.width = kWidth;
    clip.layout.height = topDown ? -kHeight : kHeight;
    clip.layout.bitCount = bitCount;
    clip.layout.compression = compression;
    for (int f = 0; f < kFrames; ++f) {
        clip.layout.frames.push_back(Uncompressed(f, bitCount, topDown, pixel));
        clip.expected.push_back(Expected(f));
    }
    return clip;
}

clipmaker::IndexedPicture IndexedFrame(int frame) {
    clipmaker::IndexedPicture picture{kWidth, kHeight, {}};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            // Only the middle changes between frames, so later frames use jumps.
            const bool moving = x >= 2 && x <= 4 && y >= 1 && y <= 3;
            picture.pixels.push_back(static_cast<uint8_t>(ColourIndex(x, y, moving ? frame : 0)));
        }
    }
    return picture;
}

SampleClip MakeRle8(const std::string& name, clipmaker::IndexKind index, bool recLists) {
    SampleClip clip{name, {}, {}};
    clip.layout.width = kWidth;
    clip.layout.height = kHeight;
    clip.layout.compression = clipmaker::kBiRle8;
    clip.layout.palette = kColours;
    clip.layout.index = index;
    clip.layout.recLists = recLists;
    for (int f = 0; f < kFrames; ++f) {
        const auto picture = IndexedFrame(f);
        const auto previous = IndexedFrame(f - 1);
        clip.layout.frames.push_back(clipmaker::EncodeRle8(picture, f == 0 ? nullptr : &previous));
        Pixels pixels;
        for (uint8_t index8 : picture.pixels) {
            pixels.push_back(kColours[index8]);
        }
        clip.expected.push_back(pixels);
    }
    return clip;
}

}  // namespace

std::vector<SampleClip> SampleClips() {
    auto palette8 = [](Bytes& out, int colour) { out.push_back(static_cast<uint8_t>(colour)); };
    auto rgb555 = [](Bytes& out, int colour) {
        PutLittleEndian(out, Pack(kColours[static_cast<size_t>(colour)], 5, 5, 5), 2);
    };
    auto rgb565 = [](Bytes& out, int colour) {
        PutLittleEndian(out, Pack(kColours[static_cast<size_t>(colour)], 5, 6, 5), 2);
    };
    auto bgr24 = [](Bytes& out, int colour) {
        PutLittleEndian(out, kColours[static_cast<size_t>(colour)], 3);
    };
    auto bgrx32 = [](Bytes& out, int colour) {
        PutLittleEndian(out, kColours[static_cast<size_t>(colour)] | 0xAA000000, 4);
    };
    // Blue in the high byte, red in the low one: the masks, not the byte order, decide.
    auto xbgr32 = [](Bytes& out, int colour) {
        const uint32_t c = kColours[static_cast<size_t>(colour)];
        PutLittleEndian(out, (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16), 4);
    };

    // Red in the top byte, where a three-byte read would lose it.
    auto rgbx32 = [](Bytes& out, int colour) {
        PutLittleEndian(out, kColours[static_cast<size_t>(colour)] << 8 | 0x55, 4);
    };

    std::vector<SampleClip> clips;
    clips.push_back(MakeUncompressed("rgb8", 8, clipmaker::kBiRgb, false, palette8));
    clips.back().layout.palette = kColours;
    clips.push_back(MakeUncompressed("rgb8-top-down", 8, clipmaker::kBiRgb, true, palette8));
    clips.back().layout.palette = kColours;
    clips.push_back(MakeUncompressed("rgb555", 16, clipmaker::kBiRgb, false, rgb555));
    clips.push_back(MakeUncompressed("rgb555-top-down", 16, clipmaker::kBiRgb, true, rgb555));
    clips.push_back(MakeUncompressed("bitfields565", 16, clipmaker::kBiBitfields, false, rgb565));
    clips.back().layout.masks = {0xF800, 0x07E0, 0x001F};
    clips.push_back(MakeUncompressed("rgb24", 24, clipmaker::kBiRgb, false, bgr24));
    clips.push_back(MakeUncompressed("rgb24-top-down", 24, clipmaker::kBiRgb, true, bgr24));
    clips.push_back(MakeUncompressed("rgb32", 32, clipmaker::kBiRgb, false, bgrx32));
    clips.push_back(MakeUncompressed("rgb32-top-down", 32, clipmaker::kBiRgb, true, bgrx32));
    clips.push_back(MakeUncompressed("bitfields32", 32, clipmaker::kBiBitfields, false, xbgr32));
    clips.back().layout.masks = {0x0000FF, 0x00FF00, 0xFF0000};
    clips.push_back(
        MakeUncompressed("bitfields32-high", 32, clipmaker::kBiBitfields, false, rgbx32));
    clips.back().layout.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    clips.push_back(MakeRle8("rle8", clipmaker::IndexKind::RelativeToMovie, false));
    clips.push_back(MakeRle8("rle8-rec-lists-no-index", clipmaker::IndexKind::None, true));
    clips.push_back(
        MakeRle8("rle8-rec-lists-indexed", clipmaker::IndexKind::RelativeToMovie, true));
    clips.push_back(MakeRle8("rle8-absolute-index", clipmaker::IndexKind::AbsoluteInFile, false));
    return clips;
}

const SampleClip& SampleNamed(const std::string& name) {
    static const std::vector<SampleClip> clips = SampleClips();
    for (const SampleClip& clip : clips) {
        if (clip.name == name) {
            return clip;
        }
    }
    throw std::out_of_range("no sample clip " + name);
}

}  // namespace sample

#include "frame_decoder.h"

#include <algorithm>
#include <bit>

namespace clip {
namespace {

// Widens one colour channel picked out by `mask` to 8 bits, so full scale stays full scale.
uint32_t Channel(uint32_t pixel, uint32_t mask) {
    const int shift = std::countr_zero(mask);
    const uint32_t max = mask >> shift;
    const uint32_t value = (pixel & mask) >> shift;
    const int bits = std::popcount(max);
    if (bits >= 8) {
        return value >> (bits - 8);
    }
    return (value * 255 + max / 2) / max;
}

uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
    return red << 16 | green << 8 | blue;
}

class RleError : public ClipError {
  public:
    using ClipError::ClipError;
};

}  // namespace

FrameDecoder::FrameDecoder(const AviClip& clip) : FrameDecoder(clip, Mode::Paint) {}

FrameDecoder::FrameDecoder(const AviClip& clip, Mode mode)
    : clip_(clip),
      pixels_(mode == Mode::Paint ? static_cast<size_t>(clip.Format().width) *
                                        static_cast<size_t>(clip.Format().height)
                                  : 0,
              0),
      mode_(mode) {}

void FrameDecoder::CheckAllFrames(const AviClip& clip) {
    if (clip.Format().compression == Compression::Rle8) {
        FrameDecoder(clip, Mode::CheckOnly).AdvanceTo(clip.FrameCount() - 1);
    }
    // Uncompressed frames were sized against the picture when the clip was parsed.
}

size_t FrameDecoder::PlayableFrames(const AviClip& clip) {
    if (clip.Format().compression != Compression::Rle8) {
        return clip.FrameCount();
    }
    FrameDecoder checker(clip, Mode::CheckOnly);
    for (size_t i = 0; i < clip.FrameCount(); ++i) {
        const std::span<const uint8_t> data = clip.Frame(i);
        try {
            if (!data.empty()) {
                checker.DecodeRle8(data);
            }
        } catch (const RleError&) {
            return i;
        }
    }
    return clip.FrameCount();
}

void FrameDecoder::AdvanceTo(size_t index) {
    index = std::min(index, clip_.FrameCount() - 1);
    if (current_ != kNoFrame && index < current_) {
        std::fill(pixels_.begin(), pixels_.end(), 0);
        current_ = kNoFrame;
    }
    while (current_ == kNoFrame || current_ < index) {
        const size_t next = current_ == kNoFrame ? 0 : current_ + 1;
        Decode(next);
        current_ = next;
    }
}

void FrameDecoder::Decode(size_t index) {
    const std::span<const uint8_t> data = clip_.Frame(index);
    if (data.empty()) {
        return;  // a dropped frame: the previous picture stays
    }
    try {
        if (clip_.Format().compression == Compression::Rle8) {
            DecodeRle8(data);
        } else {
            DecodeUncompressed(data);
        }
    } catch (const RleError& error) {
        throw ClipError("frame " + std::to_string(index) + " is corrupt: " + error.what());
    }
}

void FrameDecoder::DecodeUncompressed(std::span<const uint8_t> data) {
    const VideoFormat& format = clip_.Format();
    const size_t stride = format.Stride();
    for (int32_t row = 0; row < Height(); ++row) {
        const int32_t y = format.topDown ? row : Height() - 1 - row;
        const uint8_t* in = data.data() + static_cast<size_t>(row) * stride;
        uint32_t* out = Row(y);
        for (int32_t x = 0; x < Width(); ++x) {
            switch (format.bitCount) {
                case 8:
                    out[x] = format.palette[in[x]];
                    break;
                case 24:
                    out[x] = Rgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
                    break;
                default: {
                    // All four bytes: bit fields may use the top one.
                    const uint32_t pixel =
                        format.bitCount == 16
                            ? static_cast<uint32_t>(in[2 * x] | in[2 * x + 1] << 8)
                            : static_cast<uint32_t>(in[4 * x]) | in[4 * x + 1] << 8 |
                                  in[4 * x + 2] << 16 | static_cast<uint32_t>(in[4 * x + 3]) << 24;
                    out[x] =
                        format.bitCount == 32 && format.compression == Compression::Rgb
                            ? pixel & 0xFFFFFF  // the fourth byte is unused
                            : Rgb(Channel(pixel, format.masks[0]), Channel(pixel, format.masks[1]),
                                  Channel(pixel, format.masks[2]));
                    break;
                }
            }
        }
    }
}

// Microsoft RLE8: runs of one colour, literal runs, and escapes for end of line, end of
// picture and a jump over pixels that keep the previous frame's colour. Rows count up from
// the bottom of the picture.
void FrameDecoder::DecodeRle8(std::span<const uint8_t> data) {
    const std::vector<uint32_t>& palette = clip_.Format().palette;
    size_t pos = 0;
    int32_t x = 0;
    int32_t y = 0;
    auto next = [&]() -> uint8_t {
        if (pos >= data.size()) {
            throw RleError("its data ends inside a code");
        }
        return data[pos++];
    };
    const bool painting = mode_ == Mode::Paint;
    auto paint = [&](int32_t count) -> uint32_t* {
        if (y >= Height()) {
            throw RleError("it paints above the top row");
        }
        if (count > Width() - x) {
            throw RleError("a run goes past the end of a row");
        }
        uint32_t* out = painting ? Row(Height() - 1 - y) + x : nullptr;
        x += count;
        return out;
    };
    while (pos < data.size()) {
        const uint8_t count = next();
        const uint8_t code = next();
        if (count > 0) {
            uint32_t* out = paint(count);
            if (painting) {
                std::fill_n(out, count, palette[code]);
            }
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return;
        } else if (code == 2) {
            const uint8_t dx = next();
            const uint8_t dy = next();
            x += dx;
            y += dy;
            if (x > Width() || y > Height()) {
                throw RleError("a jump leaves the picture");
            }
        } else {
            uint32_t* out = paint(code);
            if (data.size() - pos < code) {
                throw RleError("its data ends inside a code");
            }
            for (uint8_t i = 0; painting && i < code; ++i) {
                out[i] = palette[data[pos + i]];
            }
            pos += code;
            if ((code & 1) != 0 && pos < data.size()) {
                ++pos;  // literal runs are padded to an even length
            }
        }
    }
}

void CheckAllFrames(const AviClip& clip) {
    FrameDecoder(clip).AdvanceTo(clip.FrameCount() - 1);
}

}  // namespace clip

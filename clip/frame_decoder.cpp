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

constexpr const char* kEndsInsideACode = "its data ends inside a code";

}  // namespace

FrameDecoder::FrameDecoder(const AviClip& clip) : FrameDecoder(clip, Mode::Paint) {}

FrameDecoder::FrameDecoder(const AviClip& clip, Mode mode)
    : clip_(clip),
      pixels_(mode == Mode::Paint ? static_cast<size_t>(clip.Format().width) *
                                        static_cast<size_t>(clip.Format().height)
                                  : 0,
              0),
      mode_(mode) {}

base::Fault FrameDecoder::CheckAllFrames(const AviClip& clip) {
    if (clip.Format().compression == Compression::Rle8) {
        return FrameDecoder(clip, Mode::CheckOnly).AdvanceTo(clip.FrameCount() - 1);
    }
    return std::nullopt;  // uncompressed frames were sized against the picture when parsed
}

size_t FrameDecoder::PlayableFrames(const AviClip& clip) {
    if (clip.Format().compression != Compression::Rle8) {
        return clip.FrameCount();
    }
    FrameDecoder checker(clip, Mode::CheckOnly);
    for (size_t i = 0; i < clip.FrameCount(); ++i) {
        if (checker.Decode(i) != nullptr) {
            return i;
        }
    }
    return clip.FrameCount();
}

base::Result<AviClip> PlayableClip(std::span<const uint8_t> bytes) {
    base::Result<AviClip> clip = AviClip::ParseLeniently(bytes);
    if (clip) {
        clip->KeepFrames(FrameDecoder::PlayableFrames(*clip));
    }
    return clip;
}

base::Fault FrameDecoder::AdvanceTo(size_t index) {
    index = std::min(index, clip_.FrameCount() - 1);
    if (current_ != kNoFrame && index < current_) {
        std::fill(pixels_.begin(), pixels_.end(), 0);
        current_ = kNoFrame;
    }
    while (current_ == kNoFrame || current_ < index) {
        const size_t next = current_ == kNoFrame ? 0 : current_ + 1;
        if (const char* fault = Decode(next)) {
            return ClipError(DeveloperReason([&] {
                return std::string("frame " + std::to_string(next) + " is corrupt: " + fault);
            }));
        }
        current_ = next;
    }
    return std::nullopt;
}

const char* FrameDecoder::Decode(size_t index) {
    const std::span<const uint8_t> data = clip_.Frame(index);
    if (data.empty()) {
        return nullptr;  // a dropped frame: the previous picture stays
    }
    if (clip_.Format().compression == Compression::Rle8) {
        return DecodeRle8(data);
    }
    DecodeUncompressed(data);
    return nullptr;
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
                            : static_cast<uint32_t>(in[4 * x]) |
                                  static_cast<uint32_t>(in[4 * x + 1]) << 8 |
                                  static_cast<uint32_t>(in[4 * x + 2]) << 16 |
                                  static_cast<uint32_t>(in[4 * x + 3]) << 24;
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
const char* FrameDecoder::DecodeRle8(std::span<const uint8_t> data) {
    const std::vector<uint32_t>& palette = clip_.Format().palette;
    const bool painting = mode_ == Mode::Paint;
    size_t pos = 0;
    int32_t x = 0;
    int32_t y = 0;
    // Where a run of `count` pixels may go at (x, y); null where it may not, with the reason.
    const char* refusal = nullptr;
    auto paint = [&](int32_t count) -> uint32_t* {
        if (y >= Height()) {
            refusal = "it paints above the top row";
        } else if (count > Width() - x) {
            refusal = "a run goes past the end of a row";
        }
        uint32_t* out = painting && refusal == nullptr ? Row(Height() - 1 - y) + x : nullptr;
        x += count;
        return out;
    };
    while (pos < data.size()) {
        if (data.size() - pos < 2) {
            return kEndsInsideACode;
        }
        const uint8_t count = data[pos];
        const uint8_t code = data[pos + 1];
        pos += 2;
        if (count > 0) {
            uint32_t* out = paint(count);
            if (refusal != nullptr) {
                return refusal;
            }
            if (painting) {
                std::fill_n(out, count, palette[code]);
            }
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return nullptr;
        } else if (code == 2) {
            if (data.size() - pos < 2) {
                return kEndsInsideACode;
            }
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            if (x > Width() || y > Height()) {
                return "a jump leaves the picture";
            }
        } else {
            uint32_t* out = paint(code);
            if (refusal != nullptr) {
                return refusal;
            }
            if (data.size() - pos < code) {
                return kEndsInsideACode;
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
    return nullptr;
}

}  // namespace clip

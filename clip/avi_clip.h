// Reads a silent RIFF AVI clip with one video stream from bytes in memory.
// Portable: no Windows headers, no reads outside the given bytes whatever they hold.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "error.h"

namespace clip {

// Why a clip or a picture was refused.
class ClipError : public base::Error {
  public:
    using base::Error::Error;
};

// Why a clip was refused, in the words of its reader's developer: for the host build, its tests
// and the fuzzer. The programs tell the user no more than that the file is damaged, so they
// are built without these texts (VARNOK_TERSE_CLIP), which a CD drive would otherwise read
// before the splash shows.
#ifdef VARNOK_TERSE_CLIP
inline constexpr bool kDeveloperReasons = false;
#else
inline constexpr bool kDeveloperReasons = true;
#endif

// The reason that `words` make, or none in the programs, where the words are never made and
// their texts never reach the program's file.
template <typename Words>
std::string DeveloperReason(const Words& words) {
    if constexpr (kDeveloperReasons) {
        return words();
    } else {
        return {};
    }
}

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

// Frames per second is rate / scale, as in the stream header.
struct FrameRate {
    uint32_t rate = 0;
    uint32_t scale = 0;
};

// What the headers at the start of a clip's file tell, before any frame is read.
struct ClipHeader {
    VideoFormat format;
    FrameRate rate;
    size_t fileBytes = 0;  // the clip's length as its RIFF header declares it
};

class AviClip {
  public:
    // The clip, or the reason the bytes are not a clip this player can show. The bytes must
    // outlive the clip: frames are views into them.
    static base::Result<AviClip> Parse(std::span<const uint8_t> bytes);
    // Reads the headers from `start`, the first bytes of a file of `fileSize` bytes, with the
    // checks Parse makes of them, so a clip can be refused before its frames are read. Where
    // `start` ends before the headers do, gives nothing and sets `needed` to the bytes from
    // the file's start to read first.
    static base::Result<std::optional<ClipHeader>> ReadHeader(std::span<const uint8_t> start,
                                                              uint64_t fileSize, size_t& needed);
    // A clip whose headers were read before, from what of its file could be read: the frames
    // that play, up to the first damage in the file's structure, a frame's size or its codes.
    // Damage after the headers gives fewer frames, perhaps none, never a refusal.
    static base::Result<AviClip> ParsePlayable(std::span<const uint8_t> bytes);
    // One frame in the format a BITMAPINFOHEADER and what follows it describe, checked as a
    // clip's frames are (an RLE8 frame is walked through once here): a still picture shares
    // the clips' decoding.
    static base::Result<AviClip> Still(std::span<const uint8_t> format,
                                       std::span<const uint8_t> pixels);

    const VideoFormat& Format() const { return format_; }
    FrameRate Rate() const { return rate_; }
    size_t FrameCount() const { return frames_.size(); }
    // An empty frame repeats the one before it, as AVI writers mark dropped frames.
    std::span<const uint8_t> Frame(size_t index) const { return frames_.at(index); }

  private:
    VideoFormat format_;
    FrameRate rate_;
    std::vector<std::span<const uint8_t>> frames_;
    friend class AviParser;
};

}  // namespace clip

// Reads a silent RIFF AVI clip with one video stream from bytes in memory.
// Portable: no Windows headers, no reads outside the given bytes whatever they hold.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "error.h"
#include "video_format.h"

namespace clip {

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
    // A clip whose headers were read before, from what of its file could be read: its frames
    // up to the first damage in the file's structure or a frame's size. Damage after the
    // headers gives fewer frames, perhaps none, never a refusal. Which of the frames decode
    // is the decoder's to tell (PlayableClip).
    static base::Result<AviClip> ParseLeniently(std::span<const uint8_t> bytes);
    // One frame in the format a BITMAPINFOHEADER and what follows it describe, its size
    // checked as a clip's frames are; its codes are the decoder's to check (CheckAllFrames):
    // a still picture shares the clips' decoding.
    static base::Result<AviClip> Still(std::span<const uint8_t> format,
                                       std::span<const uint8_t> pixels);

    const VideoFormat& Format() const { return format_; }
    FrameRate Rate() const { return rate_; }
    size_t FrameCount() const { return frames_.size(); }
    // An empty frame repeats the one before it, as AVI writers mark dropped frames.
    std::span<const uint8_t> Frame(size_t index) const { return frames_.at(index); }
    // Keeps the first `count` frames: those that play, where a later one does not decode.
    void KeepFrames(size_t count) { frames_.resize(std::min(count, frames_.size())); }

  private:
    VideoFormat format_;
    FrameRate rate_;
    std::vector<std::span<const uint8_t>> frames_;
    friend class AviParser;
};

}  // namespace clip

// Turns a clip's frames into 32-bit pixels (0x00RRGGBB, top row first), in playing order.
#pragma once

#include <utility>
#include <vector>

#include "avi_clip.h"

namespace clip {

class FrameDecoder {
  public:
    static constexpr size_t kNoFrame = static_cast<size_t>(-1);

    explicit FrameDecoder(const AviClip& clip);

    // Checks every frame's codes without painting: it refuses what AdvanceTo would refuse,
    // at a fraction of the cost.
    [[nodiscard]] static base::Fault CheckAllFrames(const AviClip& clip);
    // How many frames from the first decode without a fault: those a clip can play.
    static size_t PlayableFrames(const AviClip& clip);

    // Decodes the frames after the current one up to `index`, since an RLE8 frame only
    // paints over the one before it; an earlier index starts again from frame 0.
    // Stops at the last good frame and tells, naming the frame, where one's data is corrupt.
    [[nodiscard]] base::Fault AdvanceTo(size_t index);

    size_t CurrentFrame() const { return current_; }
    int32_t Width() const { return clip_.Format().width; }
    int32_t Height() const { return clip_.Format().height; }
    const std::vector<uint32_t>& Pixels() const { return pixels_; }
    // The frame on show, moved out rather than copied; the decoder is not used after it.
    std::vector<uint32_t> TakePixels() { return std::move(pixels_); }

  private:
    // Null where the frame decoded, else why it did not.
    const char* Decode(size_t index);
    void DecodeUncompressed(std::span<const uint8_t> data);
    const char* DecodeRle8(std::span<const uint8_t> data);
    enum class Mode { Paint, CheckOnly };
    FrameDecoder(const AviClip& clip, Mode mode);
    uint32_t* Row(int32_t y) { return pixels_.data() + static_cast<size_t>(y * Width()); }

    const AviClip& clip_;
    std::vector<uint32_t> pixels_;
    size_t current_ = kNoFrame;
    Mode mode_ = Mode::Paint;
};

// A clip whose headers were read before, from what of its file could be read: the frames
// that play, up to the first damage in the file's structure, a frame's size or its codes.
// Damage after the headers gives fewer frames, perhaps none, never a refusal.
base::Result<AviClip> PlayableClip(std::span<const uint8_t> bytes);

}  // namespace clip

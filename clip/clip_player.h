// Plays a clip once from frame 0 to its last frame, then keeps showing the last frame.
#pragma once

#include "clip_timeline.h"
#include "frame_decoder.h"

namespace clip {

class ClipPlayer {
  public:
    // The clip's frames must have passed its check (PlayableClip, or
    // FrameDecoder::CheckAllFrames), and there must be one at least.
    explicit ClipPlayer(const AviClip& clip);

    // Brings the picture to the frame due `elapsedMs` after the start; true when it changed.
    bool ShowFrameDueAt(uint64_t elapsedMs);
    std::optional<uint64_t> MsUntilNextFrame(uint64_t elapsedMs) const {
        return timeline_.MsUntilNextFrame(elapsedMs);
    }
    const FrameDecoder& Picture() const { return decoder_; }

  private:
    void Show(size_t index);

    ClipTimeline timeline_;
    FrameDecoder decoder_;
};

}  // namespace clip

// Plays a clip once from frame 0 to its last frame, then keeps showing the last frame.
#pragma once

#include "clip_timeline.h"
#include "frame_decoder.h"

namespace clip {

class ClipPlayer {
  public:
    // Decodes every frame once first (throws ClipError), so a corrupt clip never half-plays.
    explicit ClipPlayer(const AviClip& clip);

    // Brings the picture to the frame due `elapsedMs` after the start; true when it changed.
    bool ShowFrameDueAt(uint64_t elapsedMs);
    std::optional<uint64_t> MsUntilNextFrame(uint64_t elapsedMs) const {
        return timeline_.MsUntilNextFrame(elapsedMs);
    }
    const FrameDecoder& Picture() const { return decoder_; }

  private:
    ClipTimeline timeline_;
    FrameDecoder decoder_;
};

}  // namespace clip

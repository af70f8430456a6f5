// When each frame of a clip played once from frame 0 to its last frame is due.
// Frames are placed by absolute time since the start, so late timer ticks never add drift.
#pragma once

#include <cstdint>
#include <optional>

#include "avi_clip.h"

namespace clip {

class ClipTimeline {
  public:
    ClipTimeline(FrameRate rate, size_t frameCount);

    // The frame to show at `elapsedMs` after the start; the last frame once the clip is over.
    size_t FrameDueAt(uint64_t elapsedMs) const;

    // How long after `elapsedMs` the next frame is due; nothing once the last frame is due.
    std::optional<uint64_t> MsUntilNextFrame(uint64_t elapsedMs) const;

    uint64_t DurationMs() const { return StartOfFrameMs(frameCount_); }

  private:
    uint64_t StartOfFrameMs(uint64_t frame) const;

    uint64_t rate_;
    uint64_t scale_;
    uint64_t frameCount_;
};

}  // namespace clip

#include "clip_timeline.h"

#include <algorithm>

namespace clip {

// The parser refuses clips of more than a day, which keeps every product below within 64
// bits: frames * scale * 1000 <= 86400 * 1000 * rate < 2^59.
ClipTimeline::ClipTimeline(FrameRate rate, size_t frameCount)
    : rate_(rate.rate), scale_(rate.scale), frameCount_(frameCount) {}

size_t ClipTimeline::FrameDueAt(uint64_t elapsedMs) const {
    if (elapsedMs >= DurationMs()) {
        return static_cast<size_t>(frameCount_ - 1);
    }
    return static_cast<size_t>(elapsedMs * rate_ / (scale_ * 1000));
}

std::optional<uint64_t> ClipTimeline::MsUntilNextFrame(uint64_t elapsedMs) const {
    const uint64_t next = FrameDueAt(elapsedMs) + 1;
    if (next >= frameCount_) {
        return std::nullopt;
    }
    return StartOfFrameMs(next) - elapsedMs;
}

// Rounded up, so that at the returned time the frame is really due.
uint64_t ClipTimeline::StartOfFrameMs(uint64_t frame) const {
    return (frame * scale_ * 1000 + rate_ - 1) / rate_;
}

}  // namespace clip

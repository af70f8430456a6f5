#include "clip_player.h"

namespace clip {

ClipPlayer::ClipPlayer(const AviClip& clip)
    : timeline_(clip.Rate(), clip.FrameCount()), decoder_(clip) {
    FrameDecoder::CheckAllFrames(clip);
    decoder_.AdvanceTo(0);
}

bool ClipPlayer::ShowFrameDueAt(uint64_t elapsedMs) {
    const size_t due = timeline_.FrameDueAt(elapsedMs);
    if (due == decoder_.CurrentFrame()) {
        return false;
    }
    decoder_.AdvanceTo(due);
    return true;
}

}  // namespace clip

#include "clip_player.h"

namespace clip {

ClipPlayer::ClipPlayer(const AviClip& clip)
    : timeline_(clip.Rate(), clip.FrameCount()), decoder_(clip) {
    Show(0);
}

bool ClipPlayer::ShowFrameDueAt(uint64_t elapsedMs) {
    const size_t due = timeline_.FrameDueAt(elapsedMs);
    if (due == decoder_.CurrentFrame()) {
        return false;
    }
    Show(due);
    return true;
}

// The frames were checked: decoding them cannot fail.
void ClipPlayer::Show(size_t index) {
    [[maybe_unused]] const base::Fault checked = decoder_.AdvanceTo(index);
}

}  // namespace clip

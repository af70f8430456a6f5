#include "animation.h"

#include "form.h"

namespace forms {
namespace {

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace

AnimationError::AnimationError(const std::wstring& fileName, const std::string& reason)
    : base::Error("The clip \"" + Narrow(fileName) + "\" cannot be played: " + reason + ".") {}

Animation::Animation(const Control& control, FormHost& host, FormSystem& system, int timerId)
    : control_(control), host_(host), system_(system), timerId_(timerId) {}

void Animation::Open(const std::wstring& fileName) {
    try {
        bytes_ = system_.ReadFile(fileName);
        clip_.emplace(clip::AviClip::Parse(bytes_));
        player_.emplace(*clip_);
    } catch (const std::exception& error) {
        player_.reset();
        clip_.reset();
        throw AnimationError(fileName, error.what());
    }
    host_.Invalidate(control_.Design().rect);
}

void Animation::PlayOnce() {
    if (!player_) {
        return;
    }
    startMs_ = system_.NowMs();
    ScheduleNextFrame(0);
}

void Animation::TimerFired() {
    const uint64_t elapsed = system_.NowMs() - startMs_;
    if (player_->ShowFrameDueAt(elapsed)) {
        host_.Invalidate(control_.Design().rect);
    }
    ScheduleNextFrame(elapsed);
}

// One timer tick a frame, aimed at the frame's own start time, so late ticks never add up.
void Animation::ScheduleNextFrame(uint64_t elapsedMs) {
    const std::optional<uint64_t> wait = player_->MsUntilNextFrame(elapsedMs);
    if (wait) {
        host_.StartTimer(timerId_, static_cast<unsigned>(std::min<uint64_t>(*wait, 0x7FFFFFFF)));
    } else {
        host_.StopTimer(timerId_);
    }
}

}  // namespace forms

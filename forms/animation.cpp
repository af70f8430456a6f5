#include "animation.h"

#include <algorithm>

#include "form.h"
#include "sentence.h"
#include "text_ids.h"

namespace forms {
namespace {

// The RIFF header, which leads to the rest.
constexpr size_t kFirstRead = 12;
// Frames come in pieces of this size, one a timer tick, so the window answers in between.
constexpr size_t kFramesRead = 64 * 1024;

}  // namespace

Animation::Animation(const Control& control, Form& form, FormSystem& system, int timerId)
    : control_(control), form_(form), system_(system), timerId_(timerId) {}

void Animation::Open(const std::wstring& fileName) {
    player_.reset();
    clip_.reset();
    bytes_.clear();
    if (base::Fault fault = ReadHeader(fileName)) {
        file_.reset();
        bytes_.clear();
        form_.Fail(base::Error(base::Sentence(system_.Text(texts::kClipRefused),
                                              {base::Utf8(fileName), fault->what()})));
        return;
    }
    form_.Host().StartTimer(timerId_, 0);
    form_.Host().Invalidate(form_.RectOf(control_));
}

base::Fault Animation::ReadHeader(const std::wstring& fileName) {
    base::Result<std::unique_ptr<FileReader>> opened = system_.OpenFile(fileName);
    if (!opened) {
        return opened.error();
    }
    file_ = std::move(*opened);
    const uint64_t size = file_->Size();
    size_t needed = static_cast<size_t>(std::min<uint64_t>(size, kFirstRead));
    // Where it goes wrong inside the file is for a developer: the user learns it is damaged.
    const auto damaged = [this] {
        return base::Error(base::Utf8(system_.Text(texts::kClipDamaged)));
    };
    for (;;) {
        const size_t before = bytes_.size();
        if (base::Fault fault = file_->ReadMore(bytes_, needed - before)) {
            return fault;
        }
        if (bytes_.size() == before && needed > before) {
            return damaged();  // it ends before its headers
        }
        const auto read = clip::AviClip::ReadHeader(bytes_, size, needed);
        if (!read) {
            return damaged();
        }
        if (*read) {
            clipBytes_ = (*read)->fileBytes;
            bytes_.reserve(clipBytes_);  // room for the whole clip: the frames never reallocate it
            return std::nullopt;
        }
    }
}

void Animation::PlayOnce() {
    playWanted_ = true;
    if (player_) {
        Start();
    }
}

void Animation::TimerFired() {
    if (file_) {
        ReadFrames();
        return;
    }
    if (!player_) {
        form_.Host().StopTimer(timerId_);
        return;
    }
    const uint64_t elapsed = system_.NowMs() - startMs_;
    if (player_->ShowFrameDueAt(elapsed)) {
        form_.Host().Invalidate(form_.RectOf(control_));
    }
    ScheduleNextFrame(elapsed);
}

// On from where the headers ended, to the clip's end. A read that fails ends the reading:
// the clip then plays what came before it.
void Animation::ReadFrames() {
    const size_t before = bytes_.size();
    if (before < clipBytes_) {
        const bool failed =
            file_->ReadMore(bytes_, std::min(kFramesRead, clipBytes_ - before)).has_value() ||
            bytes_.size() == before;
        if (!failed && bytes_.size() < clipBytes_) {
            return;  // more on the next tick
        }
    }
    file_.reset();
    form_.Host().StopTimer(timerId_);
    base::Result<clip::AviClip> playable = clip::PlayableClip(bytes_);
    if (!playable || playable->FrameCount() == 0) {
        return;  // the square stays as it is
    }
    clip_.emplace(std::move(*playable));
    player_.emplace(*clip_);
    form_.Host().Invalidate(form_.RectOf(control_));
    if (playWanted_) {
        Start();
    }
}

// With animation effects off the clip shows no motion: it rests on its last frame at once,
// the picture it would have stopped on, and its square changes only the once.
void Animation::Start() {
    if (!form_.Settings().animation) {
        player_->ShowFrameDueAt(UINT64_MAX);
        form_.Host().Invalidate(form_.RectOf(control_));
        form_.Host().StopTimer(timerId_);
        return;
    }
    startMs_ = system_.NowMs();
    ScheduleNextFrame(0);
}

// One timer tick a frame, aimed at the frame's own start time, so late ticks never add up.
void Animation::ScheduleNextFrame(uint64_t elapsedMs) {
    const std::optional<uint64_t> wait = player_->MsUntilNextFrame(elapsedMs);
    if (wait) {
        form_.Host().StartTimer(timerId_,
                                static_cast<unsigned>(std::min<uint64_t>(*wait, 0x7FFFFFFF)));
    } else {
        form_.Host().StopTimer(timerId_);
    }
}

}  // namespace forms

// The animation control: opens a silent clip by file name and plays it once on the
// window's own thread, one timer tick a frame.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "clip_player.h"
#include "form_host.h"
#include "form_system.h"

namespace forms {

class Control;

// Names the clip and why it cannot be played.
class AnimationError : public base::Error {
  public:
    AnimationError(const std::wstring& fileName, const std::string& reason);
};

class Animation {
  public:
    Animation(const Control& control, FormHost& host, FormSystem& system, int timerId);
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    void Open(const std::wstring& fileName);  // throws AnimationError
    void PlayOnce();
    void TimerFired();

    // The frame on show, or nothing before a clip is open.
    const clip::FrameDecoder* Picture() const { return player_ ? &player_->Picture() : nullptr; }
    int TimerId() const { return timerId_; }

  private:
    void ScheduleNextFrame(uint64_t elapsedMs);

    const Control& control_;
    FormHost& host_;
    FormSystem& system_;
    int timerId_;
    // The player views the clip, which views the bytes: all three live and die together.
    std::vector<uint8_t> bytes_;
    std::optional<clip::AviClip> clip_;
    std::optional<clip::ClipPlayer> player_;
    uint64_t startMs_ = 0;
};

}  // namespace forms

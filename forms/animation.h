// The animation control: opens a silent clip by file name and plays it once on the
// window's own thread, one timer tick a frame.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "clip_player.h"
#include "form_system.h"

namespace forms {

class Control;
class Form;

class Animation {
  public:
    Animation(const Control& control, Form& form, FormSystem& system, int timerId);
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    // Reads the clip's headers; a clip that cannot be played fails the form, naming the clip
    // and why.
    // Its frames are read on the control's timer, after the window has painted, so the
    // window shows without waiting for them.
    void Open(const std::wstring& fileName);
    // Plays from the first frame once the frames are in.
    void PlayOnce();
    void TimerFired();

    // The frame on show, or nothing before the frames are in or where none can be shown.
    const clip::FrameDecoder* Picture() const { return player_ ? &player_->Picture() : nullptr; }
    int TimerId() const { return timerId_; }

  private:
    base::Fault ReadHeader(const std::wstring& fileName);
    void ReadFrames();
    void Start();
    void ScheduleNextFrame(uint64_t elapsedMs);

    const Control& control_;
    Form& form_;  // its window, and where a refused clip goes
    FormSystem& system_;
    int timerId_;
    // Open while the frames are read: the whole clip comes into memory, so a disc taken out
    // during playing cannot fault the program.
    std::unique_ptr<FileReader> file_;
    size_t clipBytes_ = 0;
    bool playWanted_ = false;
    // The player views the clip, which views the bytes: all three live and die together.
    std::vector<uint8_t> bytes_;
    std::optional<clip::AviClip> clip_;
    std::optional<clip::ClipPlayer> player_;
    uint64_t startMs_ = 0;
};

}  // namespace forms

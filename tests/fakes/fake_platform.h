// A window and an operating system that record what the code under test asks of
// them, in one shared log, so tests can check the order of visible steps.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "form.h"
#include "launcher.h"
#include "text_ids.h"

namespace fake {

// ASCII as it is, any other character as \u and four hex digits.
inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            char escaped[12];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}

class FakeHost : public forms::FormHost {
  public:
    explicit FakeHost(std::vector<std::string>& log) : log_(log) {}

    void Invalidate(const forms::Rect& area) override { invalidated.push_back(area); }
    void Announce(const forms::Control& control, forms::Change change) override {
        const char* kinds[] = {"show", "state", "name", "focus"};
        told.push_back(std::string(kinds[static_cast<int>(change)]) + " " +
                       std::string(control.Name()));
    }
    void MoveWindow(int left, int top) override {
        log_.push_back("move " + std::to_string(left) + "," + std::to_string(top));
    }
    void HideWindow() override { log_.push_back("hide"); }
    void PrintText(const std::wstring& text) override { log_.push_back("print " + Narrow(text)); }
    void ShowMessage(const std::wstring& text, const std::wstring& title, forms::MessageIcon icon,
                     forms::Reading reading) override {
        const char* kinds[] = {"box", "exclamation"};
        const bool fromRight = reading == forms::Reading::RightToLeft;
        log_.push_back(std::string(kinds[static_cast<int>(icon)]) + (fromRight ? " rtl" : "") +
                       " [" + Narrow(title) + "] " + Narrow(text));
    }
    void StartTimer(int id, unsigned intervalMs) override { timers[id] = intervalMs; }
    void StopTimer(int id) override { timers.erase(id); }
    void EndProgram() override { log_.push_back("end"); }
    void UpdateChild(const forms::Control& control) override {
        updated.emplace_back(control.Name());
    }
    void FocusChild(const forms::Control& control) override { focused = control.Name(); }
    std::string_view FocusedChild() override { return focused; }

    std::vector<forms::Rect> invalidated;
    std::vector<std::string> told;  // what a screen reader heard of, as "focus Label8"
    std::map<int, unsigned> timers;
    std::vector<std::string> updated;  // push buttons whose window was brought up to date
    std::string_view focused;

  private:
    std::vector<std::string>& log_;
};

class FakeSystem;

// Reads a file of the fake system, noting each read there.
class FakeFileReader : public forms::FileReader {
  public:
    FakeFileReader(const std::vector<uint8_t>& file, FakeSystem& system)
        : file_(file), system_(system) {}

    uint64_t Size() const override { return file_.size(); }
    base::Fault ReadMore(std::vector<uint8_t>& bytes, size_t count) override;

  private:
    const std::vector<uint8_t>& file_;
    FakeSystem& system_;
    size_t at_ = 0;
};

class FakeSystem : public launcher::System {
  public:
    explicit FakeSystem(std::vector<std::string>& log) : log_(log) {}

    uint64_t NowMs() override { return now; }
    // English, the language of the design's own words, but for the texts another language
    // gives in `spoken`.
    std::wstring_view Text(int id) override {
        static const std::map<int, std::wstring_view> english{
#include "english_texts.inc"
        };
        if (const auto given = spoken.find(id); given != spoken.end()) {
            return given->second;
        }
        const auto found = english.find(id);
        return found != english.end() ? found->second : std::wstring_view{};
    }
    base::Result<std::unique_ptr<forms::FileReader>> OpenFile(const std::wstring& name) override {
        log_.push_back("read " + Narrow(name));
        const auto found = files.find(name);
        if (found == files.end()) {
            return base::Error("the file cannot be opened: The system cannot find the file");
        }
        return std::unique_ptr<forms::FileReader>(
            std::make_unique<FakeFileReader>(found->second, *this));
    }
    std::optional<std::wstring> CurrentDirectory() override {
        return currentDirectory;
    }
    bool ChangeDirectory(const std::wstring& directory) override {
        log_.push_back("cd " + Narrow(directory));
        if (canChangeDirectory) {
            currentDirectory = directory;
        }
        return canChangeDirectory;
    }
    std::optional<std::wstring> ProgramFolder() override {
        return programFolder;
    }
    launcher::ScreenSize PrimaryScreen() override {
        return screen;
    }
    launcher::DirectStart StartDirectly(const std::wstring& path,
                                        launcher::Handover handover) override {
        Started("start ", path, handover);
        return directStart;
    }
    launcher::StartResult StartThroughShell(const std::wstring& path,
                                            launcher::Handover handover) override {
        Started("shell start ", path, handover);
        return shellStart;
    }

    // Another front end holds the guard until `otherHoldsGuardUntil` and shows its window
    // from `otherShowsFrom` on; a program the front end is handed on to holds it regardless.
    bool TakeFrontEndGuard(launcher::Handover handover) override {
        if (now < otherHoldsGuardUntil && handover == launcher::Handover::None) {
            return false;
        }
        log_.push_back("guard taken");
        return true;
    }
    void LetGoOfFrontEndGuard() override {
        log_.push_back("guard let go");
    }
    bool ShowOtherFrontEnd() override {
        if (now < otherShowsFrom) {
            return false;
        }
        log_.push_back("other front end shown");
        return true;
    }
    void Pause(unsigned ms) override {
        now += ms;
    }

    uint64_t now = 0;
    std::map<int, std::wstring> spoken;
    std::map<std::wstring, std::vector<uint8_t>> files;
    size_t readsFailFrom =
        SIZE_MAX;  // the offset where reading any file fails, as a disc taken out
    std::vector<std::pair<size_t, size_t>> reads;  // offset and length of every read
    std::optional<std::wstring> currentDirectory = L"D:\\";
    std::optional<std::wstring> programFolder = L"D:\\";
    bool canChangeDirectory = true;
    launcher::ScreenSize screen{1024, 768};
    launcher::DirectStart directStart = launcher::DirectStart::Started;
    launcher::StartResult shellStart = launcher::StartResult::Started;  // after elevation asked
    std::function<void()> duringStart;
    uint64_t otherHoldsGuardUntil = 0;
    uint64_t otherShowsFrom = UINT64_MAX;

  private:
    void Started(const char* how, const std::wstring& path, launcher::Handover handover) {
        const bool handingOn = handover == launcher::Handover::FrontEnd;
        log_.push_back(how + Narrow(path) + (handingOn ? " handing on the front end" : ""));
        if (duringStart) {
            duringStart();  // what the start lets through, such as a second click
        }
    }

    std::vector<std::string>& log_;
};

inline base::Fault FakeFileReader::ReadMore(std::vector<uint8_t>& bytes, size_t count) {
    const size_t end = std::min(file_.size(), at_ + count);
    const size_t readable = std::max(at_, std::min(end, system_.readsFailFrom));
    system_.reads.emplace_back(at_, readable - at_);
    bytes.insert(bytes.end(), file_.begin() + static_cast<std::ptrdiff_t>(at_),
                 file_.begin() + static_cast<std::ptrdiff_t>(readable));
    at_ = readable;
    if (readable < end) {
        return base::Error("the file cannot be read: The device is not ready");
    }
    return std::nullopt;
}

}  // namespace fake

#include "frm_splash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "accessibility.h"
#include "fake_platform.h"
#include "results.h"
#include "varnok_clip.h"

namespace {

using Log = std::vector<std::string>;

// Points of the splash window's client area.
constexpr int kLabelX = 436, kLabelY = 440;    // "Continue"
constexpr int kMarginX = 436, kMarginY = 428;  // the highlight above the label
constexpr int kBackgroundX = 550, kBackgroundY = 440;
constexpr int kPanelX = 100, kPanelY = 200;  // the side panel picture
constexpr int kClipX = 400, kClipY = 200;    // the clip square
constexpr int kPatchX = 100, kPatchY = 440;  // the patch, over the side panel

class Splash : public testing::Test {
  protected:
    Splash() : host_(log_), system_(log_), form_(design_, host_, system_), splash_(form_, system_) {
        system_.files[L"Varnok.avi"] = clipmaker::MakeVarnokClip();
    }

    void LoadAndReveal() {
        form_.Load();
        form_.TimerFired(Timer1());
        log_.clear();
    }

    // Timer1 is the window's only 2.5-second timer.
    int Timer1() const {
        for (const auto& [id, interval] : host_.timers) {
            if (interval == 2500) {
                return id;
            }
        }
        return -1;
    }

    void Click(int x, int y) {
        form_.ButtonPressed(x, y);
        form_.ButtonReleased(x, y);
    }

    bool Highlighted() const { return form_["Shape3"].Visible(); }

    Log log_;
    fake::FakeHost host_;
    fake::FakeSystem system_;
    const forms::FormDesign design_ = setup::SplashDesign(system_);
    forms::Form form_;
    setup::FrmSplash splash_;
};

TEST_F(Splash, LoadKeepsTheInstallRootCentresAndPlaysTheClip) {
    form_.Load();
    EXPECT_EQ(splash_.CurrentDir, L"D:");
    EXPECT_EQ(form_["Text1"].Text(), L"D:");
    EXPECT_EQ(form_["Text2"].Text(), L"Text2");
    EXPECT_EQ(log_, (Log{"move 192,144", "read Varnok.avi"}));
    const forms::Animation& clip = form_.AnimationOf("aniAVI");
    EXPECT_EQ(clip.Picture(), nullptr);  // the frames come after the window shows
    for (int tick = 0; tick < 10 && !clip.Picture(); ++tick) {
        form_.TimerFired(clip.TimerId());
    }
    ASSERT_NE(clip.Picture(), nullptr);
    EXPECT_EQ(clip.Picture()->CurrentFrame(), 0u);
    EXPECT_EQ(host_.timers.count(clip.TimerId()), 1u);
    EXPECT_FALSE(form_["Label8"].Visible());
    EXPECT_FALSE(Highlighted());
    EXPECT_EQ(host_.timers.at(Timer1()), 2500u);
}

// With animation effects off the square changes once, from white to the clip's last frame,
// and no frame timer runs; "Continue" still comes with Timer1.
TEST_F(Splash, WithoutAnimationEffectsTheClipRestsOnItsLastFrame) {
    form_.SetSettings({.animation = false});
    form_.Load();
    const forms::Animation& clip = form_.AnimationOf("aniAVI");
    for (int tick = 0; tick < 10 && !clip.Picture(); ++tick) {
        form_.TimerFired(clip.TimerId());
    }
    // The tick that brought the frames in also moved to the last: no paint came between.
    ASSERT_NE(clip.Picture(), nullptr);
    EXPECT_EQ(clip.Picture()->CurrentFrame(), static_cast<size_t>(clipmaker::kClipFrames - 1));
    EXPECT_EQ(host_.timers.count(clip.TimerId()), 0u);
    EXPECT_EQ(host_.timers.at(Timer1()), 2500u);
}

// In a contrast theme every fixed colour gives way to the theme's: the white background to
// the window's, "Continue" to a link's, and under the pointer the yellow highlight to the
// selection's, with the label's text in the selection's text colour.
TEST_F(Splash, AContrastThemeTakesThePlaceOfEveryFixedColour) {
    using forms::Colour;
    const auto is = [](Colour a, Colour b) {
        return a.value == b.value && a.fromScheme == b.fromScheme;
    };
    form_.SetSettings({.highContrast = true});
    LoadAndReveal();
    EXPECT_TRUE(is(forms::ShownBackColour(form_), forms::kWindowBackground));
    EXPECT_TRUE(is(forms::ShownBackColour(form_, form_["aniAVI"]), forms::kWindowBackground));
    EXPECT_TRUE(is(forms::ShownForeColour(form_, form_["Label8"]), forms::kHotLight));
    form_.MouseMoved(kLabelX, kLabelY);
    ASSERT_TRUE(Highlighted());
    EXPECT_TRUE(is(forms::ShownBackColour(form_, form_["Shape3"]), forms::kHighlight));
    EXPECT_TRUE(is(forms::ShownForeColour(form_, form_["Label8"]), forms::kHighlightText));
    form_.SetSettings({});
    EXPECT_TRUE(is(forms::ShownForeColour(form_, form_["Label8"]), Colour::Rgb(0x0000C0)));
}

TEST_F(Splash, AMissingClipFailsTheLoad) {
    system_.files.clear();
    form_.Load();
    EXPECT_TRUE(form_.Ended());
    EXPECT_NE(fake::ErrorOf(form_.Failure()).find("The clip \"Varnok.avi\" cannot be played"),
              std::string::npos);
    EXPECT_TRUE(host_.timers.empty()) << "Timer1 started after the failed load";
}

TEST_F(Splash, ContinueAppearsOnlyWithTheTimer) {
    form_.Load();
    Click(kLabelX, kLabelY);  // before 2.5 s: the hidden label takes no click
    form_.MouseMoved(kLabelX, kLabelY);
    EXPECT_FALSE(Highlighted());
    EXPECT_EQ(log_, (Log{"move 192,144", "read Varnok.avi"}));
    form_.TimerFired(Timer1());
    EXPECT_TRUE(form_["Label8"].Visible());
    form_.TimerFired(Timer1());  // later ticks change nothing
    EXPECT_TRUE(form_["Label8"].Visible());
}

TEST_F(Splash, TheHighlightFollowsThePointer) {
    LoadAndReveal();
    form_.MouseMoved(kLabelX, kLabelY);
    EXPECT_TRUE(Highlighted());
    form_.MouseMoved(kMarginX, kMarginY);  // the ellipse's own margin is background
    EXPECT_FALSE(Highlighted());
    form_.MouseMoved(kLabelX, kLabelY);
    form_.MouseMoved(kClipX, kClipY);  // straight onto the clip: it stays
    EXPECT_TRUE(Highlighted());
    form_.MouseMoved(kPanelX, kPanelY);  // onto a picture: it stays
    EXPECT_TRUE(Highlighted());
    form_.MouseMoved(kPatchX, kPatchY);  // the patch over the panel counts as background
    EXPECT_FALSE(Highlighted());
    form_.MouseMoved(kLabelX, kLabelY);
    form_.MouseMoved(kBackgroundX, kBackgroundY);
    EXPECT_FALSE(Highlighted());
}

TEST_F(Splash, ClickingContinueStartsTourletAndEnds) {
    LoadAndReveal();
    Click(kLabelX, kLabelY);
    EXPECT_EQ(form_["Text2"].Text(), L"D:\\Tourlet.exe");
    EXPECT_EQ(log_, (Log{"print D:\\Tourlet.exe", "start D:\\Tourlet.exe handing on the front end",
                         "end"}));
    EXPECT_TRUE(form_.Ended());
}

TEST_F(Splash, AFailedStartHidesTellsAndEnds) {
    system_.currentDirectory = L"E:\\CDCOPY";
    system_.directStart = launcher::DirectStart::Failed;
    LoadAndReveal();
    Click(kLabelX, kLabelY);
    EXPECT_EQ(log_, (Log{"print E:\\CDCOPY\\Tourlet.exe",
                         "start E:\\CDCOPY\\Tourlet.exe handing on the front end", "hide",
                         "exclamation [Fatal Error] Error 101 - Run  d:\\VARNOK\\Setup.exe  "
                         "where  'd' is your CDROM drive",
                         "box [Pelmor's VARNOK] E:\\CDCOPY\\Tourlet.exe", "end"}));
}

// The splash keeps its pictures' order in every language, but an Arabic sentence in its boxes
// reads from the right.
// The command stays left to right inside a box read from the right (embedded, LRE to PDF),
// or a path's backslashes would take the paragraph's direction.
TEST_F(Splash, BoxesReadAsTheLanguageDoesThoughTheWindowIsNotMirrored) {
    system_.spoken[texts::kLayout] = L"RTL";
    system_.directStart = launcher::DirectStart::Failed;
    LoadAndReveal();
    Click(kLabelX, kLabelY);
    EXPECT_FALSE(design_.rightToLeft);
    Log boxes;
    std::copy_if(log_.begin(), log_.end(), std::back_inserter(boxes),
                 [](const std::string& line) { return line.find(" [") != std::string::npos; });
    EXPECT_EQ(boxes, (Log{"exclamation rtl [Fatal Error] Error 101 - Run  d:\\VARNOK\\Setup.exe  "
                          "where  'd' is your CDROM drive",
                          "box rtl [Pelmor's VARNOK] \\u202aD:\\Tourlet.exe\\u202c"}));
}

TEST_F(Splash, ClicksElsewhereDoNothing) {
    LoadAndReveal();
    for (auto [x, y] : {std::pair{kPanelX, kPanelY},
                        {kClipX, kClipY},
                        {kBackgroundX, kBackgroundY},
                        {kMarginX, kMarginY},
                        {kPatchX, kPatchY}}) {
        Click(x, y);
    }
    EXPECT_TRUE(log_.empty());
    EXPECT_FALSE(form_.Ended());
}

// Labels take no focus: Enter and Space press "Continue" once it shows, and nothing before.
TEST_F(Splash, EnterAndSpacePressContinueOnlyOnceItShows) {
    for (const forms::Key key : {forms::Key::Enter, forms::Key::Space}) {
        Log log;
        fake::FakeHost host(log);
        fake::FakeSystem system(log);
        system.files[L"Varnok.avi"] = clipmaker::MakeVarnokClip();
        const forms::FormDesign design = setup::SplashDesign(system);
        forms::Form form(design, host, system);
        setup::FrmSplash splash(form, system);
        form.Load();
        EXPECT_TRUE(form.KeyPressed(key, false));
        EXPECT_EQ(log, (Log{"move 192,144", "read Varnok.avi"})) << "before Continue shows";
        for (const auto& [id, interval] : std::map(host.timers)) {
            if (interval == 2500) {
                form.TimerFired(id);
            }
        }
        log.clear();
        EXPECT_TRUE(form.KeyPressed(key, false));
        EXPECT_EQ(log, (Log{"print D:\\Tourlet.exe",
                            "start D:\\Tourlet.exe handing on the front end", "end"}));
    }
}

// What a screen reader is told, in reading order; "Continue" only once it shows, as a button.
TEST_F(Splash, ScreenReadersFindThePicturesTheClipAndThenContinue) {
    using forms::AccessibleRole;
    const auto described = [this] {
        std::vector<std::pair<std::wstring, AccessibleRole>> out;
        for (const auto& element : forms::AccessibleElements(form_)) {
            out.emplace_back(element.name, element.role);
        }
        return out;
    };
    using Described = std::vector<std::pair<std::wstring, AccessibleRole>>;
    const Described pictures{{L"Pelmor banner", AccessibleRole::Graphic},
                             {L"Pelmor's VARNOK title and notices", AccessibleRole::Graphic},
                             {L"VARNOK animation", AccessibleRole::Animation}};
    form_.Load();
    EXPECT_EQ(described(), pictures);
    form_.TimerFired(Timer1());
    Described withContinue = pictures;
    withContinue.emplace_back(L"Continue", AccessibleRole::PushButton);
    EXPECT_EQ(described(), withContinue);
}

// A screen reader says "Continue" as it appears: it takes the focus no push button holds.
// Its focus rectangle waits for the first key, as Windows' own do after a start by mouse.
TEST_F(Splash, ContinueTakesTheFocusAsItAppearsAndDrawsItFromTheFirstKey) {
    form_.Load();
    EXPECT_EQ(form_.FocusedLabel(), nullptr);
    form_.TimerFired(Timer1());
    EXPECT_EQ(host_.told, (std::vector<std::string>{"show Label8", "focus Label8"}));
    EXPECT_EQ(form_.FocusedLabel(), &form_["Label8"]);
    EXPECT_FALSE(form_.ShowsFocusCue());
    host_.invalidated.clear();
    form_.KeyWentDown();
    EXPECT_TRUE(form_.ShowsFocusCue());
    EXPECT_EQ(host_.invalidated, (std::vector<forms::Rect>{form_.RectOf(form_["Label8"])}));
}

}  // namespace

#include "form.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "font_face.h"
#include "results.h"
#include "sample_clips.h"
#include "varnok_clip.h"

namespace {

using forms::Event;
using forms::Kind;
using Log = std::vector<std::string>;

// Overlapping controls of every kind, in design order (front to back).
const forms::FormDesign kDesign{
    .name = "Window",
    .clientWidth = 200,
    .clientHeight = 100,
    .controls = {
        {.name = "Box", .kind = Kind::TextBox, .rect = {0, 0, 20, 20}, .visible = false},
        {.name = "Tick", .kind = Kind::Timer, .intervalMs = 500},
        {.name = "Still", .kind = Kind::Timer, .enabled = false, .intervalMs = 100},
        {.name = "Movie", .kind = Kind::Animation, .rect = {100, 0, 50, 50}},
        {.name = "Patch", .kind = Kind::Shape, .rect = {0, 55, 40, 10}},
        {.name = "Picture", .kind = Kind::Image, .rect = {0, 0, 60, 60}},
        {.name = "Caption", .kind = Kind::Label, .rect = {40, 40, 30, 10}},
        {.name = "Ring", .kind = Kind::Shape, .rect = {120, 40, 50, 30}, .visible = false},
    }};

class FormEvents : public testing::Test {
  protected:
    FormEvents() : host_(log_), system_(log_), form_(kDesign, host_, system_) {
        for (const char* target : {"Window", "Picture", "Caption", "Movie", "Patch", "Ring"}) {
            form_.On(target, Event::MouseMove, [this, target] { heard_.push_back(target); });
            form_.On(target, Event::Click,
                     [this, target] { heard_.push_back(std::string("click ") + target); });
        }
    }

    Log log_;
    Log heard_;
    fake::FakeHost host_;
    fake::FakeSystem system_;
    forms::Form form_;
};

TEST_F(FormEvents, ShapesCountAsBackgroundAndHiddenControlsLetTheMouseThrough) {
    form_.MouseMoved(10, 57);   // the shape "Patch" over the picture: the window's background
    form_.MouseMoved(150, 50);  // the hidden shape "Ring"
    form_["Ring"].SetVisible(true);
    form_.MouseMoved(150, 50);  // a shown shape over nothing: the background too
    form_.MouseMoved(10, 10);   // the picture, under the hidden text box
    form_.MouseMoved(45, 45);   // the label over the picture? no: the picture is in front
    form_.MouseMoved(65, 45);   // the label alone
    form_.MouseMoved(100, 20);  // the animation
    EXPECT_EQ(heard_,
              (Log{"Window", "Window", "Window", "Picture", "Picture", "Caption", "Movie"}));
}

// One rounding rule, half away from zero; edges scale, so what touches keeps touching.
TEST(DesignScale, ScalesByDpiOver96) {
    const struct {
        int value, dpi, scaled;
    } cases[] = {{0, 144, 0},     {1, 96, 1},      {1, 120, 1},     {1, 144, 2},   {1, 192, 2},
                 {2, 120, 3},     {3, 120, 4},     {-1, 144, -2},   {-3, 120, -4}, {632, 144, 948},
                 {459, 144, 689}, {469, 120, 586}, {329, 144, 494}, {13, 168, 23}};
    for (const auto& c : cases) {
        EXPECT_EQ(forms::Scale(c.value, c.dpi), c.scaled) << c.value << " at " << c.dpi;
    }
    const forms::Rect back{200, 296, 81, 25};  // Back reaches into Next's first column
    EXPECT_EQ(forms::Scale(back, 144), (forms::Rect{300, 444, 122, 38}));
    EXPECT_EQ(forms::Scale(back, 96), back);
    EXPECT_EQ(forms::Scale(forms::Rect{280, 296, 81, 25}, 144).left, 420);
    for (const int dpi : {120, 144}) {  // a box and its neighbours to the right and below
        const forms::Rect box = forms::Scale(forms::Rect{1, 1, 1, 1}, dpi);
        const forms::Rect neighbour = forms::Scale(forms::Rect{2, 2, 1, 1}, dpi);
        EXPECT_EQ(box.Right(), neighbour.left) << dpi;
        EXPECT_EQ(box.Bottom(), neighbour.top) << dpi;
    }
}

// The first face of the design's list that the system has; off 96 dpi MS Sans Serif's
// scalable twin; a stand-in where none is there.
TEST(Faces, TheFirstInstalledOfTheListIsUsed) {
    const struct {
        const wchar_t* faces;
        int dpi;
        std::vector<std::wstring_view> installed;
        const wchar_t* chosen;
    } cases[] = {
        {L"Microsoft YaHei UI, Microsoft YaHei",
         96,
         {L"Microsoft YaHei", L"Microsoft YaHei UI"},
         L"Microsoft YaHei UI"},
        {L"Microsoft YaHei UI, Microsoft YaHei",
         96,
         {L"Microsoft YaHei", L"SimSun"},
         L"Microsoft YaHei"},  // Windows 7
        {L"MS Sans Serif", 96, {L"MS Sans Serif", L"Microsoft Sans Serif"}, L"MS Sans Serif"},
        {L"MS Sans Serif",
         144,
         {L"MS Sans Serif", L"Microsoft Sans Serif"},
         L"Microsoft Sans Serif"},
        {L"Segoe UI", 96, {L"Liberation Sans"}, L"Liberation Sans"},
        {L"Segoe UI", 96, {}, L""},
    };
    for (const auto& c : cases) {
        const auto installed = [&c](std::wstring_view face) {
            return std::find(c.installed.begin(), c.installed.end(), face) != c.installed.end();
        };
        EXPECT_EQ(forms::ChooseFace(c.faces, c.dpi, installed), std::wstring_view(c.chosen))
            << fake::Narrow(c.faces) << " at " << c.dpi;
    }
}

TEST_F(FormEvents, HitsAndRepaintsTheScaledRectangles) {
    form_.SetDpi(192);
    form_.MouseMoved(130, 85);  // the label's (40, 40, 30, 10) at twice the size
    form_["Caption"].SetVisible(false);
    EXPECT_EQ(heard_, Log{"Caption"});
    EXPECT_EQ(host_.invalidated, (std::vector<forms::Rect>{{80, 80, 60, 20}}));
}

TEST_F(FormEvents, AClickIsAPressAndAReleaseOnTheSameControl) {
    form_.ButtonPressed(65, 45);
    form_.ButtonReleased(66, 46);
    form_.ButtonPressed(65, 45);
    form_.ButtonReleased(150, 90);  // slid off onto the background
    form_.ButtonReleased(65, 45);   // a release without a press
    EXPECT_EQ(heard_, (Log{"click Caption"}));
}

TEST_F(FormEvents, PaintsWindowlessBackToFrontThenWindowed) {
    form_["Ring"].SetVisible(true);
    std::vector<std::string_view> names;
    for (const forms::Control* control : form_.PaintOrder()) {
        names.push_back(control->Name());
    }
    EXPECT_EQ(names,
              (std::vector<std::string_view>{"Ring", "Caption", "Picture", "Patch", "Movie"}));
}

TEST_F(FormEvents, StartsEnabledTimersBeforeTheLoadHandlerRuns) {
    form_.On("Window", Event::Load, [this] {
        heard_.push_back("load with " + std::to_string(host_.timers.size()) + " timer");
    });
    form_.On("Tick", Event::Timer, [this] { heard_.push_back("tick"); });
    form_.Load();
    ASSERT_EQ(host_.timers.size(), 1u);
    const int tick = host_.timers.begin()->first;
    EXPECT_EQ(host_.timers.begin()->second, 500u);
    form_.TimerFired(tick);
    EXPECT_EQ(heard_, (Log{"load with 1 timer", "tick"}));
}

TEST_F(FormEvents, NothingReachesAHandlerAfterTheEnd) {
    form_.End();
    form_.MouseMoved(65, 45);
    form_.ButtonPressed(65, 45);
    form_.ButtonReleased(65, 45);
    EXPECT_TRUE(heard_.empty());
    EXPECT_EQ(log_, (Log{"end"}));
}

// An ending program whose last box still shows: no timer fires behind it, no input acts.
TEST_F(FormEvents, AStoppedFormRunsNothingAndDoesNotYetEnd) {
    form_.On("Tick", Event::Timer, [this] { heard_.push_back("tick"); });
    form_.Load();
    form_.Stop();
    EXPECT_TRUE(host_.timers.empty());
    form_.TimerFired(2);
    form_.MouseMoved(65, 45);
    form_.ButtonPressed(65, 45);
    form_.ButtonReleased(65, 45);
    EXPECT_TRUE(heard_.empty());
    EXPECT_EQ(log_, Log{});
}

TEST_F(FormEvents, ACloseDuringAClickWaitsForTheClickToEnd) {
    form_.On("Caption", Event::Click, [this] {
        form_.CloseRequested();  // as the elevation prompt's messages would let through
        heard_.push_back(form_.Ended() ? "ended in the click" : "click ran on");
    });
    form_.ButtonPressed(65, 45);
    form_.ButtonReleased(65, 45);
    EXPECT_EQ(heard_, Log{"click ran on"});
    EXPECT_EQ(log_, Log{"end"});
    forms::Form other(kDesign, host_, system_);
    other.CloseRequested();
    EXPECT_EQ(log_, (Log{"end", "end"}));
}

TEST_F(FormEvents, LeavingTheClientAreaIsAMoveOntoTheBackground) {
    form_.MouseMoved(65, 45);
    form_.MouseLeft();
    EXPECT_EQ(heard_, (Log{"Caption", "Window"}));
}

TEST_F(FormEvents, RepaintsAControlWhoseLookChanges) {
    form_["Caption"].SetVisible(false);
    form_["Caption"].SetVisible(false);  // no change, no repaint
    form_["Box"].SetText(L"hidden");     // a hidden control needs none either
    ASSERT_EQ(host_.invalidated.size(), 1u);
    EXPECT_EQ(host_.invalidated[0], (forms::Rect{40, 40, 30, 10}));
}

// A name the design lacks is a fault of the program: the form stops and keeps it to tell.
TEST_F(FormEvents, AMissingControlFailsTheForm) {
    form_["Nothing"].SetVisible(true);
    form_["Caption"].SetVisible(false);
    EXPECT_EQ(host_.invalidated.size(), 1u);  // the stand-in paints nothing
    EXPECT_TRUE(form_.Ended());
    EXPECT_EQ(fake::ErrorOf(form_.Failure()),
              "The program is damaged: its window Window has no Nothing.");
    form_.AnimationOf("Caption");  // the first failure is the one kept
    EXPECT_EQ(fake::ErrorOf(form_.Failure()),
              "The program is damaged: its window Window has no Nothing.");
}

class FormAnimation : public FormEvents {
  protected:
    void GiveClip(const std::string& sampleName) {
        const auto& layout = sample::SampleNamed(sampleName).layout;
        system_.files[L"clip.avi"] = clipmaker::WriteAvi(layout);
    }
    forms::Animation& Movie() { return form_.AnimationOf("Movie"); }
};

TEST_F(FormAnimation, PlaysOnceFrameByFrameOnItsTimer) {
    GiveClip("rle8");  // three frames at 15 a second
    Movie().Open(L"clip.avi");
    Movie().PlayOnce();
    EXPECT_EQ(Movie().Picture(), nullptr);  // the frames come after the window shows
    EXPECT_EQ(host_.timers.at(Movie().TimerId()), 0u);
    system_.now = 1000;
    form_.TimerFired(Movie().TimerId());
    ASSERT_NE(Movie().Picture(), nullptr);
    EXPECT_EQ(Movie().Picture()->CurrentFrame(), 0u);
    EXPECT_EQ(host_.timers.at(Movie().TimerId()), 67u);
    host_.invalidated.clear();
    system_.now = 1070;
    form_.TimerFired(Movie().TimerId());
    EXPECT_EQ(Movie().Picture()->CurrentFrame(), 1u);
    EXPECT_EQ(host_.invalidated, (std::vector<forms::Rect>{{100, 0, 50, 50}}));
    EXPECT_EQ(host_.timers.at(Movie().TimerId()), 64u);  // aimed at 133.3 ms, not 70 + 67
    system_.now = 1500;  // late: straight to the last frame, and the timer stops
    form_.TimerFired(Movie().TimerId());
    EXPECT_EQ(Movie().Picture()->CurrentFrame(), 2u);
    EXPECT_EQ(host_.timers.count(Movie().TimerId()), 0u);
}

// A tick taken from the queue before the form stopped, or by a message box's loop after.
TEST_F(FormAnimation, ATickAfterTheFormStoppedRunsNothing) {
    GiveClip("rle8");
    Movie().Open(L"clip.avi");
    Movie().PlayOnce();
    const size_t reads = system_.reads.size();
    form_.Stop();
    form_.TimerFired(Movie().TimerId());
    EXPECT_EQ(system_.reads.size(), reads);
    EXPECT_EQ(Movie().Picture(), nullptr);
    EXPECT_TRUE(host_.timers.empty());
}

// Before the window: the headers alone. After it: the rest, front to back, each byte once.
TEST_F(FormAnimation, ReadsTheHeadersFirstAndEveryByteOnceInOrder) {
    system_.files[L"clip.avi"] = clipmaker::MakeVarnokClip();
    const clipmaker::Bytes& bytes = system_.files[L"clip.avi"];
    const std::string movi = "movi";
    const auto movie = std::search(bytes.begin(), bytes.end(), movi.begin(), movi.end()) - 8;
    Movie().Open(L"clip.avi");
    size_t readForHeaders = 0;
    for (const auto& read : system_.reads) {
        readForHeaders += read.second;
    }
    EXPECT_EQ(readForHeaders, static_cast<size_t>(movie - bytes.begin()));
    for (int tick = 0; tick < 10 && !Movie().Picture(); ++tick) {
        form_.TimerFired(Movie().TimerId());
    }
    ASSERT_NE(Movie().Picture(), nullptr);
    size_t next = 0;
    for (const auto& [offset, length] : system_.reads) {
        EXPECT_EQ(offset, next);
        next += length;
    }
    EXPECT_EQ(next, bytes.size());
    EXPECT_GT(system_.reads.size(), 2u) << "the frames came in one piece";
}

// A disc taken out while the frames come in: the clip plays what came before.
TEST_F(FormAnimation, AFailedReadPlaysTheFramesReadBeforeIt) {
    GiveClip("rle8");
    const clipmaker::Bytes& bytes = system_.files[L"clip.avi"];
    const std::string movi = "movi";
    const std::string frame = "00dc";
    const auto movie = std::search(bytes.begin(), bytes.end(), movi.begin(), movi.end());
    const auto frame1 = std::search(movie + 16, bytes.end(), frame.begin(), frame.end());
    system_.readsFailFrom = static_cast<size_t>(frame1 - bytes.begin()) + 10;
    Movie().Open(L"clip.avi");
    Movie().PlayOnce();
    form_.TimerFired(Movie().TimerId());
    ASSERT_NE(Movie().Picture(), nullptr);
    system_.now = 1000;
    form_.TimerFired(Movie().TimerId());
    EXPECT_EQ(Movie().Picture()->CurrentFrame(), 0u);  // frame 0 alone came whole
    EXPECT_EQ(host_.timers.count(Movie().TimerId()), 0u);
    system_.readsFailFrom = 0;  // before the headers: refused, as a missing file is
    Movie().Open(L"clip.avi");
    EXPECT_NE(fake::ErrorOf(form_.Failure()).find("The device is not ready"), std::string::npos);
}

TEST_F(FormAnimation, RefusalsFailTheFormNamingTheFileAndTheReason) {
    GiveClip("rle8");
    system_.files[L"clip.avi"].resize(100);
    const auto reasonFor = [this](const wchar_t* name) {
        forms::Form form(kDesign, host_, system_);
        form.AnimationOf("Movie").Open(name);
        EXPECT_TRUE(form.Ended());
        EXPECT_EQ(form.AnimationOf("Movie").Picture(), nullptr);
        return fake::ErrorOf(form.Failure());
    };
    EXPECT_EQ(reasonFor(L"missing.avi"),
              "The clip \"missing.avi\" cannot be played: the file cannot be opened: The system "
              "cannot find the file.");
    EXPECT_EQ(reasonFor(L"clip.avi"),
              "The clip \"clip.avi\" cannot be played: the file is damaged.");
}

}  // namespace

namespace {

// A wizard's button row: tab order Cancel, Next, Back; Back starts disabled.
const forms::FormDesign kButtons{
    .name = "Wizard",
    .controls = {
        {.name = "Text1", .kind = Kind::TextBox, .tabIndex = 5, .visible = false},
        {.name = "Back",
         .kind = Kind::CommandButton,
         .rect = {200, 296, 81, 25},
         .tabIndex = 2,
         .enabled = false,
         .text = L"< &Back"},
        {.name = "Next",
         .kind = Kind::CommandButton,
         .rect = {280, 296, 81, 25},
         .tabIndex = 1,
         .text = L"&Next >"},
        {.name = "Cancel",
         .kind = Kind::CommandButton,
         .rect = {376, 296, 81, 25},
         .tabIndex = 0,
         .text = L"Cancel"},
        {.name = "Page",
         .kind = Kind::Label,
         .rect = {152, 16, 305, 249},
         .tabIndex = 4,
         .text = L"R&&D"},
        {.name = "Rule", .kind = Kind::Line, .from = {456, 280}, .to = {120, 280}},
    }};

class Keyboard : public testing::Test {
  protected:
    Keyboard() : host_(log_), system_(log_), form_(kButtons, host_, system_) {
        for (const char* name : {"Back", "Next", "Cancel"}) {
            form_.On(name, Event::Click, [this, name] { pressed_.push_back(name); });
        }
        form_.FocusFirst();
    }

    std::string Tab(bool shift = false) {
        form_.KeyPressed(forms::Key::Tab, shift);
        return std::string(host_.focused);
    }

    Log log_;
    Log pressed_;
    fake::FakeHost host_;
    fake::FakeSystem system_;
    forms::Form form_;
};

TEST_F(Keyboard, StartsOnTheLowestTabIndexThatCanHoldTheFocus) {
    EXPECT_EQ(host_.focused, "Cancel");
}

TEST_F(Keyboard, APressableLabelHoldsTheFocusOnlyWhereNoButtonDoes) {
    form_.On("Page", Event::Click, [] {});
    EXPECT_EQ(form_.FocusedLabel(), nullptr);
    host_.focused = {};
    EXPECT_EQ(form_.FocusedLabel(), &form_["Page"]);
}

TEST_F(Keyboard, TabCyclesThroughTheEnabledButtonsInTabOrder) {
    EXPECT_EQ(Tab(), "Next");
    EXPECT_EQ(Tab(), "Cancel");  // Back is disabled; labels and hidden boxes never count
    form_["Back"].SetEnabled(true);
    EXPECT_EQ(Tab(), "Next");
    EXPECT_EQ(Tab(), "Back");
    EXPECT_EQ(Tab(), "Cancel");
    EXPECT_EQ(Tab(true), "Back");
    EXPECT_EQ(Tab(true), "Next");
}

TEST_F(Keyboard, EnterPressesTheFocusedButtonAndEscNone) {
    EXPECT_TRUE(form_.KeyPressed(forms::Key::Enter, false));
    Tab();
    form_.KeyPressed(forms::Key::Enter, false);
    EXPECT_TRUE(form_.KeyPressed(forms::Key::Escape, false));
    EXPECT_FALSE(form_.KeyPressed(forms::Key::Other, false));
    EXPECT_EQ(pressed_, (Log{"Cancel", "Next"}));
}

TEST_F(Keyboard, AccessKeysPressOnlyEnabledButtons) {
    EXPECT_FALSE(form_.AccessKeyPressed(L'b'));  // Back is disabled
    EXPECT_FALSE(form_.AccessKeyPressed(L'd'));  // "&&" is no access key
    EXPECT_EQ(form_["Page"].AccessKey(), 0);
    EXPECT_TRUE(form_.AccessKeyPressed(L'n'));
    EXPECT_EQ(host_.focused, "Next");
    form_["Back"].SetEnabled(true);
    form_.KeyWentDown();
    EXPECT_TRUE(form_.AccessKeyPressed(L'B'));
    EXPECT_EQ(pressed_, (Log{"Next", "Back"}));
    EXPECT_EQ(form_["Back"].AccessKey(), L'B');
    EXPECT_EQ(form_["Cancel"].AccessKey(), 0);
}

TEST_F(Keyboard, DisablingTheFocusedButtonHandsTheFocusOn) {
    form_["Back"].SetEnabled(true);
    host_.focused = "Back";
    form_["Back"].SetEnabled(false);
    EXPECT_EQ(host_.focused, "Cancel");  // after the last tab index comes the first
    host_.focused = "Cancel";
    form_["Cancel"].SetEnabled(false);
    EXPECT_EQ(host_.focused, "Next");
    EXPECT_EQ(host_.updated, (Log{"Back", "Back", "Cancel"}));
    EXPECT_TRUE(host_.invalidated.empty());  // buttons repaint themselves
}

TEST_F(Keyboard, ButtonClicksReachTheirHandlersUntilTheEnd) {
    form_.ControlClicked("Next");
    form_.End();
    form_.ControlClicked("Cancel");
    EXPECT_TRUE(form_.KeyPressed(forms::Key::Enter, false));
    EXPECT_EQ(pressed_, (Log{"Next"}));
}

TEST_F(Keyboard, LinesAndButtonsPaintInTheirLayers) {
    std::vector<std::string_view> names;
    for (const forms::Control* control : form_.PaintOrder()) {
        names.push_back(control->Name());
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{"Rule", "Page", "Cancel", "Next", "Back"}));
    EXPECT_EQ(form_.HitTest(300, 280), "Wizard");  // the line lets the mouse through
}

}  // namespace

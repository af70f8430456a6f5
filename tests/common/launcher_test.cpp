#include "launcher.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace {

using launcher::CentredPosition;
using launcher::InstallRootFrom;
using Log = std::vector<std::string>;

// A volume that refuses reads past the cache, at the open or the first page, is read through
// it; past the cache wherever it allows.
TEST(ClipFile, IsReadThroughTheCacheWhereTheVolumeRefusesReadsPastIt) {
    const struct {
        bool pastCacheRefused, cachedRefused;
        std::vector<bool> opens;
        const char* outcome;
    } cases[] = {{false, false, {true}, "read"},
                 {true, false, {true, false}, "read"},
                 {true, true, {true, false}, "through the cache: refused"}};
    for (const auto& c : cases) {
        std::vector<bool> opens;
        const auto open = [&](bool pastCache) -> base::Result<std::unique_ptr<forms::FileReader>> {
            opens.push_back(pastCache);
            if (pastCache ? c.pastCacheRefused : c.cachedRefused) {
                return base::Error(pastCache ? "past the cache: refused"
                                             : "through the cache: refused");
            }
            return std::unique_ptr<forms::FileReader>();
        };
        const auto reader = forms::OpenPastCacheOrThrough(open);
        EXPECT_EQ(reader ? "read" : reader.error().what(), std::string(c.outcome));
        EXPECT_EQ(opens, c.opens);
    }
}

TEST(InstallRoot, CutsOnlyADriveRoot) {
    EXPECT_EQ(InstallRootFrom(L"D:\\"), L"D:");
    EXPECT_EQ(InstallRootFrom(L"E:\\CDCOPY"), L"E:\\CDCOPY");
    EXPECT_EQ(InstallRootFrom(L"E:\\CD"), L"E:\\CD");
    EXPECT_EQ(InstallRootFrom(L"\\\\server\\share"), L"\\\\server\\share");
    EXPECT_EQ(InstallRootFrom(std::nullopt), L"");
}

TEST(InstallRoot, KeepsLongAndNonAnsiDirectoriesWhole) {
    const std::wstring deep = L"C:\\" + std::wstring(300, L'x') + L"\\CD";
    EXPECT_EQ(InstallRootFrom(deep), deep);
    const std::wstring exactly255 = L"C:\\" + std::wstring(252, L'y');
    EXPECT_EQ(InstallRootFrom(exactly255), exactly255);
    const std::wstring letters = L"C:\\Kopie \u00c4\u00d6 \u65e5\u672c \u0416";
    EXPECT_EQ(InstallRootFrom(letters), letters);
}

// A later start opens nothing where another front end shows, and waits a moment at most for
// one that shows nothing yet; it opens once the holder lets go, or where it is handed on.
TEST(FrontEnd, OnlyOneOpensAndALaterStartShowsItOrTakesOverWhenItGoes) {
    using launcher::Handover;
    constexpr uint64_t kNever = UINT64_MAX;
    struct Case {
        const char* what;
        uint64_t holdsUntil, showsFrom;
        Handover handover;
        bool opens;
        uint64_t endsAt;
    };
    const Case cases[] = {
        {"free", 0, kNever, Handover::None, true, 0},
        {"held and shown", kNever, 0, Handover::None, false, 0},
        {"held, shown after a moment", kNever, 600, Handover::None, false, 600},
        {"held, let go while waiting", 1200, kNever, Handover::None, true, 1200},
        {"held, nothing ever shown", kNever, kNever, Handover::None, false, 2000},
        {"handed on", kNever, 0, Handover::FrontEnd, true, 0},
    };
    for (const Case& c : cases) {
        Log log;
        fake::FakeSystem system(log);
        system.otherHoldsGuardUntil = c.holdsUntil;
        system.otherShowsFrom = c.showsFrom;
        EXPECT_EQ(launcher::TakeFrontEnd(system, c.handover), c.opens) << c.what;
        EXPECT_EQ(system.now, c.endsAt) << c.what;
        const bool shown = !c.opens && c.showsFrom <= c.endsAt;
        const Log expected = c.opens ? Log{"guard taken"}
                             : shown ? Log{"other front end shown"}
                                     : Log{};
        EXPECT_EQ(log, expected) << c.what;
    }
}

TEST(FrontEnd, OnlySetupsSwitchHandsItOn) {
    using launcher::Handover;
    using launcher::HandoverFrom;
    for (const wchar_t* line : {L"/handover", L"/HANDOVER", L"  /handover", L"/x /handover"}) {
        EXPECT_EQ(HandoverFrom(line), Handover::FrontEnd) << fake::Narrow(line);
    }
    for (const wchar_t* line : {L"", L"/handover2", L"handover", L"/hand over"}) {
        EXPECT_EQ(HandoverFrom(line), Handover::None) << fake::Narrow(line);
    }
}

TEST(Centring, PlacesBothWindowsAsDesigned) {
    EXPECT_EQ(CentredPosition({1024, 768}, 640, 480).left, 192);
    EXPECT_EQ(CentredPosition({1024, 768}, 640, 480).top, 144);
    // 273.5 pixels (4102.5 twips): the half pixel rounds away from zero.
    EXPECT_EQ(CentredPosition({1024, 768}, 477, 400).left, 274);
    EXPECT_EQ(CentredPosition({1024, 768}, 477, 400).top, 184);
    EXPECT_EQ(CentredPosition({640, 480}, 640, 480).left, 0);
    EXPECT_EQ(CentredPosition({640, 480}, 640, 480).top, 0);
    EXPECT_EQ(CentredPosition({640, 480}, 477, 400).left, 82);
    EXPECT_EQ(CentredPosition({640, 480}, 477, 400).top, 40);
    // Wider than the screen: off its left edge by half the excess, the half pixel outward.
    EXPECT_EQ(CentredPosition({640, 480}, 717, 400).left, -39);
    EXPECT_EQ(CentredPosition({640, 480}, 716, 400).left, -38);
}

TEST(Centring, ScalesTheSizeToTheWindowsDpi) {
    Log log;
    fake::FakeHost host(log);
    fake::FakeSystem system(log);
    system.screen = {1920, 1080};
    const forms::FormDesign design{.name = "Window"};
    forms::Form window(design, host, system);
    window.SetDpi(144);
    launcher::CentreWindow(window, system, 640, 480);  // as 960 x 720
    launcher::CentreWindow(window, system, 477, 400);  // as 716 x 600
    window.SetDpi(96);                                 // a new DPI: centred again, as 477 x 400
    window.PlaceAgain();
    window.UserMoved();  // and once the user moved it, left where it is
    window.PlaceAgain();
    EXPECT_EQ(log, (Log{"move 480,180", "move 602,240", "move 722,340"}));
}

TEST(Centring, LeavesAWindowLargerThanTheScreenReachingPastIt) {
    EXPECT_EQ(CentredPosition({600, 400}, 640, 480).left, -20);
    EXPECT_EQ(CentredPosition({600, 400}, 640, 480).top, -40);
    EXPECT_EQ(CentredPosition({600, 400}, 477, 401).top, -1);  // -0.5 away from zero
}

// A window with nothing but the two hidden text boxes the launch uses.
class Launch : public testing::Test {
  protected:
    Launch() : host_(log_), system_(log_), form_(design_, host_, system_) {
        form_["Text1"].SetText(L"D:");
    }

    Log log_;
    fake::FakeHost host_;
    fake::FakeSystem system_;
    const forms::FormDesign design_{
        .name = "Window",
        .controls = {
            {.name = "Text2", .kind = forms::Kind::TextBox, .visible = false, .text = L"Text2"},
            {.name = "Text1", .kind = forms::Kind::TextBox, .visible = false, .text = L"Text1"}}};
    forms::Form form_;
};

TEST_F(Launch, StartsTheComposedCommandAndSaysNothingOnSuccess) {
    launcher::StartProgram(form_, system_, L"\\Tourlet.exe", launcher::Echo::On, L"Title");
    EXPECT_EQ(form_["Text2"].Text(), L"D:\\Tourlet.exe");
    EXPECT_EQ(log_, (Log{"print D:\\Tourlet.exe", "start D:\\Tourlet.exe"}));
}

TEST_F(Launch, ReportsAFailedStartAfterHidingTheWindow) {
    system_.directStart = launcher::DirectStart::Failed;
    launcher::StartProgram(form_, system_, L"\\Tourlet.exe", launcher::Echo::On,
                           L"Pelmor's VARNOK");
    EXPECT_EQ(log_, (Log{"print D:\\Tourlet.exe", "start D:\\Tourlet.exe", "hide",
                         "exclamation [Fatal Error] Error 101 - Run  d:\\VARNOK\\Setup.exe  "
                         "where  'd' is your CDROM drive",
                         "box [Pelmor's VARNOK] D:\\Tourlet.exe"}));
}

// Directly, and through the shell only where the program asks for elevation: UAC asks, and
// a No to it is no failure.
TEST_F(Launch, GoesThroughTheShellOnlyWhereTheProgramAsksForElevation) {
    using launcher::DirectStart;
    using launcher::StartResult;
    const std::string direct = "start D:\\VARNOK\\Setup.exe";
    const std::string shell = "shell start D:\\VARNOK\\Setup.exe";
    const struct {
        DirectStart direct;
        StartResult shell;
        Log log;
        bool ends;
    } cases[] = {
        {DirectStart::Started, StartResult::Failed, {direct}, false},
        {DirectStart::ElevationRequired, StartResult::Started, {direct, shell}, false},
        {DirectStart::ElevationRequired, StartResult::Declined, {direct, shell}, false},
        {DirectStart::ElevationRequired,
         StartResult::Failed,  // elevated, yet it cannot start
         {direct, shell, "hide",
          "exclamation [Fatal Error] Error 101 - Run  d:\\VARNOK\\Setup.exe  where  'd' is your "
          "CDROM drive"},
         true},
    };
    for (const auto& c : cases) {
        log_.clear();
        system_.directStart = c.direct;
        system_.shellStart = c.shell;
        launcher::StartProgram(form_, system_, L"\\VARNOK\\Setup.exe", launcher::Echo::Off);
        EXPECT_EQ(log_, c.log);
        EXPECT_EQ(form_.Ended(), c.ends);
    }
}

TEST_F(Launch, AFailedStartStopsTheWindowsTimersBeforeItsBoxes) {
    forms::FormDesign timed = design_;
    timed.controls.push_back({.name = "Timer1", .kind = forms::Kind::Timer, .intervalMs = 2500});
    forms::Form form(timed, host_, system_);
    form.Load();
    system_.directStart = launcher::DirectStart::Failed;
    launcher::StartProgram(form, system_, L"\\Tourlet.exe", launcher::Echo::Off);
    EXPECT_TRUE(host_.timers.empty());
    EXPECT_TRUE(form.Ended());
}

TEST_F(Launch, WithoutEchoNeitherPrintsNorShowsTheCommand) {
    system_.directStart = launcher::DirectStart::Failed;
    launcher::StartProgram(form_, system_, L"\\VARNOK\\Setup.exe", launcher::Echo::Off);
    ASSERT_EQ(log_.size(), 3u);
    EXPECT_EQ(log_[0], "start D:\\VARNOK\\Setup.exe");
    EXPECT_EQ(log_[1], "hide");
    EXPECT_EQ(log_[2].rfind("exclamation [Fatal Error]", 0), 0u);
}

TEST_F(Launch, AnEmptyInstallRootStartsTheRelativePathAlone) {
    form_["Text1"].SetText(L"");
    launcher::StartProgram(form_, system_, L"\\VARNOK\\Setup.exe", launcher::Echo::Off);
    EXPECT_EQ(log_, (Log{"start \\VARNOK\\Setup.exe"}));
}

TEST_F(Launch, ReadsTheInstallRootAndCentresThroughTheSystem) {
    system_.currentDirectory = L"E:\\CDCOPY";
    EXPECT_EQ(launcher::ReadInstallRoot(system_), L"E:\\CDCOPY");
    system_.screen = {800, 600};
    launcher::CentreWindow(form_, system_, 640, 480);
    EXPECT_EQ(log_, (Log{"move 80,60"}));
}

// Started from elsewhere, a program moves to its own folder; started the usual way, nothing.
TEST(ProgramFolder, BecomesTheWorkingDirectoryOnlyWhereTheTwoDiffer) {
    struct Case {
        std::optional<std::wstring> program, current;
        bool canChange;
        Log log;
        std::optional<std::wstring> after;
    };
    const Case cases[] = {
        {L"D:\\", L"D:\\", true, {}, L"D:\\"},
        {L"E:\\CDCOPY", L"e:\\cdcopy\\", true, {}, L"e:\\cdcopy\\"},
        {L"D:\\", L"C:\\Windows\\system32", true, {"cd D:\\"}, L"D:\\"},
        {L"E:\\CD", L"E:\\CDCOPY", true, {"cd E:\\CD"}, L"E:\\CD"},
        {L"D:\\", std::nullopt, true, {"cd D:\\"}, L"D:\\"},
        {L"D:\\", L"C:\\", false, {"cd D:\\"}, L"C:\\"},
        {std::nullopt, L"C:\\", true, {}, L"C:\\"},
    };
    for (const Case& c : cases) {
        Log log;
        fake::FakeSystem system(log);
        system.programFolder = c.program;
        system.currentDirectory = c.current;
        system.canChangeDirectory = c.canChange;
        launcher::WorkInProgramFolder(system);
        EXPECT_EQ(log, c.log) << fake::Narrow(c.program.value_or(L"-"));
        EXPECT_EQ(system.currentDirectory, c.after) << fake::Narrow(c.program.value_or(L"-"));
    }
}

}  // namespace

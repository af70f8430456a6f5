#include "page1.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "accessibility.h"
#include "fake_platform.h"
#include "page_texts.h"
#include "results.h"
#include "text_table.h"

namespace {

using Log = std::vector<std::string>;

// A page's text as the wizard takes it: in English, the design's own words.
std::wstring PageText(int page) {
    Log log;
    fake::FakeSystem system(log);
    return std::wstring(tourlet::PageText(system, page));
}

class Wizard : public testing::Test {
  protected:
    Wizard() : host_(log_), system_(log_), form_(design_, host_, system_), page1_(form_, system_) {}

    void Press(const char* button) { form_.ControlClicked(button); }
    bool BackEnabled() const { return form_["BackButton"].Enabled(); }
    const std::wstring& Shown() const { return form_["Label1"].Text(); }

    Log log_;
    fake::FakeHost host_;
    fake::FakeSystem system_;
    const forms::FormDesign design_ = tourlet::WizardDesign(system_);
    forms::Form form_;
    tourlet::Page1 page1_;
};

TEST_F(Wizard, PagesForwardAndBackWithBackDisabledOnTheFirst) {
    form_.Load();
    EXPECT_EQ(form_["Text1"].Text(), L"D:");
    EXPECT_EQ(Shown(), PageText(0));
    EXPECT_FALSE(BackEnabled());
    Press("BackButton");  // disabled: the window system sends no click, nor may the form
    Press("NextButton");
    EXPECT_EQ(Shown(), PageText(1));
    EXPECT_TRUE(BackEnabled());
    Press("BackButton");
    EXPECT_EQ(page1_.Page, 0);
    EXPECT_EQ(Shown(), PageText(0));
    EXPECT_FALSE(BackEnabled());
    Press("NextButton");
    Press("NextButton");
    EXPECT_EQ(Shown(), PageText(2));
    EXPECT_EQ(log_, (Log{"move 274,184"}));
}

TEST_F(Wizard, TheThirdNextStartsTheInstallerOnceAndEnds) {
    form_.Load();
    Press("NextButton");
    Press("NextButton");
    system_.duringStart = [this] { Press("NextButton"); };  // a fast double click
    Press("NextButton");
    EXPECT_EQ(form_["Text2"].Text(), L"D:\\VARNOK\\Setup.exe");
    EXPECT_EQ(log_, (Log{"move 274,184", "start D:\\VARNOK\\Setup.exe", "end"}));
}

TEST_F(Wizard, AMissingInstallerShowsTheNoticeAloneThenEnds) {
    system_.currentDirectory = L"E:\\CDCOPY";
    system_.directStart = launcher::DirectStart::Failed;
    form_.Load();
    for (int i = 0; i < 3; ++i) {
        Press("NextButton");
    }
    EXPECT_EQ(log_, (Log{"move 274,184", "start E:\\CDCOPY\\VARNOK\\Setup.exe", "hide",
                         "exclamation [Fatal Error] Error 101 - Run  d:\\VARNOK\\Setup.exe  where  "
                         "'d' is your CDROM drive",
                         "end"}));
}

TEST_F(Wizard, CancelEndsAtOnceAndStartsNothing) {
    form_.Load();
    Press("NextButton");
    Press("CancelButton");
    Press("NextButton");  // nothing after the end
    Press("NextButton");
    EXPECT_EQ(log_, (Log{"move 274,184", "end"}));
}

TEST_F(Wizard, FocusStartsOnCancelAndTabSkipsADisabledBack) {
    form_.FocusFirst();
    EXPECT_EQ(host_.focused, "CancelButton");
    const auto tab = [this](bool shift) {
        form_.KeyPressed(forms::Key::Tab, shift);
        return std::string(host_.focused);
    };
    EXPECT_EQ(tab(false), "NextButton");
    EXPECT_EQ(tab(false), "CancelButton");
    EXPECT_EQ(tab(true), "NextButton");
    form_.Load();
    Press("NextButton");
    EXPECT_EQ(tab(false), "BackButton");
    EXPECT_EQ(tab(false), "CancelButton");
}

// The page text whole, as a screen reader reads it; the buttons by their shown captions.
TEST_F(Wizard, ScreenReadersFindThePageTextWholeAndTheButtons) {
    form_.Load();
    Press("NextButton");
    std::vector<std::wstring> names;
    for (const auto& element : forms::AccessibleElements(form_)) {
        names.push_back(element.name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Emblem and computer", PageText(1),
                                                L"Pelmor Systems, Inc.", L"< Back", L"Next >",
                                                L"Cancel"}));
}

// Child ids count from 1 in reading order; navigation keeps to the elements, and the buttons
// in a row lie left and right of each other.
TEST_F(Wizard, ScreenReadersNumberAndWalkTheElements) {
    const auto elements = forms::AccessibleElements(form_);  // picture, text, label, 3 buttons
    EXPECT_EQ(forms::ChildIdOf(0), 1);
    const std::pair<long, std::optional<size_t>> ids[] = {
        {0, std::nullopt}, {1, 0}, {6, 5}, {7, std::nullopt}, {-1, std::nullopt}};
    for (const auto& [id, index] : ids) {
        EXPECT_EQ(forms::ElementIndexOf(id, elements.size()), index) << id;
    }
    using D = forms::Direction;
    const std::tuple<size_t, D, std::optional<size_t>> walks[] = {{3, D::Right, 4},
                                                                  {4, D::Right, 5},
                                                                  {5, D::Right, std::nullopt},
                                                                  {4, D::Left, 3},
                                                                  {3, D::Next, 4},
                                                                  {5, D::Next, std::nullopt},
                                                                  {0, D::Previous, std::nullopt},
                                                                  {1, D::Left, 0},
                                                                  {4, D::Up, 1},
                                                                  {1, D::Down, 4},
                                                                  {0, D::Up, std::nullopt}};
    for (const auto& [from, direction, to] : walks) {
        EXPECT_EQ(forms::NextElement(elements, from, direction), to)
            << from << " " << static_cast<int>(direction);
    }
}

// Every line of the fixed pages, the line feeds and the spaces, as the wizard shows them.
// Alt and a key page the wizard under the user's keyboard layout: by the character the key
// gives there, or else by the Latin letter on it, one page a key stroke whatever it gives.
// Arabic marks letters of its own script.
TEST(WizardKeys, AltAndTheAccessKeyPageUnderTheUsersKeyboardLayout) {
    struct Case {
        const char* language;
        int from;           // the page the key is pressed on
        wchar_t character;  // what the layout gives for the key
        wchar_t then;       // a second character the same stroke gives, or 0
        wchar_t keyLetter;  // the key's Latin letter
        int page;
    };
    const Case cases[] = {
        {"en-US", 0, L'n', 0, L'N', 1},     // US layout
        {"en-US", 0, L'т', 0, L'N', 1},     // Russian: the N key gives т
        {"ar-SA", 0, L'ت', 0, L'J', 1},     // Arabic (101): the J key gives the marked ت
        {"ar-SA", 0, L'ى', 0, L'N', 0},     // and its N key ى, no access key of the Arabic wizard
        {"ar-SA", 0, L'س', 0, L'S', 0},     // Back's, disabled on the first page
        {"zh-CN", 0, L'n', 0, L'N', 1},     // "(&N)"
        {"en-US", 2, L'ل', L'ا', L'B', 1},  // Arabic (101): the B key types the ligature لا
        {"en-US", 1, L'^', L'n', L'N', 2},  // a French layout's pending dead key, then Alt+N
        {"de-DE", 1, L'^', L'w', L'W', 2},  // and a German one's, then Alt+W for "&Weiter >"
    };
    for (const Case& c : cases) {
        std::ifstream in(std::string(VARNOK_TEXTS_DIR) + "/tourlet." + c.language + ".texts",
                         std::ios::binary);
        const launcher::TextTable table = fake::Value(launcher::TextTable::Unpack(
            std::vector<uint8_t>{std::istreambuf_iterator<char>(in), {}}));
        Log log;
        fake::FakeHost host(log);
        fake::FakeSystem system(log);
        for (const int id : {int{texts::kTourletBack}, int{texts::kTourletNext}}) {
            system.spoken[id] = table.Text(id);
        }
        const forms::FormDesign design = tourlet::WizardDesign(system);
        forms::Form form(design, host, system);
        tourlet::Page1 page1(form, system);
        form.Load();
        for (int page = 0; page < c.from; ++page) {
            form.ControlClicked("NextButton");
        }
        form.KeyWentDown();
        form.AccessKeyPressed(c.character, c.keyLetter);
        if (c.then != 0) {
            form.AccessKeyPressed(c.then, c.keyLetter);
        }
        EXPECT_EQ(page1.Page, c.page) << c.language << " " << fake::Narrow({c.keyLetter});
    }
}

TEST(PageTexts, AreExactlyTheFixedLines) {
    const std::wstring page0 =
        L"Welcome to Pelmor's VARNOK, the solution for small business,\n"
        L"distributors and manufacturers.\n\n"
        L"As part of this special single-user version of Pelmor's VARNOK,\n"
        L"you are entitled to submit 5 support questions via email at no\n"
        L"charge within the first 30 days from product shipment.\n\n"
        L"Support questions submitted after that will cost $20.00 US, paid\n"
        L"in advance by credit card.\n\n"
        L"All VARNOK inquires should be sent to:\n\n" +
        std::wstring(20, L' ') + L"support@pelmor.example.";
    const std::wstring page2 =
        L"All documentation, in Microsoft Word format, will be installed on\n"
        L"your computer with shortcuts placed on your Desktop and\n"
        L"Programs menu.\n\n"
        L"The VARNOK documentation set includes: User Guide, Guided\n"
        L"Tour, and Workshops for VARNOK's primary functions\n\n"
        L"Please feel free to print these documents and use them to learn\n"
        L"the powerful features and benefits of Pelmor's VARNOK.\n\n\n\n\n\n"
        L"Note: Shortcuts are placed on your Desktop for your\n"
        L"convenience.  Please feel free to delete any or all of them.";
    EXPECT_EQ(PageText(0), page0);
    EXPECT_EQ(PageText(2), page2);
}

TEST(PageTexts, FitThePageBoxAsLinesOfAtMost65Characters) {
    for (int page = 0; page < tourlet::kPageCount; ++page) {
        const std::wstring text = PageText(page);
        EXPECT_EQ(text.find(L'\r'), std::wstring::npos) << page;
        EXPECT_NE(text.back(), L'\n') << page;
        size_t lines = 0;
        for (size_t start = 0; start <= text.size(); ++lines) {
            const size_t end = std::min(text.find(L'\n', start), text.size());
            EXPECT_LE(end - start, 65u)
                << page << ": " << fake::Narrow(text.substr(start, end - start));
            start = end + 1;
        }
        EXPECT_LE(lines, 16u) << page;
        EXPECT_GE(lines, 8u) << page;
    }
}

}  // namespace

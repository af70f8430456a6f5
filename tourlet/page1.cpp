#include "page1.h"

#include "page_texts.h"
#include "resource.h"
#include "text_ids.h"

namespace tourlet {

using forms::Event;
using forms::Kind;

forms::FormDesign WizardDesign(forms::FormSystem& system) {
    const auto text = [&system](int id) { return system.Text(id); };
    return forms::FormDesign{
        .name = "Page1",
        .caption = text(texts::kTourletCaption),
        .frame = forms::Frame::Sizable,
        .controlBox = true,
        .maxButton = false,
        .minButton = false,
        .showInTaskbar = true,
        .clientWidth = 469,
        .clientHeight = 329,
        .backColour = forms::kButtonFace,
        .foreColour = forms::kButtonText,
        .icon = IDI_VARNOK,
        .font = {text(texts::kWindowFace), 8, 400},
        .rightToLeft = system.ReadsRightToLeft(),
        .controls = {
            {.name = "Text2",
             .kind = Kind::TextBox,
             .rect = {112, 296, 65, 19},
             .tabIndex = 6,
             .visible = false,
             .text = L"Text2"},
            {.name = "Text1",
             .kind = Kind::TextBox,
             .rect = {16, 296, 81, 19},
             .tabIndex = 5,
             .visible = false,
             .text = L"Text1"},
            {.name = "BackButton",
             .kind = Kind::CommandButton,
             .rect = {200, 296, 81, 25},
             .tabIndex = 2,
             .enabled = false,
             .text = text(texts::kTourletBack)},
            {.name = "NextButton",
             .kind = Kind::CommandButton,
             .rect = {280, 296, 81, 25},
             .tabIndex = 1,
             .text = text(texts::kTourletNext)},
            {.name = "CancelButton",
             .kind = Kind::CommandButton,
             .rect = {376, 296, 81, 25},
             .tabIndex = 0,
             .text = text(texts::kTourletCancel)},
            {.name = "Label1",
             .kind = Kind::Label,
             .rect = {152, 16, 305, 249},
             .tabIndex = 4,
             .text = L"Label1",
             .foreColour = forms::kButtonText,
             .backColour = forms::kButtonFace,
             .liveRegion = true},
            {.name = "Label2",
             .kind = Kind::Label,
             .rect = {16, 272, 105, 17},
             .tabIndex = 3,
             .text = text(texts::kTourletMaker),
             .foreColour = forms::kButtonText,
             .backColour = forms::kButtonFace,
             .font = forms::FontDesign{text(texts::kTourletMakerFace), 8, 400}},
            {.name = "Line1",
             .kind = Kind::Line,
             .foreColour = forms::Colour::Rgb(0x000000),
             .from = {456, 280},
             .to = {120, 280},
             .maskPen = true},
            {.name = "Image1",
             .kind = Kind::Image,
             .rect = {16, 16, 120, 246},
             .picture = IDB_SIDE_PICTURE,
             .accessibleName = text(texts::kTourletPicture)},
        }};
}

Page1::Page1(forms::Form& form, launcher::System& system) : form_(form), system_(system) {
    form.On("Page1", Event::Load, [this] { Form_Load(); });
    form.On("NextButton", Event::Click, [this] { NextButton_Click(); });
    form.On("BackButton", Event::Click, [this] { BackButton_Click(); });
    form.On("CancelButton", Event::Click, [this] { CancelButton_Click(); });
}

void Page1::Form_Load() {
    form_["Text1"].SetText(launcher::ReadInstallRoot(system_));
    launcher::CentreWindow(form_, system_, 477, 400);
    ShowPageText();  // Back keeps its start state: disabled
}

void Page1::NextButton_Click() {
    Page = Page + 1;
    if (Page == kPageCount) {
        launcher::StartProgram(form_, system_, L"\\VARNOK\\Setup.exe", launcher::Echo::Off);
        form_.End();
        return;
    }
    ShowPage();
    ShowPageText();
}

void Page1::BackButton_Click() {
    Page = Page - 1;
    ShowPage();
}

void Page1::CancelButton_Click() {
    form_.End();
}

void Page1::ShowPage() {
    form_["BackButton"].SetEnabled(Page != 0);
    ShowPageText();
}

void Page1::ShowPageText() {
    form_["Label1"].SetText(std::wstring(PageText(system_, Page)));
}

}  // namespace tourlet

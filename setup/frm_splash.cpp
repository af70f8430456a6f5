#include "frm_splash.h"

#include "resource.h"
#include "text_ids.h"

namespace setup {

using forms::Colour;
using forms::Event;
using forms::Kind;

forms::FormDesign SplashDesign(forms::FormSystem& system) {
    const auto text = [&system](int id) { return system.Text(id); };
    return forms::FormDesign{
        .name = "frmSplash",
        .caption = L"",
        .frame = forms::Frame::FixedSingle,
        .controlBox = false,
        .maxButton = false,
        .minButton = false,
        .showInTaskbar = false,
        .clientWidth = 632,
        .clientHeight = 459,
        .backColour = Colour::Rgb(0xFFFFFF),
        .foreColour = forms::kButtonText,
        .icon = IDI_VARNOK,
        .font = {text(texts::kWindowFace), 8, 400},
        .accessibleName = launcher::kProgramTitle,
        .controls = {
            {.name = "Text2",
             .kind = Kind::TextBox,
             .rect = {576, 440, 49, 19},
             .tabIndex = 3,
             .visible = false,
             .text = L"Text2"},
            {.name = "Text1",
             .kind = Kind::TextBox,
             .rect = {576, 424, 49, 19},
             .tabIndex = 2,
             .visible = false,
             .text = L"Text1"},
            {.name = "Timer1", .kind = Kind::Timer, .intervalMs = 2500},
            {.name = "aniAVI",
             .kind = Kind::Animation,
             .rect = {248, 56, 361, 361},
             .tabIndex = 0,
             .backColour = Colour::Rgb(0xFFFFFF),
             .accessibleName = text(texts::kSetupAnimation)},
            {.name = "Shape1",
             .kind = Kind::Shape,
             .rect = {64, 432, 137, 25},
             .backColour = forms::kWindowBackground},
            {.name = "Image1",
             .kind = Kind::Image,
             .rect = {0, 0, 634, 51},
             .picture = IDB_BANNER,
             .accessibleName = text(texts::kSetupBanner)},
            {.name = "Image2",
             .kind = Kind::Image,
             .rect = {0, 48, 251, 414},
             .picture = IDB_SIDE_PANEL,
             .accessibleName = text(texts::kSetupSidePanel)},
            {.name = "Label8",
             .kind = Kind::Label,
             .rect = {376, 432, 121, 17},
             .tabIndex = 1,
             .visible = false,
             .text = text(texts::kSetupContinue),
             .foreColour = Colour::Rgb(0x0000C0),
             .transparent = true,
             .alignment = forms::Alignment::Centre,
             .font = forms::FontDesign{text(texts::kSetupContinueFace), 12, 700}},
            {.name = "Shape3",
             .kind = Kind::Shape,
             .rect = {376, 424, 121, 33},
             .visible = false,
             .backColour = Colour::Rgb(0xFFFF00),
             .shape = forms::ShapeStyle::Ellipse},
        }};
}

FrmSplash::FrmSplash(forms::Form& form, launcher::System& system) : form_(form), system_(system) {
    form.On("frmSplash", Event::Load, [this] { Form_Load(); });
    form.On("frmSplash", Event::MouseMove, [this] { Form_MouseMove(); });
    form.On("Timer1", Event::Timer, [this] { Timer1_Timer(); });
    form.On("Label8", Event::MouseMove, [this] { Label8_MouseMove(); });
    form.On("Label8", Event::Click, [this] { Label8_Click(); });
}

void FrmSplash::Form_Load() {
    CurrentDir = launcher::ReadInstallRoot(system_);
    form_["Text1"].SetText(CurrentDir);
    form_["Shape3"].SetVisible(false);
    launcher::CentreWindow(form_, system_, 640, 480);
    // The bare name: the clip is looked for in the working directory.
    form_.AnimationOf("aniAVI").Open(kClipFile);
    form_.AnimationOf("aniAVI").PlayOnce();
}

void FrmSplash::Timer1_Timer() {
    form_["Label8"].SetVisible(true);
}

void FrmSplash::Label8_MouseMove() {
    form_["Shape3"].SetVisible(true);
}

void FrmSplash::Form_MouseMove() {
    form_["Shape3"].SetVisible(false);
}

void FrmSplash::Label8_Click() {
    // Tourlet is handed the guard with its start, so no start in between opens a splash.
    launcher::StartProgram(form_, system_, L"\\Tourlet.exe", launcher::Echo::On,
                           launcher::kProgramTitle, launcher::Handover::FrontEnd);
    form_.End();
}

}  // namespace setup

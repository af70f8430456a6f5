// A window of push buttons, a rule and a label, for testing the forms layer's Win32 side
// under Wine: each press is told in a message box titled "Sampler".
#include <windows.h>

#include "form_window.h"

namespace {

using forms::Kind;

const forms::FormDesign kSampler{.name = "Sampler",
                                 .clientWidth = 469,
                                 .clientHeight = 329,
                                 .controls = {
                                     {.name = "BackButton",
                                      .kind = Kind::CommandButton,
                                      .rect = {200, 296, 81, 25},
                                      .tabIndex = 2,
                                      .enabled = false,
                                      .text = L"< &Back"},
                                     {.name = "NextButton",
                                      .kind = Kind::CommandButton,
                                      .rect = {280, 296, 81, 25},
                                      .tabIndex = 1,
                                      .text = L"&Next >"},
                                     {.name = "CancelButton",
                                      .kind = Kind::CommandButton,
                                      .rect = {376, 296, 81, 25},
                                      .tabIndex = 0,
                                      .text = L"Cancel"},
                                     {.name = "Label2",
                                      .kind = Kind::Label,
                                      .rect = {16, 272, 105, 17},
                                      .tabIndex = 3,
                                      .text = L"Pelmor Systems, Inc.",
                                      .foreColour = forms::kButtonText,
                                      .backColour = forms::kButtonFace},
                                     {.name = "Line1",
                                      .kind = Kind::Line,
                                      .foreColour = forms::Colour::Rgb(0),
                                      .from = {456, 280},
                                      .to = {120, 280},
                                      .maskPen = true},
                                 }};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    forms::win32::FormWindow window(instance, kSampler);
    forms::Form& form = window.GetForm();
    const auto tell = [&form](const wchar_t* what) {
        form.ShowMessage(what, L"Sampler", forms::MessageIcon::None);
    };
    form.On("NextButton", forms::Event::Click, [&] {
        form["BackButton"].SetEnabled(true);
        tell(L"Next");
    });
    form.On("BackButton", forms::Event::Click, [&] { tell(L"Back"); });
    form.On("CancelButton", forms::Event::Click, [&] { form.End(); });
    return window.Run(L"Sampler");
}

// The wizard's window design with handlers that only tell each press in a message box
// titled "Sampler": the forms layer's push buttons, keys and rule under Wine, page by page
// logic aside. Clicking Label2 fails the form, as a failing handler would.
#include <windows.h>

#include "error.h"
#include "form_window.h"
#include "page1.h"
#include "win32_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    launcher::Win32System system;
    forms::win32::FormWindow window(instance, tourlet::WizardDesign(), system);
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
    // A handler that fails while the window runs: the program must tell it, run nothing more
    // and end with 1.
    form.On("Label2", forms::Event::Click,
            [&form] { form.Fail(base::Error("A handler failed.")); });
    return window.Run(L"Sampler");
}

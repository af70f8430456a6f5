// The wizard's window design with handlers that only tell each press in a message box
// titled "Sampler": the forms layer's push buttons, keys and rule under Wine, page by page
// logic aside. Clicking Label2 fails the form, as a failing handler would; clicking Image1
// misuses a container, with a press of Next posted just before, which must never run;
// clicking Label1 moves the window, as it were, onto a monitor of 144 dpi: it is asked for
// its size there and told of the change, as Windows would. It is centred as Tourlet is.
//   form_sampler.exe           ends with its window
//   form_sampler.exe outlive   pumps messages on after its window is destroyed, until its
//                              thread is told to quit: what a client that held the window's
//                              accessible object meets then is the object's own answer
#include <windows.h>

#include <string_view>
#include <vector>

#include "error.h"
#include "form_window.h"
#include "page1.h"
#include "win32_system.h"

namespace {

// Wine gives every monitor one DPI: this window's monitor takes another when told.
class SamplerWindow : public forms::win32::FormWindow {
  public:
    using FormWindow::FormWindow;
    void MoveToMonitorOf(int dpi) { monitorDpi_ = dpi; }

  protected:
    int MonitorDpi() const override {
        return monitorDpi_ != 0 ? monitorDpi_ : FormWindow::MonitorDpi();
    }

  private:
    int monitorDpi_ = 0;
};

int RunSampler(HINSTANCE instance) {
    launcher::Win32System system;
    const forms::FormDesign design = tourlet::WizardDesign(system);
    SamplerWindow window(instance, design, system);
    forms::Form& form = window.GetForm();
    form.On("Page1", forms::Event::Load, [&] { launcher::CentreWindow(form, system, 477, 400); });
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
    form.On("Label1", forms::Event::Click, [&window] {
        constexpr UINT kDenser = 144;
        window.MoveToMonitorOf(kDenser);
        SIZE size{};
        SendMessageW(window.Handle(), WM_GETDPISCALEDSIZE, kDenser,
                     reinterpret_cast<LPARAM>(&size));
        RECT suggested{};
        GetWindowRect(window.Handle(), &suggested);
        suggested.right = suggested.left + size.cx;
        suggested.bottom = suggested.top + size.cy;
        SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(kDenser, kDenser),
                     reinterpret_cast<LPARAM>(&suggested));
    });
    form.On("Image1", forms::Event::Click, [&window] {
        constexpr WPARAM kNextButton = 3;  // its place in the design
        PostMessageW(window.Handle(), forms::win32::AccessibleForm::kPressMessage, kNextButton, 0);
        volatile size_t past = 0;
        std::vector<int>().at(past);
    });
    return window.Run(L"Sampler");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const int code = RunSampler(instance);  // the window is destroyed on return
    if (std::wstring_view(commandLine) == L"outlive") {
        MSG message;
        PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the form's own end
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
    }
    return code;
}

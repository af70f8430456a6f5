// The start-up and the end that both programs share around their one window.
#pragma once

#include <windows.h>

#include "form_window.h"
#include "system_library.h"
#include "win32_system.h"

namespace launcher {

// Before the window: system DLLs only, no system box over it from a failing drive, the
// language chosen once, one front end at a time. After it: the guard let go.
class FrontEnd {
  public:
    explicit FrontEnd(const wchar_t* commandLine);
    FrontEnd(const FrontEnd&) = delete;
    FrontEnd& operator=(const FrontEnd&) = delete;

    // False where another front end runs: it was brought forward, and this program ends.
    bool Opens() const { return opens_; }
    Win32System& System() { return system_; }
    // Marks the window as the front end's, makes the program's folder the working directory,
    // runs the window to its end and lets go of the guard; the program's exit code.
    int Run(forms::win32::FormWindow& window);

  private:
    // Declared first, so made first: from here on DLLs load from the system folder only.
    // Choosing the language and unpacking its texts, below, may load DLLs, and the program's
    // own folder (a downloaded image's, say) may hold a planted one of a system name.
    struct SystemDllsOnly {
        SystemDllsOnly() { base::win32::RestrictDllSearchToSystemFolder(); }
    };
    SystemDllsOnly systemDllsOnly_;
    Win32System system_;
    bool opens_ = false;
};

#ifdef VARNOK_PSEUDO_LANGUAGES
// The test build: Wine answers that no contrast theme is on, whatever its colours, and refuses
// to turn one on, so VARNOK_TEST_HIGH_CONTRAST=1 stands for one.
inline forms::UserSettings TestUserSettings() {
    forms::UserSettings settings = forms::win32::ReadUserSettings();
    wchar_t value[2] = L"";
    settings.highContrast |=
        GetEnvironmentVariableW(L"VARNOK_TEST_HIGH_CONTRAST", value, 2) == 1 && value[0] == L'1';
    return settings;
}
#endif

// A whole program: its window, of the design `Design` makes in the program's language, with
// `Handlers` made for its form.
template <typename Handlers>
int RunFrontEnd(HINSTANCE instance, const wchar_t* commandLine,
                forms::FormDesign (*Design)(forms::FormSystem&)) {
    FrontEnd frontEnd(commandLine);
    if (!frontEnd.Opens()) {
        return 0;
    }
    const forms::FormDesign design = Design(frontEnd.System());
    forms::win32::FormWindow window(instance, design, frontEnd.System());
#ifdef VARNOK_PSEUDO_LANGUAGES
    window.ReadSettingsWith(TestUserSettings);
#endif
    Handlers handlers(window.GetForm(), frontEnd.System());
    return frontEnd.Run(window);
}

}  // namespace launcher

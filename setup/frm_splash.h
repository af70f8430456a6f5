// frmSplash, the splash window of Setup: its design and its event handlers.
#pragma once

#include "form.h"
#include "launcher.h"
#include "product.h"

namespace setup {

inline constexpr const wchar_t* kClipFile = L"Varnok.avi";

// The window's design, with the texts of the language the program speaks.
forms::FormDesign SplashDesign(forms::FormSystem& system);

class FrmSplash {
  public:
    FrmSplash(forms::Form& form, launcher::System& system);

    std::wstring CurrentDir;  // the install root

    void Form_Load();
    void Timer1_Timer();
    void Label8_MouseMove();
    void Form_MouseMove();
    void Label8_Click();

  private:
    forms::Form& form_;
    launcher::System& system_;
};

}  // namespace setup

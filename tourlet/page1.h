// Page1, the wizard window of Tourlet: its design and its event handlers.
#pragma once

#include "form.h"
#include "launcher.h"

namespace tourlet {

// The window's design, with the texts of the language the program speaks.
forms::FormDesign WizardDesign(forms::FormSystem& system);

class Page1 {
  public:
    Page1(forms::Form& form, launcher::System& system);

    int Page = 0;  // the page on show: 0, 1 or 2; 3 only while handing off

    void Form_Load();
    void NextButton_Click();
    void BackButton_Click();
    void CancelButton_Click();

  private:
    void ShowPage();
    void ShowPageText();

    forms::Form& form_;
    launcher::System& system_;
};

}  // namespace tourlet

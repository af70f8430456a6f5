// The launcher's operating system on Windows: the thin adapter that puts the front end's
// guard, the clip file, the program start, the text tables, folders and time behind System.
#pragma once

#include <windows.h>

#include <memory>

#include "front_end_guard.h"
#include "language.h"
#include "launcher.h"
#include "program_start.h"
#include "text_table.h"

namespace launcher {

class Win32System : public System {
  public:
    // The language the program speaks, which a program it hands the front end on speaks too.
    explicit Win32System(const Language& language = ShippedLanguages()[0]);

    // The window that owns what the starts show (prompts), and that a later start of the
    // front end brings to the front while this program holds the guard; given once it exists.
    void SetOwner(HWND owner);
    const Language& SpokenLanguage() const { return language_; }

    uint64_t NowMs() override;
    std::wstring_view Text(int id) override;
    base::Result<std::unique_ptr<forms::FileReader>> OpenFile(const std::wstring& name) override;

    std::optional<std::wstring> CurrentDirectory() override;
    bool ChangeDirectory(const std::wstring& directory) override;
    std::optional<std::wstring> ProgramFolder() override;
    ScreenSize PrimaryScreen() override;
    DirectStart StartDirectly(const std::wstring& path, Handover handover) override;
    StartResult StartThroughShell(const std::wstring& path, Handover handover) override;
    bool TakeFrontEndGuard(Handover handover) override;
    void LetGoOfFrontEndGuard() override;
    bool ShowOtherFrontEnd() override;
    void Pause(unsigned ms) override { Sleep(ms); }

  private:
    const Language& language_;
    TextTable spoken_;
    TextTable english_;  // what a language lacks
    FrontEndGuard guard_;
    ProgramStart start_{guard_, language_};
};

}  // namespace launcher

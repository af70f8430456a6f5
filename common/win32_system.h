// The launcher's operating system on Windows.
#pragma once

#include <windows.h>

#include <memory>

#include "handles.h"
#include "language.h"
#include "launcher.h"
#include "system_library.h"
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
    // The mark that a later start finds the guard's holder by.
    void Mark(bool marked);
    void HandGuardTo(HANDLE process);
    // The next program's switches: the front end handed on, and this one's language.
    std::wstring HandedOn() const;

    HWND owner_ = nullptr;
    base::win32::OwnedMutex guard_;
    // Loaded for the first start and kept: the shell may leave work, COM objects or windows
    // behind that the boxes after a failed start still run beside.
    std::unique_ptr<base::win32::SystemLibrary> ole32_;
    std::unique_ptr<base::win32::SystemLibrary> shell32_;
};

}  // namespace launcher

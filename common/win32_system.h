// The launcher's operating system on Windows.
#pragma once

#include <windows.h>

#include "launcher.h"

namespace launcher {

class Win32System : public System {
  public:
    explicit Win32System(HWND owner) : owner_(owner) {}

    std::optional<std::wstring> CurrentDirectory() override;
    ScreenSize PrimaryScreen() override;
    bool StartProgram(const std::wstring& path) override;

  private:
    HWND owner_;
};

}  // namespace launcher

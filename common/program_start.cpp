#include "program_start.h"

#include <objbase.h>
#include <shellapi.h>

namespace launcher {

using base::win32::SystemLibrary;

std::wstring ProgramStart::HandedOn() const {
    std::wstring switches(kHandoverSwitch);
    return switches.append(1, L' ').append(LanguageSwitch(language_));
}

// CreateProcess, as installers start the programs they chain: the shell would check the
// file's zone again, so a program from a downloaded image that the user already let run
// would ask once more for each program after it.
DirectStart ProgramStart::Directly(const std::wstring& path, Handover handover) {
    const bool handingOn = handover == Handover::FrontEnd;
    std::wstring commandLine(1, L'"');
    commandLine.append(path).append(1, L'"');
    if (handingOn) {
        commandLine.append(1, L' ').append(HandedOn());
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // A start meanwhile waits for the next program's window, not this one's, which goes.
    guard_.Mark(!handingOn);
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &started)) {
        const base::win32::OwnedProcess process(started.hProcess);
        CloseHandle(started.hThread);
        if (handingOn) {
            guard_.HandTo(process.get());
        }
        return DirectStart::Started;
    }
    const DWORD error = GetLastError();
    guard_.Mark(true);  // this program's boxes are the front end now
    // ERROR_ELEVATION_REQUIRED, which mingw-w64's headers do not name.
    constexpr DWORD kElevationRequired = 740;
    return error == kElevationRequired ? DirectStart::ElevationRequired : DirectStart::Failed;
}

// The shell asks the user for elevation where CreateProcess cannot start the program without
// it. It may hand the start to COM, so the thread joins an apartment first, for good.
StartResult ProgramStart::ThroughShell(const std::wstring& path, Handover handover) {
    if (!shell32_) {
        ole32_ = std::make_unique<SystemLibrary>(L"ole32.dll");
        shell32_ = std::make_unique<SystemLibrary>(L"shell32.dll");
        if (const auto initialise = ole32_->Find<decltype(CoInitializeEx)>("CoInitializeEx")) {
            initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        }
    }
    const auto shellExecute = shell32_->Find<decltype(ShellExecuteExW)>("ShellExecuteExW");
    if (shellExecute == nullptr) {
        return StartResult::Failed;
    }
    const bool handingOn = handover == Handover::FrontEnd;
    const std::wstring handedOn = HandedOn();
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    start.hwnd = owner_;
    start.lpFile = path.c_str();
    start.lpParameters = handingOn ? handedOn.c_str() : nullptr;
    start.nShow = SW_SHOWNORMAL;
    // A start meanwhile waits for the next program's window, not this one's, which goes.
    guard_.Mark(!handingOn);
    // An elevated program cannot be given a handle of this one's: this one holds the guard
    // until it ends, and the started program opens the guard's name as its own.
    if (shellExecute(&start) != FALSE) {
        return StartResult::Started;
    }
    const DWORD error = GetLastError();
    guard_.Mark(true);  // this program's boxes are the front end now
    // The user answered No to the elevation prompt.
    return error == ERROR_CANCELLED ? StartResult::Declined : StartResult::Failed;
}

}  // namespace launcher

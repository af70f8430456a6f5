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
    // Handing on, our window loses its mark first: a second start of the front end meanwhile
    // then waits for the next program's window rather than bringing ours forward as it closes.
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
    guard_.Mark(true);  // failed: our error boxes are what a second start brings forward
    // ERROR_ELEVATION_REQUIRED, which mingw-w64's headers do not name.
    constexpr DWORD kElevationRequired = 740;
    return error == kElevationRequired ? DirectStart::ElevationRequired : DirectStart::Failed;
}

// The shell asks the user for elevation where CreateProcess cannot start the program without
// it. ShellExecuteEx may use COM (shell extensions, the elevation service), so the thread
// first initialises COM as a single-threaded apartment, as its documentation asks, and stays
// initialised for the program's life.
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
    const std::wstring handedOn = handingOn ? HandedOn() : std::wstring();
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    start.hwnd = owner_;
    start.lpFile = path.c_str();
    start.lpParameters = handingOn ? handedOn.c_str() : nullptr;
    start.nShow = SW_SHOWNORMAL;
    // Handing on, our window loses its mark first, as for a direct start.
    guard_.Mark(!handingOn);
    // No handle can be duplicated into an elevated process. So this program keeps the guard
    // until it ends, and the started one, told by its command line that the front end is
    // handed to it, opens the guard by its name and holds it too.
    if (shellExecute(&start) != FALSE) {
        return StartResult::Started;
    }
    const DWORD error = GetLastError();
    guard_.Mark(true);  // failed: our error boxes are what a second start brings forward
    // The user answered No to the elevation prompt.
    return error == ERROR_CANCELLED ? StartResult::Declined : StartResult::Failed;
}

}  // namespace launcher

#include "win32_system.h"

#include <objbase.h>
#include <algorithm>
#include <shellapi.h>

#include "error.h"
#include "handles.h"
#include "sentence.h"
#include "system_library.h"
#include "text.h"
#include "text_ids.h"

namespace launcher {

using base::win32::OwnedFile;
using base::win32::SystemLibrary;
using base::win32::SystemMessage;

namespace {

// A splash clip is a few hundred kilobytes; a file this large is something else.
constexpr uint64_t kLargestFile = 256u << 20;

// In the session's namespace: the front end of another user's session is no concern here.
constexpr wchar_t kFrontEndGuard[] = L"Local\\Pelmor.VARNOK.FrontEnd";
// The guard holder's window carries it. Neither a caption nor a class name would do: another
// program may have either, and a front end handing over still shows its window for a moment.
constexpr wchar_t kFrontEndMark[] = L"Pelmor.VARNOK.FrontEnd";
BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (GetPropW(window, kFrontEndMark) == nullptr) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

struct Shown {
    DWORD process = 0;
    HWND window = nullptr;
};

BOOL CALLBACK FindShown(HWND window, LPARAM search) {
    auto& shown = *reinterpret_cast<Shown*>(search);
    DWORD process = 0;
    if (!IsWindowVisible(window) || GetWindowThreadProcessId(window, &process) == 0 ||
        process != shown.process) {
        return TRUE;
    }
    shown.window = window;
    return FALSE;
}

// What the holder shows: its marked window, or the box it last activated in front of it;
// with the window hidden, the holder's topmost window, from whichever of its threads (a
// failed hand-off's boxes, the runtime's fault box on a thread of its own). Where the window
// shows, no other window of its process counts: an input method's or the shell's may be in
// front of it. Nothing here sends the holder a message, so a hung holder cannot hold this up.
Shown ShownFrontEnd() {
    HWND marked = nullptr;
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&marked));
    Shown shown;
    if (marked == nullptr || GetWindowThreadProcessId(marked, &shown.process) == 0) {
        return {};
    }
    if (IsWindowVisible(marked)) {
        const HWND popup = GetLastActivePopup(marked);
        shown.window = IsWindowVisible(popup) ? popup : marked;
        return shown;
    }
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&shown));
    if (shown.window != nullptr) {
        shown.window = GetLastActivePopup(shown.window);
    }
    return shown;
}

// On top of every window that is not topmost, not activated. Posted, not sent: the holder
// may be hung.
void RaiseAboveOthers(HWND window) {
    constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kFlags);
}

}  // namespace

// The wide API with a buffer of the size it asks for: any length, any letters.
std::optional<std::wstring> Win32System::CurrentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    while (size != 0) {
        std::wstring directory(size, L'\0');
        const DWORD written = GetCurrentDirectoryW(size, directory.data());
        if (written == 0) {
            break;
        }
        if (written < size) {
            directory.resize(written);
            return directory;
        }
        size = written;  // the directory changed in between and grew
    }
    return std::nullopt;
}

void Win32System::SetOwner(HWND owner) {
    owner_ = owner;
    Mark(true);
}

void Win32System::Mark(bool marked) {
    if (owner_ == nullptr || !IsWindow(owner_)) {
        return;
    }
    if (marked && guard_) {
        SetPropW(owner_, kFrontEndMark, reinterpret_cast<HANDLE>(1));
    } else if (!marked) {
        RemovePropW(owner_, kFrontEndMark);
    }
}

// The guard is the name's existence: whoever has it open holds it. A front end that runs as
// another user (Run as administrator) makes the name refuse access.
bool Win32System::TakeFrontEndGuard(Handover handover) {
    HANDLE guard = CreateMutexW(nullptr, FALSE, kFrontEndGuard);
    const DWORD error = GetLastError();
    if (guard == nullptr) {
        // Handed on, or where the system has no guard to give: open rather than block.
        return handover == Handover::FrontEnd || error != ERROR_ACCESS_DENIED;
    }
    guard_.reset(guard);
    if (error == ERROR_ALREADY_EXISTS && handover == Handover::None) {
        guard_.reset();  // left open, it would hold the name for the holder once that ends
        return false;
    }
    return true;
}

void Win32System::LetGoOfFrontEndGuard() {
    Mark(false);
    guard_.reset();
}

// The program the user just started may set the foreground; the one that holds the guard,
// started earlier, may no longer. So this one brings it forward, and passes its right on for
// the holder's next box. Where the system refuses even this one, the window still comes on
// top of the others, and its taskbar button (the wizard's, a box's) flashes until the user
// comes to it.
bool Win32System::ShowOtherFrontEnd() {
    const Shown shown = ShownFrontEnd();
    if (shown.window == nullptr) {
        return false;
    }
    AllowSetForegroundWindow(shown.process);
    const HWND root = GetAncestor(shown.window, GA_ROOTOWNER);
    if (IsIconic(root)) {
        ShowWindowAsync(root, SW_RESTORE);
    }
    if (!SetForegroundWindow(shown.window)) {
        RaiseAboveOthers(root);  // its owned boxes come with it
        FLASHWINFO flash{sizeof flash, root, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
    return true;
}

// The started program holds a handle of its own to the guard from its start, so no start in
// between finds the guard free, however long the program takes to run; it lasts as long as
// that program. Where it cannot be given (an elevated program), this one holds the guard
// until it ends.
void Win32System::HandGuardTo(HANDLE process) {
    HANDLE copy = nullptr;
    if (guard_ && DuplicateHandle(GetCurrentProcess(), guard_.get(), process, &copy, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS)) {
        guard_.reset();
    }
}

bool Win32System::ChangeDirectory(const std::wstring& directory) {
    return SetCurrentDirectoryW(directory.c_str()) != FALSE;
}

// The folder of the program's own file in its long form, with the backslash of a drive root
// kept: "D:" alone would name that drive's working directory, not its root. Started by a
// short name (D:\LONGFO~1\Setup.exe), the file's name is short, and the install root and
// the command box would be too.
std::optional<std::wstring> Win32System::ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::nullopt;
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    if (const DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0); length != 0) {
        std::wstring longPath(length, L'\0');
        const DWORD written = GetLongPathNameW(path.c_str(), longPath.data(), length);
        if (written != 0 && written < length) {
            longPath.resize(written);
            path = std::move(longPath);
        }
    }
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        return std::nullopt;
    }
    const bool driveRoot = slash == 2 && path[1] == L':';
    return path.substr(0, driveRoot ? slash + 1 : slash);
}

namespace {

// The program's table of a language's texts; none where it carries none, or a damaged one.
TextTable LoadTexts(LANGID language) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceExW(module, L"TEXTS", MAKEINTRESOURCEW(1), language);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* bytes =
        static_cast<const uint8_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        return {};
    }
    base::Result<TextTable> table = TextTable::Unpack({bytes, SizeofResource(module, found)});
    return table ? std::move(*table) : TextTable{};
}

}  // namespace

Win32System::Win32System(const Language& language)
    : language_(language),
      spoken_(LoadTexts(language.id)),
      english_(LoadTexts(ShippedLanguages().front().id)) {}

// In the program's language; English where that lacks a text.
std::wstring_view Win32System::Text(int id) {
    const std::wstring_view text = spoken_.Text(id);
    return !text.empty() ? text : english_.Text(id);
}

uint64_t Win32System::NowMs() {
    return GetTickCount64();
}

namespace {

// Read past the system's cache, which would read ahead of what is asked: from a CD, many times
// the headers that the window waits for. Unbuffered, the drive reads just what is asked, which
// must come in whole sectors, at whole sectors from the file's start, into memory aligned
// alike. A page is a whole number of sectors on every drive, and VirtualAlloc gives pages.
constexpr DWORD kPage = 4096;
constexpr DWORD kStagedBytes = 16 * kPage;  // as much as the frames are read in a piece

class Win32FileReader : public forms::FileReader {
  public:
    Win32FileReader(OwnedFile file, uint64_t size, std::wstring_view notRead)
        : file_(std::move(file)),
          staged_(VirtualAlloc(nullptr, kStagedBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)),
          size_(size),
          notRead_(notRead) {}

    uint64_t Size() const override { return size_; }

    // The first page, which tells whether the volume reads the file as it was opened.
    base::Fault ReadFirstPage() { return Stage(kPage); }

    base::Fault ReadMore(std::vector<uint8_t>& bytes, size_t count) override {
        const auto* const staged = static_cast<const uint8_t*>(staged_.get());
        while (count > 0) {
            if (next_ == end_) {
                if (ended_) {
                    break;
                }
                if (base::Fault fault = Stage(count)) {
                    return fault;
                }
                continue;
            }
            const size_t taken = std::min<size_t>(count, end_ - next_);
            bytes.insert(bytes.end(), staged + next_, staged + next_ + taken);
            next_ += static_cast<DWORD>(taken);
            count -= taken;
        }
        return std::nullopt;
    }

  private:
    // The next pages of the file, enough for `wanted` bytes where they fit.
    base::Fault Stage(size_t wanted) {
        if (!staged_) {
            return base::Error(base::Sentence(notRead_, {SystemMessage(ERROR_OUTOFMEMORY)}));
        }
        const DWORD asked = static_cast<DWORD>(
            std::min<size_t>(kStagedBytes, (wanted + kPage - 1) / kPage * kPage));
        DWORD read = 0;
        if (!::ReadFile(file_.get(), staged_.get(), asked, &read, nullptr)) {
            return base::Error(base::Sentence(notRead_, {SystemMessage(GetLastError())}));
        }
        next_ = 0;
        end_ = read;
        ended_ = read < asked;  // the end of the file
        return std::nullopt;
    }

    OwnedFile file_;
    base::win32::OwnedPages staged_;
    DWORD next_ = 0;  // the first staged byte not handed out yet
    DWORD end_ = 0;
    bool ended_ = false;
    uint64_t size_;
    std::wstring_view notRead_;
};

base::Result<std::unique_ptr<forms::FileReader>> OpenAndReadFirstPage(const std::wstring& name,
                                                                      bool pastCache,
                                                                      forms::FormSystem& texts) {
    OwnedFile file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               pastCache ? FILE_FLAG_NO_BUFFERING : 0, nullptr));
    if (!file) {
        return base::Error(
            base::Sentence(texts.Text(texts::kClipNotOpened), {SystemMessage(GetLastError())}));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kLargestFile) {
        return base::Error(base::Utf8(texts.Text(texts::kClipTooLarge)));
    }
    auto reader = std::make_unique<Win32FileReader>(
        std::move(file), static_cast<uint64_t>(size.QuadPart), texts.Text(texts::kClipNotRead));
    if (base::Fault fault = reader->ReadFirstPage()) {
        return std::move(*fault);
    }
    return std::unique_ptr<forms::FileReader>(std::move(reader));
}

}  // namespace

// Front to back, once, each byte where it is needed: the headers before the window shows, the
// frames after.
base::Result<std::unique_ptr<forms::FileReader>> Win32System::OpenFile(const std::wstring& name) {
    return forms::OpenPastCacheOrThrough(
        [this, &name](bool pastCache) { return OpenAndReadFirstPage(name, pastCache, *this); });
}

ScreenSize Win32System::PrimaryScreen() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

std::wstring Win32System::HandedOn() const {
    std::wstring switches(kHandoverSwitch);
    return switches.append(1, L' ').append(LanguageSwitch(language_));
}

// CreateProcess, as installers start the programs they chain: the shell would check the
// file's zone again, so a program from a downloaded image that the user already let run
// would ask once more for each program after it.
DirectStart Win32System::StartDirectly(const std::wstring& path, Handover handover) {
    const bool handingOn = handover == Handover::FrontEnd;
    std::wstring commandLine(1, L'"');
    commandLine.append(path).append(handingOn ? L"\" " : L"\"");
    if (handingOn) {
        commandLine.append(HandedOn());
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // A start meanwhile waits for the next program's window, not this one's, which goes.
    Mark(!handingOn);
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &started)) {
        const base::win32::OwnedProcess process(started.hProcess);
        CloseHandle(started.hThread);
        if (handingOn) {
            HandGuardTo(process.get());
        }
        return DirectStart::Started;
    }
    const DWORD error = GetLastError();
    Mark(true);  // this program's boxes are the front end now
    // ERROR_ELEVATION_REQUIRED, which mingw-w64's headers do not name.
    constexpr DWORD kElevationRequired = 740;
    return error == kElevationRequired ? DirectStart::ElevationRequired : DirectStart::Failed;
}

// The shell asks the user for elevation where CreateProcess cannot start the program without
// it. It may hand the start to COM, so the thread joins an apartment first, for good.
StartResult Win32System::StartThroughShell(const std::wstring& path, Handover handover) {
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
    Mark(!handingOn);
    // An elevated program cannot be given a handle of this one's: this one holds the guard
    // until it ends, and the started program opens the guard's name as its own.
    if (shellExecute(&start) != FALSE) {
        return StartResult::Started;
    }
    const DWORD error = GetLastError();
    Mark(true);  // this program's boxes are the front end now
    // The user answered No to the elevation prompt.
    return error == ERROR_CANCELLED ? StartResult::Declined : StartResult::Failed;
}

}  // namespace launcher

#include "win32_system.h"

#include "clip_file.h"

namespace launcher {

// Through the wide API, with a buffer of the size it says it needs (asked again where the
// directory changed meanwhile): paths of any length, in any letters.
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

base::Result<std::unique_ptr<forms::FileReader>> Win32System::OpenFile(const std::wstring& name) {
    return OpenClipFile(name, *this);
}

ScreenSize Win32System::PrimaryScreen() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void Win32System::SetOwner(HWND owner) {
    start_.SetOwner(owner);
    guard_.MarkWindow(owner);
}

bool Win32System::TakeFrontEndGuard(Handover handover) {
    return guard_.Take(handover);
}

void Win32System::LetGoOfFrontEndGuard() {
    guard_.LetGo();
}

bool Win32System::ShowOtherFrontEnd() {
    return guard_.ShowOther();
}

DirectStart Win32System::StartDirectly(const std::wstring& path, Handover handover) {
    return start_.Directly(path, handover);
}

StartResult Win32System::StartThroughShell(const std::wstring& path, Handover handover) {
    return start_.ThroughShell(path, handover);
}

}  // namespace launcher

// The end-to-end tests' eyes inside Wine: lists the top-level windows with their state and
// the texts of their children, or asks a window to close.
//   probe list <output file>        one window a line, UTF-8, tab-separated
//   probe close <window class>      posts WM_CLOSE to the visible windows of that class
//   probe ok <box title>            presses OK in the visible message box of that title
//   probe resize <class> <w> <h>    gives the visible windows of that class a new outer size
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Tabs and line ends inside texts would break the line format.
std::string Escaped(const std::wstring& text) {
    std::string out;
    for (char c : Utf8(text)) {
        out += c == '\n'   ? std::string("\\n")
               : c == '\r' ? std::string()
               : c == '\t' ? std::string(" ")
                           : std::string(1, c);
    }
    return out;
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

BOOL CALLBACK AddChildText(HWND child, LPARAM texts) {
    const std::wstring text = TextOf(child);
    if (!text.empty()) {
        auto& all = *reinterpret_cast<std::wstring*>(texts);
        all +=
            (all.empty() ? L"" : L" | ") + text + (IsWindowEnabled(child) ? L"" : L" (disabled)");
    }
    return TRUE;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM output) {
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::wstring children;
    EnumChildWindows(window, AddChildText, reinterpret_cast<LPARAM>(&children));
    std::fprintf(
        reinterpret_cast<FILE*>(output),
        "%lu\t%d\t%s\t%s\t%ld,%ld,%ld,%ld\t%ld,%ld\t%lx\t%lx\t%s\n", process,
        IsWindowVisible(window) ? 1 : 0, Escaped(ClassOf(window)).c_str(),
        Escaped(TextOf(window)).c_str(), outer.left, outer.top, outer.right, outer.bottom,
        client.right, client.bottom, static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)), Escaped(children).c_str());
    return TRUE;
}

struct Request {
    std::wstring className;
    std::wstring title;
    UINT message;
    WPARAM wParam;
    int done = 0;
};

BOOL CALLBACK PostToMatchingWindow(HWND window, LPARAM request) {
    auto& wanted = *reinterpret_cast<Request*>(request);
    if (IsWindowVisible(window) && ClassOf(window) == wanted.className &&
        (wanted.title.empty() || TextOf(window) == wanted.title)) {
        PostMessageW(window, wanted.message, wanted.wParam, 0);
        ++wanted.done;
    }
    return TRUE;
}

BOOL CALLBACK ResizeMatchingWindow(HWND window, LPARAM request) {
    auto& wanted = *reinterpret_cast<Request*>(request);
    if (IsWindowVisible(window) && ClassOf(window) == wanted.className) {
        SetWindowPos(window, nullptr, 0, 0, LOWORD(wanted.wParam), HIWORD(wanted.wParam),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ++wanted.done;
    }
    return TRUE;
}

int PostToWindows(Request request) {
    EnumWindows(PostToMatchingWindow, reinterpret_cast<LPARAM>(&request));
    return request.done > 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"list") {
        const std::wstring temporary = std::wstring(argv[2]) + L".part";
        FILE* output = _wfopen(temporary.c_str(), L"wb");
        if (output == nullptr) {
            return 2;
        }
        EnumWindows(ListWindow, reinterpret_cast<LPARAM>(output));
        std::fclose(output);
        // Whole or not at all: the reader never sees half a list.
        return MoveFileExW(temporary.c_str(), argv[2], MOVEFILE_REPLACE_EXISTING) ? 0 : 2;
    }
    if (argc == 3 && std::wstring(argv[1]) == L"close") {
        return PostToWindows({argv[2], L"", WM_CLOSE, 0});
    }
    if (argc == 3 && std::wstring(argv[1]) == L"ok") {
        return PostToWindows({L"#32770", argv[2], WM_COMMAND, IDOK});
    }
    if (argc == 5 && std::wstring(argv[1]) == L"resize") {
        const auto size = MAKEWPARAM(_wtoi(argv[3]), _wtoi(argv[4]));
        Request request{argv[2], L"", 0, size};
        EnumWindows(ResizeMatchingWindow, reinterpret_cast<LPARAM>(&request));
        return request.done > 0 ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: probe list <file> | probe close <class> | probe ok <title> | "
                 "probe resize <class> <width> <height>\n");
    return 2;
}

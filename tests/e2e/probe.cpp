// The end-to-end tests' eyes inside Wine: lists the top-level windows with their state and
// the texts of their children, or asks a window to close.
//   probe list <output file>        one window a line, UTF-8, tab-separated
//   probe close <window class>      posts WM_CLOSE to the visible windows of that class
//   probe ok <box title>            presses OK in the visible message box of that title
//   probe resize <class> <w> <h>    gives the visible windows of that class a new outer size
//   probe tree <class> <output file> the client area's accessible object and its children:
//                                    id, name, role, state, default action; UTF-8
//   probe press <class> <name>       does the default action of the child of that name
//   probe events <class> <seconds> <output file>
//                                    the client area's accessibility events for that long:
//                                    a first line "ready", then event, child id, child's name
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <string>
#include <vector>

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

// Through the other program's process, as a screen reader reads it. The id is spelt out:
// the 64-bit oleacc import library resolves IID_IAccessible to a code stub.
constexpr IID kIidAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct Accessible {
    IAccessible* object = nullptr;
    LONG id = CHILDID_SELF;
};

std::wstring Take(BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return out;
}

std::vector<Accessible> ChildrenOf(IAccessible* parent) {
    LONG count = 0;
    parent->get_accChildCount(&count);
    std::vector<VARIANT> found(static_cast<size_t>(count));
    LONG obtained = 0;
    AccessibleChildren(parent, 0, count, found.data(), &obtained);
    std::vector<Accessible> children;
    for (LONG i = 0; i < obtained; ++i) {
        VARIANT& child = found[static_cast<size_t>(i)];
        if (child.vt == VT_DISPATCH) {
            IAccessible* object = nullptr;
            child.pdispVal->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&object));
            child.pdispVal->Release();
            children.push_back({object, CHILDID_SELF});
        } else if (child.vt == VT_I4) {
            parent->AddRef();
            children.push_back({parent, child.lVal});
        }
    }
    return children;
}

std::string Describe(const Accessible& item) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = item.id;
    BSTR name = nullptr, action = nullptr;
    VARIANT role{}, state{};
    item.object->get_accName(self, &name);
    item.object->get_accRole(self, &role);
    item.object->get_accState(self, &state);
    item.object->get_accDefaultAction(self, &action);
    LONG left = 0, top = 0, width = 0, height = 0;
    item.object->accLocation(&left, &top, &width, &height, self);
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "\t%ld\t%lx\t", role.vt == VT_I4 ? role.lVal : -1L,
                  state.vt == VT_I4 ? static_cast<unsigned long>(state.lVal) : 0ul);
    char place[96];
    std::snprintf(place, sizeof place, "\t%ld,%ld,%ld,%ld", left, top, width, height);
    return std::to_string(item.id) + "\t" + Escaped(Take(name)) + numbers + Escaped(Take(action)) +
           place;
}

IAccessible* ClientObjectOf(const std::wstring& className) {
    HWND window = FindWindowW(className.c_str(), nullptr);
    IAccessible* client = nullptr;
    if (window == nullptr ||
        FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                          reinterpret_cast<void**>(&client)))) {
        return nullptr;
    }
    return client;
}

int WriteTree(const std::wstring& className, const std::wstring& path) {
    IAccessible* client = ClientObjectOf(className);
    FILE* output = _wfopen(path.c_str(), L"wb");
    if (client == nullptr || output == nullptr) {
        return 1;
    }
    std::fprintf(output, "%s\n", Describe({client, CHILDID_SELF}).c_str());
    for (const Accessible& child : ChildrenOf(client)) {
        std::fprintf(output, "%s\n", Describe(child).c_str());
        child.object->Release();
    }
    std::fclose(output);
    client->Release();
    return 0;
}

struct EventLog {
    HWND window = nullptr;
    FILE* output = nullptr;
};
EventLog* watched = nullptr;  // WinEvent callbacks carry no context of their own

const char* EventName(DWORD event) {
    switch (event) {
        case EVENT_OBJECT_SHOW:
            return "show";
        case EVENT_OBJECT_HIDE:
            return "hide";
        case EVENT_OBJECT_REORDER:
            return "reorder";
        case EVENT_OBJECT_STATECHANGE:
            return "state";
        case EVENT_OBJECT_NAMECHANGE:
            return "name";
        default:
            return nullptr;
    }
}

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                         DWORD) {
    if (window != watched->window || object != OBJID_CLIENT || EventName(event) == nullptr) {
        return;
    }
    std::wstring name;
    IAccessible* parent = nullptr;
    VARIANT found{};
    if (child != CHILDID_SELF &&
        SUCCEEDED(AccessibleObjectFromEvent(window, static_cast<DWORD>(object),
                                            static_cast<DWORD>(child), &parent, &found))) {
        BSTR text = nullptr;
        parent->get_accName(found, &text);
        name = Take(text);
        parent->Release();
    }
    std::fprintf(watched->output, "%s\t%ld\t%s\n", EventName(event), child, Escaped(name).c_str());
    std::fflush(watched->output);
}

int WatchEvents(const std::wstring& className, int seconds, const std::wstring& path) {
    EventLog log{FindWindowW(className.c_str(), nullptr), _wfopen(path.c_str(), L"wb")};
    DWORD process = 0;
    GetWindowThreadProcessId(log.window, &process);
    if (log.window == nullptr || log.output == nullptr) {
        return 1;
    }
    watched = &log;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_NAMECHANGE, nullptr,
                                         OnWinEvent, process, 0, WINEVENT_OUTOFCONTEXT);
    std::fprintf(log.output, "ready\n");
    std::fflush(log.output);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    UnhookWinEvent(hook);
    std::fclose(log.output);
    return 0;
}

int Press(const std::wstring& className, const std::wstring& wanted) {
    IAccessible* client = ClientObjectOf(className);
    if (client == nullptr) {
        return 1;
    }
    int result = 1;
    for (const Accessible& child : ChildrenOf(client)) {
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = child.id;
        BSTR name = nullptr;
        child.object->get_accName(self, &name);
        if (result != 0 && Take(name) == wanted) {
            result = SUCCEEDED(child.object->accDoDefaultAction(self)) ? 0 : 1;
        }
        child.object->Release();
    }
    client->Release();
    return result;
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
    if (argc == 4 && (std::wstring(argv[1]) == L"tree" || std::wstring(argv[1]) == L"press")) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const int result = std::wstring(argv[1]) == L"tree" ? WriteTree(argv[2], argv[3])
                                                            : Press(argv[2], argv[3]);
        CoUninitialize();
        return result;
    }
    if (argc == 5 && std::wstring(argv[1]) == L"events") {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const int result = WatchEvents(argv[2], _wtoi(argv[3]), argv[4]);
        CoUninitialize();
        return result;
    }
    if (argc == 5 && std::wstring(argv[1]) == L"resize") {
        const auto size = MAKEWPARAM(_wtoi(argv[3]), _wtoi(argv[4]));
        Request request{argv[2], L"", 0, size};
        EnumWindows(ResizeMatchingWindow, reinterpret_cast<LPARAM>(&request));
        return request.done > 0 ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: probe list <file> | probe close <class> | probe ok <title> | "
                 "probe resize <class> <width> <height> | probe tree <class> <file> | "
                 "probe press <class> <name> | probe events <class> <seconds> <file>\n");
    return 2;
}

// The end-to-end tests' eyes inside Wine. Everything it writes is JSON in UTF-8, every text
// exactly as the window holds it.
//   probe list <output file>        the top-level windows, their state and their children
//   probe close <window class>      posts WM_CLOSE to the visible windows of that class
//   probe ok <box title>            presses OK in the visible message box of that title
//   probe resize <class> <w> <h>    gives the visible windows of that class a new outer size
//   probe repaint <class>           repaints the visible windows of that class whole, now
//   probe tree <class> <output file> the client area's accessible object and its children:
//                                    id, name, role, state, default action and place, with
//                                    the HRESULT of every value that could not be read
//   probe press <class> <name>       does the default action of the child of that name
//   probe hold <class> <file>        holds the client area's object while the window goes:
//                                    what it answers where the accessibility contract fixes
//                                    it, then what every method answers once the window is
//                                    gone or hidden; <file>.ready tells that it holds it
//   probe short <path> <output file> the short form of the path
//   probe front <file>               holds the guard with a window marked as a front end's
//                                    shown, and another window of its own in front of it,
//                                    until <file> exists; <file>.held tells that both show
//   probe guard <file> [<ms>]        holds the front end's guard until <file> exists, and
//                                    <ms> longer; <file>.held tells that it holds it
//   probe frame <style> <ex style> <dpi> <output file>
//                                    what the system's frame of a window of that style adds
//                                    to its client area at that DPI: left, top, right, bottom
//   probe glyphs <face> <text file> <output file>
//                                    the characters of the UTF-8 text that the face, as the
//                                    system resolves its name, has no glyph for (a JSON string)
//   probe animation <0|1>            turns Windows' animation effects off or on, telling the
//                                    windows, as Settings does
//   probe colours <index>=<rrggbb>...
//                                    gives those system colours those values, telling the
//                                    windows, as a contrast theme does
//   probe events <class> <output file>
//                                    the client area's accessibility events of the windows
//                                    of that class, also those made later, until
//                                    <output file>.stop exists, one JSON object a line, the
//                                    first {"ready": true}
#include <windows.h>

#include <oleacc.h>

#include <cstdio>
#include <cstring>
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

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (char c : Utf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Plain ASCII that needs no escaping: names of events, numbers in hexadecimal.
std::string Quoted(const char* text) {
    return std::string("\"") + text + "\"";
}

std::string Json(long value) {
    return std::to_string(value);
}

std::string Json(bool value) {
    return value ? "true" : "false";
}

std::string Field(const char* name, const std::string& value) {
    return std::string("\"") + name + "\": " + value;
}

std::string Joined(const std::vector<std::string>& items, const char* open, const char* close) {
    std::string out = open;
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i ? ", " : "") + items[i];
    }
    return out + close;
}

std::string Object(const std::vector<std::string>& fields) {
    return Joined(fields, "{", "}");
}

std::string Array(const std::vector<std::string>& items) {
    return Joined(items, "[", "]");
}

bool WriteFile(const std::wstring& path, const std::string& text) {
    // Whole or not at all: the reader never sees half a file.
    const std::wstring temporary = path + L".part";
    FILE* output = _wfopen(temporary.c_str(), L"wb");
    if (output == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), output) == text.size();
    return std::fclose(output) == 0 && written &&
           MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
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

// A child window with its place in its parent's client area.
BOOL CALLBACK AddChild(HWND child, LPARAM children) {
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&place), 2);
    reinterpret_cast<std::vector<std::string>*>(children)->push_back(Object(
        {Field("class", Json(ClassOf(child))), Field("text", Json(TextOf(child))),
         Field("enabled", Json(IsWindowEnabled(child) != FALSE)),
         Field("place", Array({Json(place.left), Json(place.top), Json(place.right - place.left),
                               Json(place.bottom - place.top)}))}));
    return TRUE;
}

// How long the window's process has run, from the system's note of its creation; -1 where
// that cannot be read.
long ProcessAgeMs(DWORD process) {
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    const bool read =
        handle != nullptr && GetProcessTimes(handle, &created, &exited, &kernel, &user);
    if (handle != nullptr) {
        CloseHandle(handle);
    }
    if (!read) {
        return -1;
    }
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME time) {
        return static_cast<long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    };
    return static_cast<long>((ticks(now) - ticks(created)) / 10000);
}

// Whether `window` is `top` or lies inside it.
bool Within(HWND window, HWND top) {
    return window != nullptr && (window == top || IsChild(top, window));
}

BOOL CALLBACK AddWindow(HWND window, LPARAM windows) {
    // Visibility first: a program places its window before showing it, so a window seen
    // visible is then read where it shows, never where it was before it was placed.
    const bool visible = IsWindowVisible(window) != FALSE;
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    // The thread's keyboard focus and mouse capture: what its input has done by now.
    GUITHREADINFO input{};
    input.cbSize = sizeof input;
    const bool read = GetGUIThreadInfo(thread, &input) != FALSE;
    const HWND focus = read && Within(input.hwndFocus, window) ? input.hwndFocus : nullptr;
    std::vector<std::string> children;
    EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    reinterpret_cast<std::vector<std::string>*>(windows)->push_back(Object({
        Field("pid", Json(static_cast<long>(process))),
        Field("process_age_ms", Json(ProcessAgeMs(process))),
        Field("visible", Json(visible)),
        Field("class", Json(ClassOf(window))),
        Field("title", Json(TextOf(window))),
        Field("outer",
              Array({Json(outer.left), Json(outer.top), Json(outer.right), Json(outer.bottom)})),
        Field("client", Array({Json(client.right), Json(client.bottom)})),
        Field("style", Json(static_cast<long>(GetWindowLongW(window, GWL_STYLE)))),
        Field("ex_style", Json(static_cast<long>(GetWindowLongW(window, GWL_EXSTYLE)))),
        Field("children", Array(children)),
        Field("focus", focus != nullptr ? Json(TextOf(focus)) : "null"),
        Field("captured", Json(read && Within(input.hwndCapture, window))),
        Field("foreground", Json(GetForegroundWindow() == window)),
    }));
    return TRUE;
}

int ListWindows(const std::wstring& path) {
    std::vector<std::string> windows;
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&windows));
    return WriteFile(path, Array(windows) + "\n") ? 0 : 2;
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

BOOL CALLBACK RepaintMatchingWindow(HWND window, LPARAM request) {
    auto& wanted = *reinterpret_cast<Request*>(request);
    if (IsWindowVisible(window) && ClassOf(window) == wanted.className) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
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
    HRESULT found = S_OK;           // how the child was obtained; object is null where it failed
    IAccessible* parent = nullptr;  // for a child: the object that listed it, and its id there
    LONG idInParent = CHILDID_SELF;
};

std::wstring Take(BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return out;
}

std::string Hresult(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
    return Quoted(text);
}

std::vector<Accessible> ChildrenOf(IAccessible* parent, HRESULT& counted) {
    LONG count = 0;
    counted = parent->get_accChildCount(&count);
    if (FAILED(counted) || count <= 0) {
        return {};
    }
    std::vector<VARIANT> found(static_cast<size_t>(count));
    LONG obtained = 0;
    counted = AccessibleChildren(parent, 0, count, found.data(), &obtained);
    std::vector<Accessible> children;
    for (LONG i = 0; i < obtained; ++i) {
        VARIANT& child = found[static_cast<size_t>(i)];
        if (child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
            IAccessible* object = nullptr;
            const HRESULT result =
                child.pdispVal->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&object));
            child.pdispVal->Release();
            children.push_back(
                {SUCCEEDED(result) ? object : nullptr, CHILDID_SELF, result, parent, i + 1});
        } else if (child.vt == VT_I4) {
            parent->AddRef();
            children.push_back({parent, child.lVal, S_OK, parent, child.lVal});
        } else {
            VariantClear(&child);
            children.push_back({nullptr, CHILDID_SELF, E_UNEXPECTED, parent, i + 1});
        }
    }
    return children;
}

// One value an element was asked for: the value, or the HRESULT of the failure.
struct Values {
    std::vector<std::string> fields;
    std::vector<std::string> failed;

    void Add(const char* name, HRESULT result, const std::string& value) {
        if (FAILED(result)) {
            failed.push_back(Field(name, Hresult(result)));
        } else {
            fields.push_back(Field(name, value));
        }
    }
};

std::string NumberOf(const VARIANT& value) {
    return value.vt == VT_I4 ? Json(static_cast<long>(value.lVal)) : "null";
}

std::string Describe(const Accessible& item) {
    Values values;
    values.fields.push_back(Field("id", Json(static_cast<long>(item.id))));
    if (item.object == nullptr) {
        values.Add("object", item.found, "null");
        values.fields.push_back(Field("failed", Object(values.failed)));
        return Object(values.fields);
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = item.id;
    // Each value is read before it is written out: arguments have no order of evaluation.
    BSTR name = nullptr;
    HRESULT result = item.object->get_accName(self, &name);
    values.Add("name", result, Json(Take(name)));
    VARIANT role{};
    result = item.object->get_accRole(self, &role);
    values.Add("role", result, NumberOf(role));
    VariantClear(&role);
    VARIANT state{};
    result = item.object->get_accState(self, &state);
    values.Add("state", result, NumberOf(state));
    VariantClear(&state);
    BSTR action = nullptr;
    result = item.object->get_accDefaultAction(self, &action);
    // No default action is an answer, not a failure.
    values.Add("action", result == DISP_E_MEMBERNOTFOUND ? S_FALSE : result,
               action != nullptr ? Json(Take(action)) : "null");
    LONG left = 0, top = 0, width = 0, height = 0;
    result = item.object->accLocation(&left, &top, &width, &height, self);
    values.Add("place", result, Array({Json(left), Json(top), Json(width), Json(height)}));
    if (item.parent != nullptr) {  // the state as the listing object tells it, by child id
        VARIANT byId{};
        byId.vt = VT_I4;
        byId.lVal = item.idInParent;
        VARIANT told{};
        result = item.parent->get_accState(byId, &told);
        values.Add("parent_state", result, NumberOf(told));
        VariantClear(&told);
    }
    values.fields.push_back(Field("failed", Object(values.failed)));
    return Object(values.fields);
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
    if (client == nullptr) {
        return 1;
    }
    HRESULT counted = S_OK;
    std::vector<std::string> elements{Describe({client, CHILDID_SELF, S_OK})};
    for (const Accessible& child : ChildrenOf(client, counted)) {
        elements.push_back(Describe(child));
        if (child.object != nullptr) {
            child.object->Release();
        }
    }
    client->Release();
    if (FAILED(counted)) {  // a partial list would pass for the whole tree
        elements.push_back(Object(
            {Field("id", "null"), Field("failed", Object({Field("children", Hresult(counted))}))}));
    }
    return WriteFile(path, Array(elements) + "\n") ? 0 : 2;
}

struct EventLog {
    std::wstring className;  // the windows of this class, in whichever process, now or later
    FILE* output = nullptr;
};
EventLog* watched = nullptr;  // WinEvent callbacks carry no context of their own

constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED, Windows 8 on

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
        case EVENT_OBJECT_FOCUS:
            return "focus";
        case kLiveRegionChanged:
            return "liveregion";
        default:
            return nullptr;
    }
}

void WriteLine(const std::string& line) {
    std::fprintf(watched->output, "%s\n", line.c_str());
    std::fflush(watched->output);
}

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                         DWORD) {
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    if (className != watched->className || object != OBJID_CLIENT || EventName(event) == nullptr) {
        return;
    }
    std::vector<std::string> fields{Field("event", Quoted(EventName(event))),
                                    Field("child", Json(static_cast<long>(child)))};
    IAccessible* parent = nullptr;
    VARIANT found{};
    if (child != CHILDID_SELF) {
        HRESULT result = AccessibleObjectFromEvent(window, static_cast<DWORD>(object),
                                                   static_cast<DWORD>(child), &parent, &found);
        BSTR text = nullptr;
        if (SUCCEEDED(result)) {
            result = parent->get_accName(found, &text);
            parent->Release();
            VariantClear(&found);
        }
        fields.push_back(SUCCEEDED(result) ? Field("name", Json(Take(text)))
                                           : Field("failed", Hresult(result)));
    }
    WriteLine(Object(fields));
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Until the test has seen what it waited for and writes `<file>.stop`, or two minutes: no
// span of its own that a slow window could fall outside.
int WatchEvents(const std::wstring& className, const std::wstring& path) {
    EventLog log{className, _wfopen(path.c_str(), L"wb")};
    if (log.output == nullptr) {
        return 1;
    }
    watched = &log;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, kLiveRegionChanged, nullptr, OnWinEvent,
                                         0, 0, WINEVENT_OUTOFCONTEXT);
    if (hook == nullptr) {
        std::fclose(log.output);
        return 1;
    }
    WriteLine(Object({Field("ready", Json(true))}));
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (!Exists(path + L".stop") && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
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
    HRESULT counted = S_OK;
    for (const Accessible& child : ChildrenOf(client, counted)) {
        if (child.object == nullptr) {
            continue;
        }
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = child.id;
        BSTR name = nullptr;
        if (result != 0 && SUCCEEDED(child.object->get_accName(self, &name)) &&
            Take(name) == wanted) {
            result = SUCCEEDED(child.object->accDoDefaultAction(self)) ? 0 : 1;
        }
        child.object->Release();
    }
    client->Release();
    return result;
}

// Every IAccessible method once, on the object itself (the first child where a child is
// asked for), with what each answered; what a call gives back is released.
std::vector<std::string> CallEveryMethod(IAccessible* object) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT first = self;
    first.lVal = 1;
    std::vector<std::string> answers;
    const auto note = [&answers](const char* method, HRESULT result) {
        answers.push_back(Field(method, Hresult(result)));
    };
    IDispatch* dispatch = nullptr;
    note("get_accParent", object->get_accParent(&dispatch));
    if (dispatch != nullptr) {
        dispatch->Release();
        dispatch = nullptr;
    }
    LONG number = 0;
    note("get_accChildCount", object->get_accChildCount(&number));
    note("get_accChild", object->get_accChild(first, &dispatch));
    if (dispatch != nullptr) {
        dispatch->Release();
    }
    using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
    const std::pair<const char*, TextGetter> texts[] = {
        {"get_accName", &IAccessible::get_accName},
        {"get_accValue", &IAccessible::get_accValue},
        {"get_accDescription", &IAccessible::get_accDescription},
        {"get_accHelp", &IAccessible::get_accHelp},
        {"get_accKeyboardShortcut", &IAccessible::get_accKeyboardShortcut},
        {"get_accDefaultAction", &IAccessible::get_accDefaultAction}};
    for (const auto& [method, getter] : texts) {
        BSTR text = nullptr;
        note(method, (object->*getter)(self, &text));
        SysFreeString(text);
    }
    BSTR file = nullptr;
    note("get_accHelpTopic", object->get_accHelpTopic(&file, self, &number));
    SysFreeString(file);
    VARIANT out{};
    note("get_accRole", object->get_accRole(self, &out));
    VariantClear(&out);
    note("get_accState", object->get_accState(self, &out));
    VariantClear(&out);
    note("get_accFocus", object->get_accFocus(&out));
    VariantClear(&out);
    note("get_accSelection", object->get_accSelection(&out));
    VariantClear(&out);
    note("accNavigate", object->accNavigate(NAVDIR_FIRSTCHILD, self, &out));
    VariantClear(&out);
    note("accHitTest", object->accHitTest(0, 0, &out));
    VariantClear(&out);
    LONG left = 0, top = 0, width = 0, height = 0;
    note("accLocation", object->accLocation(&left, &top, &width, &height, self));
    note("accSelect", object->accSelect(SELFLAG_TAKEFOCUS, self));
    note("accDoDefaultAction", object->accDoDefaultAction(first));
    BSTR name = SysAllocString(L"renamed");
    note("put_accName", object->put_accName(self, name));
    note("put_accValue", object->put_accValue(self, name));
    SysFreeString(name);
    return answers;
}

// Holds the client area's accessible object as a screen reader that kept it would, while the
// window goes, however it goes. While the window lives: the answers Active Accessibility's
// contract fixes (no child id at all names the object itself; an id past the last child and
// a default action where there is none are refused as documented). Writes `<file>.ready`
// once it holds the object; once the window is gone or hidden (a program that failed, its
// box showing), calls every method. Where the window is gone, it then ends the message loop
// of the window's thread, for a program that pumps on past its window.
int Hold(const std::wstring& className, const std::wstring& path) {
    HWND window = FindWindowW(className.c_str(), nullptr);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    IAccessible* client = ClientObjectOf(className);
    if (client == nullptr) {
        return 1;
    }
    std::vector<std::string> alive;
    VARIANT empty{};
    BSTR name = nullptr;
    HRESULT result = client->get_accName(empty, &name);
    alive.push_back(Field("empty_id_name", SUCCEEDED(result) ? Json(Take(name)) : Hresult(result)));
    LONG count = 0;
    client->get_accChildCount(&count);
    VARIANT beyond{};
    beyond.vt = VT_I4;
    beyond.lVal = count + 1;
    VARIANT role{};
    alive.push_back(Field("beyond_last_role", Hresult(client->get_accRole(beyond, &role))));
    VARIANT first{};
    first.vt = VT_I4;
    first.lVal = 1;
    BSTR action = nullptr;
    result = client->get_accDefaultAction(first, &action);
    SysFreeString(action);
    alive.push_back(Field("first_child_action", Hresult(result)));
    const bool ready = WriteFile(path + L".ready", "ready\n");
    for (int waited = 0; ready && IsWindowVisible(window) && waited < 2400; ++waited) {
        Sleep(50);
    }
    const bool gone = !IsWindowVisible(window);
    const std::vector<std::string> after =
        gone ? CallEveryMethod(client) : std::vector<std::string>{};
    client->Release();
    if (!IsWindow(window)) {
        PostThreadMessageW(thread, WM_QUIT, 0, 0);
    }
    return gone && WriteFile(
                       path,
                       Object({Field("alive", Object(alive)), Field("gone", Object(after))}) + "\n")
               ? 0
               : 2;
}

// The short form of a path, as a program started by it sees it.
int WriteShortPath(const std::wstring& path, const std::wstring& output) {
    std::wstring shortPath(static_cast<size_t>(GetShortPathNameW(path.c_str(), nullptr, 0)), L'\0');
    const DWORD length =
        GetShortPathNameW(path.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    if (length == 0 || length >= shortPath.size()) {
        return 1;
    }
    shortPath.resize(length);
    return WriteFile(output, Json(shortPath) + "\n") ? 0 : 2;
}

int WriteFrame(const wchar_t* style, const wchar_t* exStyle, const wchar_t* dpi,
               const std::wstring& output) {
    RECT frame{};
    if (!AdjustWindowRectExForDpi(&frame, wcstoul(style, nullptr, 10), FALSE,
                                  wcstoul(exStyle, nullptr, 10), wcstoul(dpi, nullptr, 10))) {
        return 1;
    }
    const std::string json =
        Array({Json(frame.left), Json(frame.top), Json(frame.right), Json(frame.bottom)});
    return WriteFile(output, json + "\n") ? 0 : 2;
}

// What a text drawn in the face would show as empty boxes: its letters the face lacks.
int WriteMissingGlyphs(const std::wstring& face, const std::wstring& textPath,
                       const std::wstring& output) {
    FILE* in = _wfopen(textPath.c_str(), L"rb");
    if (in == nullptr) {
        return 2;
    }
    std::string utf8;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        utf8 += static_cast<char>(c);
    }
    std::fclose(in);
    std::wstring text(utf8.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                        static_cast<int>(utf8.size()), text.data(),
                                                        static_cast<int>(text.size()))));
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, face.c_str());
    HGDIOBJ before = SelectObject(screen, font);
    std::vector<WORD> glyphs(text.size());
    const bool read = GetGlyphIndicesW(screen, text.c_str(), static_cast<int>(text.size()),
                                       glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) != GDI_ERROR;
    SelectObject(screen, before);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    std::wstring missing;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] > L' ' && glyphs[i] == 0xFFFF) {
            missing += text[i];
        }
    }
    return read && WriteFile(output, Json(missing) + "\n") ? 0 : 2;
}

// Holds the guard as a front end whose window shows, marked as the programs mark theirs, with
// another top-level window of its process in front of it, as an input method's or the shell's
// may be.
int HoldGuardShown(const std::wstring& path) {
    HANDLE guard = CreateMutexW(nullptr, FALSE, L"Local\\Pelmor.VARNOK.FrontEnd");
    if (guard == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 1;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ProbeWindow";
    RegisterClassW(&windowClass);
    const auto show = [](const wchar_t* title, int left) {
        return CreateWindowExW(0, L"ProbeWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, left,
                               100, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    };
    const HWND marked = show(L"Probe front end", 100);
    SetPropW(marked, L"Pelmor.VARNOK.FrontEnd", reinterpret_cast<HANDLE>(1));
    const HWND other = show(L"Probe other window", 500);
    if (marked == nullptr || other == nullptr || !WriteFile(path + L".held", "held\n")) {
        return 1;
    }
    for (int waited = 0; !Exists(path) && waited < 2400; ++waited) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        Sleep(50);
    }
    RemovePropW(marked, L"Pelmor.VARNOK.FrontEnd");
    CloseHandle(guard);
    return 0;
}

// Holds the front end's guard, as a front end would that hangs before its window shows:
// writes <file>.held once it holds it, and lets go `afterMs` after <file> exists.
int HoldGuard(const std::wstring& path, DWORD afterMs) {
    HANDLE guard = CreateMutexW(nullptr, FALSE, L"Local\\Pelmor.VARNOK.FrontEnd");
    if (guard == nullptr || GetLastError() == ERROR_ALREADY_EXISTS ||
        !WriteFile(path + L".held", "held\n")) {
        return 1;
    }
    for (int waited = 0; !Exists(path) && waited < 2400; ++waited) {
        Sleep(50);
    }
    Sleep(afterMs);
    CloseHandle(guard);
    return 0;
}

int SetAnimation(const std::wstring& on) {
    void* const value = reinterpret_cast<void*>(static_cast<INT_PTR>(on == L"1"));
    return SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, value,
                                 SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)
               ? 0
               : 1;
}

int SetColours(int count, wchar_t** settings) {
    std::vector<INT> indexes;
    std::vector<COLORREF> values;
    for (int i = 0; i < count; ++i) {
        wchar_t* rest = nullptr;
        indexes.push_back(static_cast<INT>(wcstol(settings[i], &rest, 10)));
        const unsigned long rgb = *rest == L'=' ? wcstoul(rest + 1, nullptr, 16) : 0;
        values.push_back(RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
    }
    return SetSysColors(count, indexes.data(), values.data()) ? 0 : 1;
}

int WithCom(int (*work)(const std::wstring&, const std::wstring&), const wchar_t* first,
            const wchar_t* second) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = work(first, second);
    CoUninitialize();
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring verb = argc > 1 ? argv[1] : L"";
    if (argc == 3 && verb == L"list") {
        return ListWindows(argv[2]);
    }
    if (argc == 3 && verb == L"animation") {
        return SetAnimation(argv[2]);
    }
    if (argc > 2 && verb == L"colours") {
        return SetColours(argc - 2, argv + 2);
    }
    if (argc == 3 && verb == L"close") {
        return PostToWindows({argv[2], L"", WM_CLOSE, 0});
    }
    if (argc == 3 && verb == L"ok") {
        return PostToWindows({L"#32770", argv[2], WM_COMMAND, IDOK});
    }
    if (argc == 4 && verb == L"tree") {
        return WithCom(WriteTree, argv[2], argv[3]);
    }
    if (argc == 4 && verb == L"hold") {
        return WithCom(Hold, argv[2], argv[3]);
    }
    if (argc == 4 && verb == L"press") {
        return WithCom(Press, argv[2], argv[3]);
    }
    if (argc == 3 && verb == L"front") {
        return HoldGuardShown(argv[2]);
    }
    if ((argc == 3 || argc == 4) && verb == L"guard") {
        return HoldGuard(argv[2], argc == 4 ? wcstoul(argv[3], nullptr, 10) : 0);
    }
    if (argc == 4 && verb == L"short") {
        return WriteShortPath(argv[2], argv[3]);
    }
    if (argc == 6 && verb == L"frame") {
        return WriteFrame(argv[2], argv[3], argv[4], argv[5]);
    }
    if (argc == 5 && verb == L"glyphs") {
        return WriteMissingGlyphs(argv[2], argv[3], argv[4]);
    }
    if (argc == 4 && verb == L"events") {
        return WithCom(WatchEvents, argv[2], argv[3]);
    }
    if (argc == 5 && verb == L"resize") {
        const auto size = MAKEWPARAM(_wtoi(argv[3]), _wtoi(argv[4]));
        Request request{argv[2], L"", 0, size};
        EnumWindows(ResizeMatchingWindow, reinterpret_cast<LPARAM>(&request));
        return request.done > 0 ? 0 : 1;
    }
    if (argc == 3 && verb == L"repaint") {
        Request request{argv[2], L"", 0, 0};
        EnumWindows(RepaintMatchingWindow, reinterpret_cast<LPARAM>(&request));
        return request.done > 0 ? 0 : 1;
    }
    std::fprintf(
        stderr,
        "usage: probe list <file> | probe close <class> | probe ok <title> | "
        "probe resize <class> <width> <height> | probe repaint <class> | "
        "probe tree <class> <file> | "
        "probe press <class> <name> | probe hold <class> <file> | "
        "probe events <class> <file> | probe short <path> <file> | probe guard <file> [<ms>] | "
        "probe front <file> | "
        "probe frame <style> <ex style> <dpi> <file> | probe glyphs <face> <text> <file>\n");
    return 2;
}

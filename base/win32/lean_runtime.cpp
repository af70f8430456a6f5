// Linked into each program ahead of the C++ runtime, so these stand in for its own. The
// programs are built without exceptions, but the runtime's own allocation and container
// checks throw, and a single throw links in the unwinder with its tables: more than a third
// of each program. Here those faults end the program after telling why.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>

#include "fault.h"
#include "text_ids.h"

namespace {

struct EnglishText {
    int id;
    const wchar_t* text;
};
constexpr EnglishText kEnglish[] = {
#include "english_texts.inc"
};
constexpr const wchar_t* English(int id) {
    for (const EnglishText& english : kEnglish) {
        if (english.id == id) {
            return english.text;
        }
    }
    return L"";
}

// The box's texts are copied in when the language is chosen, so that telling a fault
// allocates nothing and unpacks nothing; English until then.
constexpr size_t kLongestFaultText = 255;

class FaultText {
  public:
    constexpr FaultText(const wchar_t* english, wchar_t* copy) : shown_(english), copy_(copy) {}
    void Take(std::wstring_view text) {
        if (text.empty()) {
            return;  // the English stays
        }
        const size_t length = std::min(text.size(), kLongestFaultText);
        std::copy_n(text.data(), length, copy_);
        copy_[length] = L'\0';
        shown_ = copy_;
    }
    const wchar_t* Shown() const { return shown_; }

  private:
    const wchar_t* shown_;
    wchar_t* copy_;
};

wchar_t outOfMemoryCopy[kLongestFaultText + 1];
wchar_t internalFaultCopy[kLongestFaultText + 1];
FaultText outOfMemory(English(texts::kOutOfMemory), outOfMemoryCopy);
// What a misused container or function object tells: its own text is the runtime's, for a
// programmer, and some of it a printf format.
FaultText internalFault(English(texts::kInternalFault), internalFaultCopy);
UINT faultReading = 0;  // a right-to-left language's box reads and aligns from the right

DWORD WINAPI ShowBox(void* text) {
    MessageBoxW(nullptr, static_cast<const wchar_t*>(text), nullptr,
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND | faultReading);
    return 0;
}

// Our windows let go of what clients hold of them, then take no message any more, and go: a
// paint, a timer or a posted press handled now would run on what just failed, and a screen
// reader's call would wait on this thread until the box is closed. Told apart by the module
// that made them, so the system's windows of this thread keep working.
BOOL CALLBACK Silence(HWND window, LPARAM module) {
    if (GetWindowLongPtrW(window, GWLP_HINSTANCE) == module) {
        SendMessageW(window, base::win32::kEndingAfterFault, 0, 0);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        ShowWindow(window, SW_HIDE);
    }
    return TRUE;
}

// Allocates nothing itself: it also tells that memory ran out. Our windows are silenced first,
// so nothing of ours runs behind the box, and a screen reader's call is answered as
// disconnected rather than left waiting. The box runs on a thread of its own, where a quit
// this thread was told before cannot close it; this one pumps meanwhile for the system's
// windows (COM's among them). Where no thread can be made, the box shows here.
[[noreturn]] void Fatal(const FaultText& what) {
    static bool telling = false;  // a fault while telling one ends at once
    if (!telling) {
        telling = true;
        EnumThreadWindows(GetCurrentThreadId(), Silence,
                          reinterpret_cast<LPARAM>(GetModuleHandleW(nullptr)));
        void* const text = const_cast<wchar_t*>(what.Shown());
        if (HANDLE box = CreateThread(nullptr, 0, ShowBox, text, 0, nullptr)) {
            while (MsgWaitForMultipleObjects(1, &box, FALSE, INFINITE, QS_ALLINPUT) ==
                   WAIT_OBJECT_0 + 1) {
                MSG message;
                while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                    DispatchMessageW(&message);
                }
            }
        } else {
            ShowBox(text);
        }
    }
    ExitProcess(1);
}

}  // namespace

void base::win32::SetFaultTexts(std::wstring_view outOfMemoryText,
                                std::wstring_view internalFaultText, bool rightToLeft) {
    outOfMemory.Take(outOfMemoryText);
    internalFault.Take(internalFaultText);
    faultReading = rightToLeft ? MB_RTLREADING | MB_RIGHT : 0;
}

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    Fatal(outOfMemory);
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

// What the standard containers and std::function do when misused or out of memory.
namespace std {

void __throw_bad_alloc() {
    Fatal(outOfMemory);
}

void __throw_bad_array_new_length() {
    Fatal(outOfMemory);
}

void __throw_length_error(const char*) {
    Fatal(internalFault);
}

void __throw_logic_error(const char*) {
    Fatal(internalFault);
}

void __throw_out_of_range(const char*) {
    Fatal(internalFault);
}

void __throw_out_of_range_fmt(const char*, ...) {
    Fatal(internalFault);
}

void __throw_bad_function_call() {
    Fatal(internalFault);
}

}  // namespace std

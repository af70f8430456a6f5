// Linked into each program ahead of the C++ runtime, so these stand in for its own. The
// programs are built without exceptions, but the runtime's own allocation and container
// checks throw, and a single throw links in the unwinder with its tables: more than a third
// of each program. Here those faults end the program after telling why.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

// Allocates nothing: it also tells that memory ran out.
[[noreturn]] void Fatal(const char* what) {
    // A fault while telling one (a timer's handler running behind the box) ends at once.
    static bool telling = false;
    if (!telling) {
        telling = true;
        wchar_t text[256];
        size_t length = 0;
        for (; what[length] != '\0' && length + 1 < sizeof text / sizeof text[0]; ++length) {
            text[length] = static_cast<unsigned char>(what[length]);
        }
        text[length] = L'\0';
        MessageBoxW(nullptr, text, nullptr, MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    }
    ExitProcess(1);
}

constexpr const char* kOutOfMemory = "There is not enough memory to go on.";

}  // namespace

void* operator new(std::size_t size) {
    if (void* block = std::malloc(size != 0 ? size : 1)) {
        return block;
    }
    Fatal(kOutOfMemory);
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
    Fatal(kOutOfMemory);
}

void __throw_bad_array_new_length() {
    Fatal(kOutOfMemory);
}

void __throw_length_error(const char* what) {
    Fatal(what);
}

void __throw_logic_error(const char* what) {
    Fatal(what);
}

void __throw_out_of_range(const char* what) {
    Fatal(what);
}

void __throw_out_of_range_fmt(const char* format, ...) {
    Fatal(format);
}

void __throw_bad_function_call() {
    Fatal("bad_function_call");
}

}  // namespace std

// Linked into each program ahead of the C++ runtime, so these stand in for its own. The
// runtime keeps each group of these in one object file that drags in more: the demangler and
// printf, and a second, copy-on-write string implementation with the exception classes
// built on it. Together that was more than half of each program.
#include <cstdlib>
#include <new>

#include "error.h"

namespace __gnu_cxx {

// The runtime's default names the uncaught exception's type on the standard error stream,
// which a windowed program does not have. An uncaught exception ends the program all the same.
void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx

// What the standard containers throw when misused: the same faults, reported through the
// programs' own exception type, whose text ends in an error box.
namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char* what) {
    throw base::Error(what);
}

void __throw_logic_error(const char* what) {
    throw base::Error(what);
}

void __throw_out_of_range(const char* what) {
    throw base::Error(what);
}

void __throw_out_of_range_fmt(const char* format, ...) {
    throw base::Error(format);
}

}  // namespace std

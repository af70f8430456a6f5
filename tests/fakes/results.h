// Results in tests: the value a test expects, or the text of the error it expects.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "error.h"

namespace fake {

// The value; where there is none the test fails, telling the error.
template <typename T>
T Value(base::Result<T> result) {
    if (!result) {
        throw std::runtime_error(std::string("unexpected error: ") + result.error().what());
    }
    return std::move(*result);
}

// The error's text, or "(accepted)" where there is a value.
template <typename T>
std::string ErrorOf(const base::Result<T>& result) {
    return result ? "(accepted)" : result.error().what();
}

inline std::string ErrorOf(const base::Fault& fault) {
    return fault ? fault->what() : "(none)";
}

}  // namespace fake

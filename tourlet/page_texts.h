// The wizard's three pages: lines joined by single line feeds, no line feed at the end.
#pragma once

#include <string_view>

#include "form_system.h"

namespace tourlet {

inline constexpr int kPageCount = 3;

// The text of page 0, 1 or 2, in the language the program speaks.
std::wstring_view PageText(forms::FormSystem& system, int page);

}  // namespace tourlet

// The wizard's three pages: lines joined by single line feeds, no line feed at the end.
#pragma once

#include <string>

namespace tourlet {

inline constexpr int kPageCount = 3;

// The text of page 0, 1 or 2.
const std::wstring& PageText(int page);

}  // namespace tourlet

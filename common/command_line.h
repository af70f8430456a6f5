// Words of a command line, compared as Windows compares names and switches. Below both the
// launcher, which reads its hand-over switch, and the language choice, which reads /lang=.
#pragma once

#include <optional>
#include <string_view>

namespace launcher {

// Text compared in any case, as Windows compares names and switches.
bool SameText(std::wstring_view a, std::wstring_view b);
// What follows `prefix` in the last word of the command line that starts with it, in any case:
// "de" for "/lang=" in "/lang=de"; nothing where no word does. Words stand between blanks.
std::optional<std::wstring_view> SwitchValue(std::wstring_view commandLine,
                                             std::wstring_view prefix);

}  // namespace launcher

#include "command_line.h"

#include <algorithm>
#include <cwctype>

namespace launcher {

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<wint_t>(x)) ==
                      std::towupper(static_cast<wint_t>(y));
           });
}

std::optional<std::wstring_view> SwitchValue(std::wstring_view commandLine,
                                             std::wstring_view prefix) {
    std::optional<std::wstring_view> value;
    while (!commandLine.empty()) {
        const size_t end = std::min(commandLine.find(L' '), commandLine.size());
        const std::wstring_view word = commandLine.substr(0, end);
        if (word.size() >= prefix.size() && SameText(word.substr(0, prefix.size()), prefix)) {
            value = word.substr(prefix.size());
        }
        commandLine.remove_prefix(std::min(end + 1, commandLine.size()));
    }
    return value;
}

}  // namespace launcher

// Sentences from the programs' texts for an error: the texts are UTF-16, as Windows keeps
// them; an error's text is UTF-8, and reaches the user widened again.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace base {

inline void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

inline std::string Utf8(std::wstring_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        }
        AppendUtf8(out, c);
    }
    return out;
}

// A message of the system's as it goes inside one of our sentences, which brings its own
// full stop: without its line end and its own full stop, Latin or East Asian ("。").
inline std::wstring_view WithoutFullStop(std::wstring_view message) {
    while (!message.empty() && std::wstring_view(L"\r\n .\u3002\uFF0E").find(message.back()) !=
                                   std::wstring_view::npos) {
        message.remove_suffix(1);
    }
    return message;
}

// `pattern` with %1, %2 … replaced by the inserts, which are UTF-8 already.
inline std::string Sentence(std::wstring_view pattern,
                            std::initializer_list<std::string_view> inserts) {
    const std::string text = Utf8(pattern);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t number = i + 1 < text.size() ? static_cast<size_t>(text[i + 1] - '1') : 9;
        if (text[i] == '%' && number < inserts.size()) {
            out += *(inserts.begin() + number);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace base

#include "text.h"

#include <algorithm>

#include "sentence.h"

namespace base::win32 {

std::wstring Widen(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

namespace {
LANGID messageLanguage = 0;
}  // namespace

void SetSystemMessageLanguage(LANGID language) {
    messageLanguage = language;
}

std::string SystemMessage(DWORD error) {
    constexpr DWORD kFlags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(kFlags, nullptr, error, messageLanguage,
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 && messageLanguage != 0) {
        length = FormatMessageW(kFlags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                nullptr);
    }
    std::string message =
        length != 0 ? base::Utf8(base::WithoutFullStop({text, length})) : std::to_string(error);
    LocalFree(text);
    return message;
}

}  // namespace base::win32

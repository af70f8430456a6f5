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

std::wstring_view ResourceText(int id, LANGID language) {
    const HMODULE module = GetModuleHandleW(nullptr);
    // A table block holds 16 texts, each its length and its characters.
    const HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    const HGLOBAL loaded = block != nullptr ? LoadResource(module, block) : nullptr;
    const auto* entry =
        static_cast<const wchar_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (entry == nullptr) {
        return {};
    }
    const wchar_t* const end = entry + SizeofResource(module, block) / sizeof(wchar_t);
    for (int index = id % 16; entry < end; --index) {
        const size_t declared = *entry++;
        const size_t length = std::min(declared, static_cast<size_t>(end - entry));
        if (index == 0) {
            return {entry, length};
        }
        entry += length;
    }
    return {};
}

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length != 0 ? base::Utf8({text, length}) : std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message;
}

}  // namespace base::win32

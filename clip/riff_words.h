// The words a RIFF file and a bitmap header are made of: little-endian integers and
// four-character codes. Callers check that the bytes are there before reading them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace clip {

constexpr uint32_t FourCC(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24;
}

// A code as a developer reads it in a reason: 'vids', with '?' for what does not print.
inline std::string FourCCText(uint32_t code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return "'" + text + "'";
}

inline uint16_t ReadU16(std::span<const uint8_t> bytes, size_t pos) {
    return static_cast<uint16_t>(bytes[pos] | bytes[pos + 1] << 8);
}

inline uint32_t ReadU32(std::span<const uint8_t> bytes, size_t pos) {
    return static_cast<uint32_t>(bytes[pos]) | static_cast<uint32_t>(bytes[pos + 1]) << 8 |
           static_cast<uint32_t>(bytes[pos + 2]) << 16 |
           static_cast<uint32_t>(bytes[pos + 3]) << 24;
}

}  // namespace clip

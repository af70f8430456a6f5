#include "inflate.h"

#include <algorithm>
#include <array>

namespace base {
namespace {

constexpr size_t kLongestCode = 15;
constexpr int kLiteralCodes = 288;
constexpr int kDistanceCodes = 30;
constexpr int kEndOfBlock = 256;

constexpr std::array<uint16_t, 29> kLengthBase{3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                               15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                               67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, kDistanceCodes> kDistanceBase{
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, kDistanceCodes> kDistanceExtra{0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                             4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                             9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the lengths of its code-length code.
constexpr std::array<uint8_t, 19> kLengthOrder{16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code: how many codes of each length, and the symbols in code order.
struct Code {
    std::array<uint16_t, kLongestCode + 1> count{};
    std::array<uint16_t, kLiteralCodes> symbol{};
};

// False where the lengths over-subscribe the code; an incomplete code is taken, and a code
// it lacks is refused when met.
bool MakeCode(Code& code, std::span<const uint8_t> lengths) {
    code.count.fill(0);
    for (const uint8_t length : lengths) {
        ++code.count[length];
    }
    int left = 1;
    for (size_t length = 1; length <= kLongestCode; ++length) {
        left = left * 2 - code.count[length];
        if (left < 0) {
            return false;
        }
    }
    std::array<uint16_t, kLongestCode + 1> next{};
    for (size_t length = 1; length < kLongestCode; ++length) {
        next[length + 1] = static_cast<uint16_t>(next[length] + code.count[length]);
    }
    for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        if (lengths[symbol] != 0) {
            code.symbol[next[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
        }
    }
    return true;
}

class Inflater {
  public:
    Inflater(std::span<const uint8_t> packed, std::vector<uint8_t>& out)
        : packed_(packed), out_(out) {}

    // True where the blocks fill the output exactly.
    bool Run() {
        bool last = false;
        while (!last) {
            last = Bits(1) == 1;
            const uint32_t type = Bits(2);
            const bool done = type == 0   ? Stored()
                              : type == 1 ? FixedBlock()
                              : type == 2 ? DynamicBlock()
                                          : false;
            if (!done || overrun_) {
                return false;
            }
        }
        return written_ == out_.size();
    }

  private:
    uint32_t Bits(int wanted) {
        uint64_t value = bits_;
        while (held_ < wanted) {
            if (next_ == packed_.size()) {
                overrun_ = true;
                return 0;
            }
            value |= static_cast<uint64_t>(packed_[next_++]) << held_;
            held_ += 8;
        }
        bits_ = static_cast<uint32_t>(value >> wanted);
        held_ -= wanted;
        return static_cast<uint32_t>(value & ((1u << wanted) - 1));
    }

    // One symbol, read a bit at a time down the code's lengths; -1 where there is none.
    int Decode(const Code& code) {
        int value = 0;
        int first = 0;
        int index = 0;
        for (size_t length = 1; length <= kLongestCode && !overrun_; ++length) {
            value |= static_cast<int>(Bits(1));
            const int count = code.count[length];
            if (value - first < count) {
                return code.symbol[static_cast<size_t>(index + value - first)];
            }
            index += count;
            first = (first + count) << 1;
            value <<= 1;
        }
        return -1;
    }

    bool Stored() {
        bits_ = 0;
        held_ = 0;
        if (packed_.size() - next_ < 4) {
            return false;
        }
        const size_t length = packed_[next_] | static_cast<size_t>(packed_[next_ + 1]) << 8;
        const size_t check = packed_[next_ + 2] | static_cast<size_t>(packed_[next_ + 3]) << 8;
        next_ += 4;
        if ((length ^ 0xFFFF) != check || packed_.size() - next_ < length ||
            out_.size() - written_ < length) {
            return false;
        }
        std::copy_n(packed_.begin() + static_cast<std::ptrdiff_t>(next_), length,
                    out_.begin() + static_cast<std::ptrdiff_t>(written_));
        next_ += length;
        written_ += length;
        return true;
    }

    bool FixedBlock() {
        std::array<uint8_t, kLiteralCodes + kDistanceCodes> lengths{};
        for (size_t symbol = 0; symbol < kLiteralCodes; ++symbol) {
            lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
        }
        std::fill(lengths.begin() + kLiteralCodes, lengths.end(), uint8_t{5});
        return Codes(lengths, kDistanceCodes);
    }

    bool DynamicBlock() {
        const size_t literals = Bits(5) + 257;
        const size_t distances = Bits(5) + 1;
        const size_t lengthCodes = Bits(4) + 4;
        std::array<uint8_t, 19> lengthLengths{};
        for (size_t i = 0; i < lengthCodes; ++i) {
            lengthLengths[kLengthOrder[i]] = static_cast<uint8_t>(Bits(3));
        }
        Code lengthCode;
        if (literals > 286 || distances > kDistanceCodes || !MakeCode(lengthCode, lengthLengths)) {
            return false;
        }
        std::array<uint8_t, kLiteralCodes + kDistanceCodes> read{};
        for (size_t i = 0; i < literals + distances;) {
            const int symbol = Decode(lengthCode);
            if (symbol < 0) {
                return false;
            }
            if (symbol < 16) {
                read[i++] = static_cast<uint8_t>(symbol);
                continue;
            }
            if (symbol == 16 && i == 0) {
                return false;  // nothing to repeat
            }
            const uint8_t repeated = symbol == 16 ? read[i - 1] : 0;
            const size_t times = symbol == 16   ? 3 + Bits(2)
                                 : symbol == 17 ? 3 + Bits(3)
                                                : 11 + Bits(7);
            if (i + times > literals + distances) {
                return false;
            }
            std::fill_n(read.begin() + static_cast<std::ptrdiff_t>(i), times, repeated);
            i += times;
        }
        if (read[kEndOfBlock] == 0) {
            return false;  // a block that could never end
        }
        // The literal and length code's lengths, then the distance code's after all 288.
        std::array<uint8_t, kLiteralCodes + kDistanceCodes> lengths{};
        std::copy_n(read.begin(), literals, lengths.begin());
        std::copy_n(read.begin() + static_cast<std::ptrdiff_t>(literals), distances,
                    lengths.begin() + kLiteralCodes);
        return Codes(lengths, distances);
    }

    // The block's symbols, by its literal and length code and its distance code, to its end.
    bool Codes(std::span<const uint8_t> lengths, size_t distances) {
        Code literal;
        Code distance;
        if (!MakeCode(literal, lengths.first(kLiteralCodes)) ||
            !MakeCode(distance, lengths.subspan(kLiteralCodes, distances))) {
            return false;
        }
        for (;;) {
            const int symbol = Decode(literal);
            if (symbol < 0 || symbol > 285) {
                return false;
            }
            if (symbol == kEndOfBlock) {
                return true;
            }
            if (symbol < kEndOfBlock) {
                if (written_ == out_.size()) {
                    return false;
                }
                out_[written_++] = static_cast<uint8_t>(symbol);
                continue;
            }
            const size_t lengthIndex = static_cast<size_t>(symbol - 257);
            const size_t length = kLengthBase[lengthIndex] + Bits(kLengthExtra[lengthIndex]);
            const int distanceSymbol = Decode(distance);
            if (distanceSymbol < 0 || distanceSymbol >= kDistanceCodes) {
                return false;
            }
            const auto distanceIndex = static_cast<size_t>(distanceSymbol);
            const size_t back = kDistanceBase[distanceIndex] + Bits(kDistanceExtra[distanceIndex]);
            if (back > written_ || out_.size() - written_ < length) {
                return false;
            }
            for (size_t i = 0; i < length; ++i, ++written_) {
                out_[written_] = out_[written_ - back];
            }
        }
    }

    std::span<const uint8_t> packed_;
    std::vector<uint8_t>& out_;
    size_t written_ = 0;
    size_t next_ = 0;
    uint32_t bits_ = 0;
    int held_ = 0;
    bool overrun_ = false;
};

}  // namespace

base::Result<std::vector<uint8_t>> Inflate(std::span<const uint8_t> packed, size_t size) {
    std::vector<uint8_t> out(size);
    if (!Inflater(packed, out).Run()) {
        return InflateError("the packed bytes are damaged");
    }
    return out;
}

base::Result<std::vector<uint8_t>> InflatePacked(std::span<const uint8_t> packed, size_t largest) {
    size_t size = largest + 1;
    if (packed.size() >= 4) {
        size = packed[0] | static_cast<size_t>(packed[1]) << 8 |
               static_cast<size_t>(packed[2]) << 16 | static_cast<size_t>(packed[3]) << 24;
    }
    if (size > largest) {
        return InflateError("the packed bytes are damaged");
    }
    return Inflate(packed.subspan(4), size);
}

}  // namespace base

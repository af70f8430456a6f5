#include "video_format.h"

#include <bit>
#include <string>

#include "riff_words.h"

namespace clip {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr size_t kBitmapInfoHeaderSize = 40;

class FormatReader {
  public:
    FormatReader(std::span<const uint8_t> info, FirstFault& fault) : info_(info), fault_(fault) {}

    VideoFormat Read() {
        VideoFormat format;
        if (info_.size() < kBitmapInfoHeaderSize) {
            Fail(DeveloperReason(
                [&] { return std::string("the video format is shorter than a bitmap header"); }));
            return format;
        }
        const size_t headerSize = ReadU32(info_, 0);
        if (headerSize < kBitmapInfoHeaderSize || headerSize > info_.size()) {
            Fail(DeveloperReason([&] {
                return std::string("the video format's bitmap header does not fit its chunk");
            }));
            return format;
        }
        const auto width = static_cast<int32_t>(ReadU32(info_, 4));
        const auto height = static_cast<int64_t>(static_cast<int32_t>(ReadU32(info_, 8)));
        const auto absHeight = height < 0 ? -height : height;
        if (width < 1 || width > kMaxFrameSide || absHeight < 1 || absHeight > kMaxFrameSide) {
            Fail(DeveloperReason([&] {
                return std::string("the frame size " + std::to_string(width) + " x " +
                                   std::to_string(absHeight) + " is outside 1 to " +
                                   std::to_string(kMaxFrameSide) + " pixels a side");
            }));
            return format;
        }
        format.width = width;
        format.height = static_cast<int32_t>(absHeight);
        format.topDown = height < 0;
        format.bitCount = ReadU16(info_, 14);
        format.compression = ReadCompression(ReadU32(info_, 16), format);
        if (fault_) {
            return format;
        }
        size_t pos = headerSize;
        if (format.compression == Compression::Bitfields) {
            pos = ReadMasks(headerSize, format);
        } else if (format.bitCount == 16) {
            format.masks = {0x7C00, 0x03E0, 0x001F};
        }
        if (!fault_ && format.bitCount == 8) {
            format.palette = ReadPalette(pos, ReadU32(info_, 32));
        }
        return format;
    }

  private:
    void Fail(std::string why) { fault_.Fail(std::move(why)); }

    Compression ReadCompression(uint32_t code, const VideoFormat& format) {
        const uint16_t bits = format.bitCount;
        if (code == kBiRgb || code == FourCC("DIB ")) {
            if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
                Fail(DeveloperReason([&] {
                    return std::string("unsupported bit depth " + std::to_string(bits) +
                                       " (8, 16, 24 and 32 bits per pixel can be played)");
                }));
            }
            return Compression::Rgb;
        }
        if (code == kBiRle8) {
            if (bits != 8) {
                Fail(DeveloperReason(
                    [&] { return std::string("an RLE8 clip must have 8 bits per pixel"); }));
            } else if (format.topDown) {
                Fail(DeveloperReason(
                    [&] { return std::string("an RLE8 clip cannot be stored top-down"); }));
            }
            return Compression::Rle8;
        }
        if (code == kBiBitfields) {
            if (bits != 16 && bits != 32) {
                Fail(DeveloperReason([&] {
                    return std::string("bit-field frames must have 16 or 32 bits per pixel");
                }));
            }
            return Compression::Bitfields;
        }
        Fail(DeveloperReason([&] {
            return std::string("unsupported compression " +
                               (code == kBiRle4 ? std::string("RLE4") : FourCCText(code)) +
                               " (uncompressed and RLE8 clips can be played)");
        }));
        return Compression::Rgb;
    }

    // Bit-field masks follow a 40-byte header, or stand inside a larger one.
    size_t ReadMasks(size_t headerSize, VideoFormat& format) {
        const size_t at = headerSize == kBitmapInfoHeaderSize ? headerSize : kBitmapInfoHeaderSize;
        if (info_.size() < at + 12 ||
            (headerSize > kBitmapInfoHeaderSize && headerSize < at + 12)) {
            Fail(DeveloperReason(
                [&] { return std::string("the video format's colour masks are missing"); }));
            return 0;
        }
        for (size_t i = 0; i < 3; ++i) {
            const uint32_t mask = ReadU32(info_, at + 4 * i);
            // A mask must be one run of set bits: shifted down to its lowest, it is 2^n - 1.
            const uint32_t shifted = mask >> std::countr_zero(mask | 0x80000000u);
            if (mask == 0 || (shifted & (shifted + 1)) != 0 ||
                (format.bitCount == 16 && mask > 0xFFFF)) {
                Fail(DeveloperReason(
                    [&] { return std::string("the video format's colour masks are not usable"); }));
                return 0;
            }
            format.masks[i] = mask;
        }
        return headerSize == kBitmapInfoHeaderSize ? headerSize + 12 : headerSize;
    }

    std::vector<uint32_t> ReadPalette(size_t pos, uint32_t used) {
        const size_t count = used == 0 ? 256 : used;
        if (count > 256) {
            Fail(DeveloperReason([&] {
                return std::string("the palette declares " + std::to_string(count) +
                                   " colours; 8 bits per pixel allow 256");
            }));
            return {};
        }
        if (pos > info_.size() || (info_.size() - pos) / 4 < count) {
            Fail(DeveloperReason(
                [&] { return std::string("the palette does not fit the video format chunk"); }));
            return {};
        }
        // Indexes past a short palette show black rather than reading beyond it.
        std::vector<uint32_t> palette(256, 0);
        for (size_t i = 0; i < count; ++i) {
            palette[i] = ReadU32(info_, pos + 4 * i) & 0x00FFFFFF;
        }
        return palette;
    }

    std::span<const uint8_t> info_;
    FirstFault& fault_;
};

}  // namespace

VideoFormat ReadVideoFormat(std::span<const uint8_t> info, FirstFault& fault) {
    return FormatReader(info, fault).Read();
}

}  // namespace clip

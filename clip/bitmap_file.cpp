#include "bitmap_file.h"

#include "avi_clip.h"
#include "frame_decoder.h"
#include "inflate.h"
#include "riff_words.h"

namespace clip {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
// Far beyond any picture of the windows: a length past it is a damaged one.
constexpr size_t kLargestPacked = 4u << 20;

}  // namespace

// A 14-byte file header, then what a video stream's format chunk holds, and the pixels at
// the offset the file header gives.
base::Result<Picture> DecodeBitmapFile(std::span<const uint8_t> file) {
    if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
        return ClipError("it is not a bitmap file");
    }
    const size_t pixels = ReadU32(file, 10);
    if (pixels < kFileHeaderSize + kInfoHeaderSize || pixels > file.size()) {
        return ClipError("the bitmap's pixels lie outside the file");
    }
    // The clip reader's reasons are for its developer, and the programs carry none of them.
    constexpr const char* kDamaged = "the bitmap is damaged";
    const base::Result<AviClip> still = AviClip::Still(
        file.subspan(kFileHeaderSize, pixels - kFileHeaderSize), file.subspan(pixels));
    if (!still || FrameDecoder::CheckAllFrames(*still)) {
        return ClipError(kDamaged);
    }
    FrameDecoder decoder(*still);
    if (decoder.AdvanceTo(0)) {
        return ClipError(kDamaged);  // the still's frame was checked: not reached
    }
    return Picture{decoder.Width(), decoder.Height(), decoder.TakePixels()};
}

base::Result<Picture> DecodePackedPicture(std::span<const uint8_t> packed) {
    const base::Result<std::vector<uint8_t>> file = base::InflatePacked(packed, kLargestPacked);
    if (!file) {
        return file.error();
    }
    return DecodeBitmapFile(*file);
}

}  // namespace clip

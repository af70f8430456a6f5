// Feeds arbitrary bytes to the clip reader, as a clip and as a bitmap file, and decodes
// every frame it accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "bitmap_file.h"
#include "frame_decoder.h"

namespace {

void DecodeAsPicture(const uint8_t* data, size_t size) {
    try {
        const clip::Picture picture = clip::DecodeBitmapFile(std::span(data, size));
        if (picture.pixels.size() !=
            static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)) {
            std::abort();
        }
    } catch (const clip::ClipError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeAsPicture(data, size);
    std::optional<clip::AviClip> clip;
    try {
        clip.emplace(clip::AviClip::Parse(std::span(data, size)));
        clip::FrameDecoder::CheckAllFrames(*clip);
    } catch (const clip::ClipError&) {
        return 0;
    }
    // A clip that passed the check must decode without a refusal.
    try {
        clip::FrameDecoder decoder(*clip);
        decoder.AdvanceTo(clip->FrameCount() - 1);
        decoder.AdvanceTo(0);
    } catch (const clip::ClipError&) {
        std::abort();
    }
    return 0;
}

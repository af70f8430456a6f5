// Feeds arbitrary bytes to the clip reader, as a clip, as a clip read headers first, as a
// bitmap file and as a packed picture, and decodes every frame it accepts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "bitmap_file.h"
#include "frame_decoder.h"

namespace {

void DecodeAsPicture(const uint8_t* data, size_t size) {
    for (const auto decode : {clip::DecodeBitmapFile, clip::DecodePackedPicture}) {
        const base::Result<clip::Picture> picture = decode(std::span(data, size));
        if (picture && picture->pixels.size() != static_cast<size_t>(picture->width) *
                                                     static_cast<size_t>(picture->height)) {
            std::abort();
        }
    }
}

// As the splash reads a clip: its headers in steps, then what follows, played as far as it
// is sound. Whatever plays must decode without a refusal.
void PlayAsStreamed(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    size_t needed = std::min<size_t>(size, 12);
    for (;;) {
        const auto header = clip::AviClip::ReadHeader(file.first(needed), size, needed);
        if (!header) {
            return;
        }
        if (*header) {
            break;
        }
        if (needed > size) {
            std::abort();  // wants bytes past the end it was told of
        }
    }
    const base::Result<clip::AviClip> clip = clip::PlayableClip(file);
    if (!clip) {
        std::abort();  // the headers were sound: damage after them never refuses
    }
    if (clip->FrameCount() > 0 && clip::FrameDecoder(*clip).AdvanceTo(clip->FrameCount() - 1)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodeAsPicture(data, size);
    PlayAsStreamed(data, size);
    const base::Result<clip::AviClip> clip = clip::AviClip::Parse(std::span(data, size));
    if (!clip || clip::FrameDecoder::CheckAllFrames(*clip)) {
        return 0;
    }
    // A clip that passed the check must decode without a refusal, forwards and back.
    clip::FrameDecoder decoder(*clip);
    if (decoder.AdvanceTo(clip->FrameCount() - 1) || decoder.AdvanceTo(0)) {
        std::abort();
    }
    return 0;
}

// Feeds arbitrary bytes to the clip reader and decodes every frame it accepts.
#include <cstddef>
#include <cstdint>
#include <span>

#include "frame_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const clip::AviClip clip = clip::AviClip::Parse(std::span(data, size));
        clip::FrameDecoder decoder(clip);
        decoder.AdvanceTo(clip.FrameCount() - 1);
        decoder.AdvanceTo(0);
    } catch (const clip::ClipError&) {
    }
    return 0;
}

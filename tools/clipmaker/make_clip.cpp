// Writes the demo CD's splash clip, or its frames as drawn:
//   make_clip <output.avi>
//   make_clip --frames <output.rgb>    every frame in its palette's colours, 8-bit RGB, top
//                                      row first, one after the other
#include <cstdio>
#include <fstream>
#include <string>

#include "varnok_clip.h"

namespace {

bool Write(const char* path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_clip: cannot write %s\n", path);
    }
    return static_cast<bool>(out);
}

std::string DrawnFrames() {
    const std::vector<uint32_t> palette = clipmaker::VarnokPalette();
    std::string rgb;
    for (const clipmaker::IndexedPicture& frame : clipmaker::DrawVarnokFrames()) {
        for (const uint8_t pixel : frame.pixels) {
            const uint32_t colour = palette[pixel];
            rgb += static_cast<char>(colour >> 16 & 0xFF);
            rgb += static_cast<char>(colour >> 8 & 0xFF);
            rgb += static_cast<char>(colour & 0xFF);
        }
    }
    return rgb;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) {
        const clipmaker::Bytes clip = clipmaker::MakeVarnokClip();
        return Write(argv[1], std::string(clip.begin(), clip.end())) ? 0 : 1;
    }
    if (argc == 3 && std::string(argv[1]) == "--frames") {
        return Write(argv[2], DrawnFrames()) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: make_clip <output.avi> | make_clip --frames <output.rgb>\n");
    return 2;
}

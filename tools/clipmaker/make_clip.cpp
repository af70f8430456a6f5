// Writes the demo CD's splash clip: make_clip <output.avi>
#include <cstdio>
#include <fstream>

#include "varnok_clip.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_clip <output.avi>\n");
        return 2;
    }
    const clipmaker::Bytes clip = clipmaker::MakeVarnokClip();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(clip.data()),
              static_cast<std::streamsize>(clip.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_clip: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

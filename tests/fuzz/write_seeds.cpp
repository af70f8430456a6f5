// Writes the sample clips as the fuzzer's seed corpus: write_seeds <folder>
#include <filesystem>
#include <fstream>

#include "sample_clips.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    for (const sample::SampleClip& clip : sample::SampleClips()) {
        const clipmaker::Bytes bytes = clipmaker::WriteAvi(clip.layout);
        std::ofstream out(std::filesystem::path(argv[1]) / (clip.name + ".avi"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    return 0;
}

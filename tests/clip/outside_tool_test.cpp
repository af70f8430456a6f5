// Decodes clips of an outside tool, Debian's ffmpeg, and compares every pixel with ffmpeg's own
// decoding of them. The clips and ffmpeg's decodings are fixtures (see fixtures/README.md), so
// no run needs ffmpeg.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame_decoder.h"
#include "results.h"
#include "varnok_clip.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(VARNOK_SOURCE_DIR) / "tests" / "clip" / "fixtures";

std::vector<uint8_t> ReadFixture(const std::string& name) {
    std::ifstream in(kFixtures / name, std::ios::binary);
    EXPECT_TRUE(in) << "no fixture " << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

// One decoded frame as 8-bit RGB, the layout ffmpeg writes.
std::vector<uint8_t> Rgb24(const clip::FrameDecoder& decoder) {
    std::vector<uint8_t> rgb;
    for (const uint32_t pixel : decoder.Pixels()) {
        rgb.insert(rgb.end(), {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
                               static_cast<uint8_t>(pixel)});
    }
    return rgb;
}

class ClipsFromFfmpeg : public testing::TestWithParam<const char*> {};

// 16-bit pixels may be widened to 8 bits by rounding or by repeating their top bits.
TEST_P(ClipsFromFfmpeg, DecodeLikeFfmpeg) {
    const std::string name = std::string("testsrc-") + GetParam();
    const std::vector<uint8_t> bytes = ReadFixture(name + ".avi");
    const std::vector<uint8_t> reference = ReadFixture(name + ".rgb");
    const clip::AviClip clip = fake::Value(clip::AviClip::Parse(bytes));
    ASSERT_EQ(clip.Format().width, 33);
    ASSERT_EQ(clip.Format().height, 13);
    ASSERT_EQ(clip.FrameCount(), 6u);
    const size_t frameBytes = 33 * 13 * 3;
    ASSERT_EQ(reference.size(), clip.FrameCount() * frameBytes);
    const int tolerance = clip.Format().bitCount == 16 ? 7 : 0;
    clip::FrameDecoder decoder(clip);
    for (size_t f = 0; f < clip.FrameCount(); ++f) {
        EXPECT_FALSE(decoder.AdvanceTo(f));
        const std::vector<uint8_t> mine = Rgb24(decoder);
        int worst = 0;
        for (size_t i = 0; i < frameBytes; ++i) {
            worst = std::max(worst, std::abs(mine[i] - reference[f * frameBytes + i]));
        }
        EXPECT_LE(worst, tolerance) << name << " frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Uncompressed, ClipsFromFfmpeg,
                         testing::Values("bgr24", "pal8", "rgb555le", "bgra"),
                         [](const auto& p) { return std::string(p.param); });

// As ffmpeg's framecrc sums, from 0 rather than zlib's 1.
uint32_t Adler32(const std::vector<uint8_t>& bytes) {
    uint32_t a = 0;
    uint32_t b = 0;
    for (const uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

// ffmpeg reads RLE8 but cannot write it: the check is of our clip maker's RLE8, against each
// frame's checksum as ffmpeg decodes the demo clip.
TEST(ClipMakerRle8, DecodesLikeFfmpeg) {
    const std::vector<uint8_t> text = ReadFixture("varnok.framecrc");
    std::istringstream framecrc(std::string(text.begin(), text.end()));
    std::vector<uint32_t> theirs;
    for (std::string line; std::getline(framecrc, line);) {
        if (!line.empty() && line[0] != '#') {
            theirs.push_back(
                static_cast<uint32_t>(std::stoul(line.substr(line.rfind(',') + 1), nullptr, 16)));
        }
    }
    const clipmaker::Bytes bytes = clipmaker::MakeVarnokClip();
    const clip::AviClip clip = fake::Value(clip::AviClip::Parse(bytes));
    ASSERT_EQ(theirs.size(), clip.FrameCount()) << "made again? see fixtures/README.md";
    clip::FrameDecoder decoder(clip);
    for (size_t f = 0; f < clip.FrameCount(); ++f) {
        EXPECT_FALSE(decoder.AdvanceTo(f));
        EXPECT_EQ(Adler32(Rgb24(decoder)), theirs[f]) << "frame " << f;
    }
}

}  // namespace

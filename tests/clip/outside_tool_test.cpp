// Decodes clips written by an outside tool, Debian's ffmpeg, and compares every pixel with
// ffmpeg's own decoding of the same file.
#include <gtest/gtest.h>

#include "results.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "frame_decoder.h"
#include "varnok_clip.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Shell(const std::string& command) {
    return std::system((command + " </dev/null").c_str()) == 0;
}

class WithFfmpeg : public testing::Test {
  protected:
    void SetUp() override {
        if (!Shell("command -v ffmpeg >/dev/null 2>&1")) {
            GTEST_SKIP() << "ffmpeg is not installed: clips from an outside tool are not checked";
        }
        dir_ = fs::temp_directory_path() / ("clip-ffmpeg-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!dir_.empty()) {
            fs::remove_all(dir_);
        }
    }
    // Compares our decoding of `avi` with ffmpeg's, frame by frame.
    void ExpectSameAsFfmpeg(const fs::path& avi, int tolerance) {
        const fs::path rgb = dir_ / "frames.rgb";
        ASSERT_TRUE(
            Shell(kFfmpeg + "-i " + avi.string() + " -f rawvideo -pix_fmt rgb24 " + rgb.string()));
        const std::vector<uint8_t> bytes = ReadFile(avi);
        const std::vector<uint8_t> reference = ReadFile(rgb);
        const clip::AviClip clip = fake::Value(clip::AviClip::Parse(bytes));
        const size_t area = static_cast<size_t>(clip.Format().width * clip.Format().height);
        ASSERT_EQ(reference.size(), clip.FrameCount() * area * 3);
        clip::FrameDecoder decoder(clip);
        for (size_t f = 0; f < clip.FrameCount(); ++f) {
            EXPECT_FALSE(decoder.AdvanceTo(f));
            int worst = 0;
            for (size_t p = 0; p < area; ++p) {
                const uint8_t* theirs = &reference[(f * area + p) * 3];
                for (int c = 0; c < 3; ++c) {
                    const auto mine = static_cast<int>(decoder.Pixels()[p] >> (16 - 8 * c) & 0xFF);
                    worst = std::max(worst, std::abs(mine - theirs[c]));
                }
            }
            EXPECT_LE(worst, tolerance) << avi << " frame " << f;
        }
    }

    const std::string kFfmpeg = "ffmpeg -nostdin -hide_banner -loglevel error -y ";
    fs::path dir_;
};

class ClipsFromFfmpeg : public WithFfmpeg, public testing::WithParamInterface<const char*> {};

// 16-bit pixels may be widened to 8 bits by rounding or by repeating their top bits.
TEST_P(ClipsFromFfmpeg, DecodeLikeFfmpeg) {
    const std::string pixelFormat = GetParam();
    const fs::path avi = dir_ / "clip.avi";
    ASSERT_TRUE(Shell(kFfmpeg + "-f lavfi -i testsrc=size=99x37:rate=10 -frames:v 12 " +
                      "-c:v rawvideo -pix_fmt " + pixelFormat + " " + avi.string()));
    const std::vector<uint8_t> bytes = ReadFile(avi);
    const clip::AviClip clip = fake::Value(clip::AviClip::Parse(bytes));
    EXPECT_EQ(clip.Format().width, 99);
    EXPECT_EQ(clip.Format().height, 37);
    EXPECT_EQ(clip.FrameCount(), 12u);
    ExpectSameAsFfmpeg(avi, clip.Format().bitCount == 16 ? 7 : 0);
}

INSTANTIATE_TEST_SUITE_P(Uncompressed, ClipsFromFfmpeg,
                         testing::Values("bgr24", "pal8", "rgb555le", "bgra"),
                         [](const auto& p) { return std::string(p.param); });

// This ffmpeg reads RLE8 but cannot write it: it checks our clip maker's RLE8 instead.
TEST_F(WithFfmpeg, Rle8DecodesLikeFfmpeg) {
    const clipmaker::Bytes bytes = clipmaker::MakeVarnokClip();
    const fs::path avi = dir_ / "varnok.avi";
    std::ofstream(avi, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ExpectSameAsFfmpeg(avi, 0);
}

}  // namespace

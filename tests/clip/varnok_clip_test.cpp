#include "varnok_clip.h"

#include <gtest/gtest.h>

#include "results.h"
#include "clip_player.h"

namespace {

class VarnokClip : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        bytes_ = new clipmaker::Bytes(clipmaker::MakeVarnokClip());
        drawn_ = new std::vector<clipmaker::IndexedPicture>(clipmaker::DrawVarnokFrames());
    }
    static void TearDownTestSuite() {
        delete bytes_;
        delete drawn_;
    }
    static clipmaker::Bytes* bytes_;
    static std::vector<clipmaker::IndexedPicture>* drawn_;
};

clipmaker::Bytes* VarnokClip::bytes_ = nullptr;
std::vector<clipmaker::IndexedPicture>* VarnokClip::drawn_ = nullptr;

TEST_F(VarnokClip, FitsTheSplashSquareAndTheCd) {
    const clip::AviClip clip = fake::Value(clip::AviClip::Parse(*bytes_));
    EXPECT_EQ(clip.Format().compression, clip::Compression::Rle8);
    EXPECT_LE(clip.Format().width, 361);
    EXPECT_LE(clip.Format().height, 361);
    EXPECT_LT(bytes_->size(), 300'000u);
    const double fps = static_cast<double>(clip.Rate().rate) / clip.Rate().scale;
    EXPECT_GE(fps, 10.0);
    EXPECT_LE(fps, 15.0);
    const double seconds = static_cast<double>(clip.FrameCount()) / fps;
    EXPECT_GE(seconds, 1.5);
    EXPECT_LE(seconds, 2.5);
}

TEST_F(VarnokClip, DecodesToTheFramesItDrew) {
    const clip::AviClip clip = fake::Value(clip::AviClip::Parse(*bytes_));
    const std::vector<uint32_t> palette = clipmaker::VarnokPalette();
    ASSERT_EQ(clip.FrameCount(), drawn_->size());
    clip::FrameDecoder decoder(clip);
    for (size_t i = 0; i < drawn_->size(); ++i) {
        EXPECT_FALSE(decoder.AdvanceTo(i));
        const auto& pixels = decoder.Pixels();
        const auto& indexes = (*drawn_)[i].pixels;
        ASSERT_EQ(pixels.size(), indexes.size());
        size_t wrong = 0;
        for (size_t p = 0; p < pixels.size(); ++p) {
            wrong += pixels[p] != palette[indexes[p]] ? 1u : 0u;
        }
        EXPECT_EQ(wrong, 0u) << "frame " << i;
    }
}

TEST_F(VarnokClip, ShowsATurningDiscAndTheNameOnWhite) {
    const auto& first = drawn_->front();
    const auto& last = drawn_->back();
    const std::vector<uint32_t> palette = clipmaker::VarnokPalette();
    // Corners are white; the disc changes between frames; the name is dark by the end.
    for (auto [x, y] : {std::pair{0, 0}, {360, 0}, {0, 360}, {360, 360}}) {
        EXPECT_EQ(palette[first.At(x, y)], 0xFFFFFFu);
    }
    EXPECT_NE(first.pixels, (*drawn_)[1].pixels);
    size_t darkInk = 0;
    for (int y = 280; y < 340; ++y) {
        for (int x = 0; x < 361; ++x) {
            darkInk += palette[last.At(x, y)] == palette[16] ? 1u : 0u;
        }
    }
    EXPECT_GT(darkInk, 1000u);
}

}  // namespace

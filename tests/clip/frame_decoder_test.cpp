#include "frame_decoder.h"

#include <gtest/gtest.h>

#include "results.h"
#include "sample_clips.h"

namespace {

using clip::AviClip;
using clip::ClipError;
using clip::FrameDecoder;
using clipmaker::Bytes;

class DecodesEverySample : public testing::TestWithParam<sample::SampleClip> {};

TEST_P(DecodesEverySample, ToThePixelsItStores) {
    const sample::SampleClip& sample = GetParam();
    const Bytes bytes = clipmaker::WriteAvi(sample.layout);
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    FrameDecoder decoder(clip);
    for (size_t i = 0; i < sample.expected.size(); ++i) {
        EXPECT_FALSE(decoder.AdvanceTo(i));
        EXPECT_EQ(decoder.CurrentFrame(), i);
        EXPECT_EQ(decoder.Pixels(), sample.expected[i]) << "frame " << i;
    }
}

TEST_P(DecodesEverySample, AgainAfterGoingBack) {
    const sample::SampleClip& sample = GetParam();
    const Bytes bytes = clipmaker::WriteAvi(sample.layout);
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    FrameDecoder decoder(clip);
    EXPECT_FALSE(decoder.AdvanceTo(2));
    EXPECT_FALSE(decoder.AdvanceTo(1));
    EXPECT_EQ(decoder.Pixels(), sample.expected[1]);
    EXPECT_FALSE(decoder.AdvanceTo(99));  // past the end: the last frame
    EXPECT_EQ(decoder.CurrentFrame(), 2u);
    EXPECT_EQ(decoder.Pixels(), sample.expected[2]);
}

INSTANTIATE_TEST_SUITE_P(Clips, DecodesEverySample, testing::ValuesIn(sample::SampleClips()),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A 4 x 3 RLE8 clip whose frames are given as raw codes; palette index i is colour i.
class Rle8Codes : public testing::Test {
  protected:
    std::vector<uint32_t> Decode(const std::vector<Bytes>& frames) {
        clipmaker::AviLayout layout;
        layout.width = 4;
        layout.height = 3;
        layout.compression = clipmaker::kBiRle8;
        for (uint32_t i = 0; i < 16; ++i) {
            layout.palette.push_back(i);
        }
        layout.frames = frames;
        bytes_ = clipmaker::WriteAvi(layout);
        clip_ = std::make_unique<AviClip>(fake::Value(AviClip::Parse(bytes_)));
        decoder_ = std::make_unique<FrameDecoder>(*clip_);
        fault_ = decoder_->AdvanceTo(frames.size() - 1);
        return decoder_->Pixels();
    }

    // The refusal of painting decoding, which the code-only check must give word for word.
    std::string Refusal(const std::vector<Bytes>& frames) {
        Decode(frames);
        const std::string painted = fake::ErrorOf(fault_);
        EXPECT_EQ(fake::ErrorOf(FrameDecoder::CheckAllFrames(*clip_)), painted);
        return painted;
    }

    Bytes full_ = {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 1};  // rows from the bottom: 1, 2, 3

  private:
    Bytes bytes_;
    std::unique_ptr<AviClip> clip_;
    std::unique_ptr<FrameDecoder> decoder_;
    base::Fault fault_;
};

TEST_F(Rle8Codes, RunsFillRowsFromTheBottom) {
    EXPECT_EQ(Decode({full_}), (std::vector<uint32_t>{3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));
}

TEST_F(Rle8Codes, LiteralRunsAreWordAligned) {
    // A literal of 3 (padded with one byte), a run of 1, end of line, then end of picture.
    EXPECT_EQ(Decode({{0, 3, 7, 8, 9, 0xEE, 1, 5, 0, 0, 0, 1}}),
              (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9, 5}));
}

TEST_F(Rle8Codes, JumpsKeepThePreviousFrame) {
    // Jump 1 right and 1 up, paint 2 pixels of colour 9, then stop.
    EXPECT_EQ(Decode({full_, {0, 2, 1, 1, 2, 9, 0, 1}}),
              (std::vector<uint32_t>{3, 3, 3, 3, 2, 9, 9, 2, 1, 1, 1, 1}));
}

TEST_F(Rle8Codes, EndOfPictureIgnoresTheRest) {
    EXPECT_EQ(Decode({full_, {0, 1, 4, 9}}), Decode({full_}));
}

TEST_F(Rle8Codes, DataEndingWithoutEndOfPictureIsAccepted) {
    EXPECT_EQ(Decode({{4, 1, 0, 0, 4, 2, 0, 0, 4, 3}}), Decode({full_}));
}

TEST_F(Rle8Codes, EmptyFrameRepeatsThePreviousOne) {
    EXPECT_EQ(Decode({full_, {}}), Decode({full_}));
}

TEST_F(Rle8Codes, CorruptCodesAreRefusedWithTheFrame) {
    EXPECT_EQ(Refusal({full_, {5, 1}}), "frame 1 is corrupt: a run goes past the end of a row");
    EXPECT_EQ(Refusal({{3, 1, 0, 3, 1, 2, 3, 0}}),
              "frame 0 is corrupt: a run goes past the end of a row");
    EXPECT_EQ(Refusal({{0, 2, 0, 3, 1, 1}}), "frame 0 is corrupt: it paints above the top row");
    EXPECT_EQ(Refusal({{0, 2, 5, 0}}), "frame 0 is corrupt: a jump leaves the picture");
    EXPECT_EQ(Refusal({{0, 2, 0, 4}}), "frame 0 is corrupt: a jump leaves the picture");
    EXPECT_EQ(Refusal({{0, 2, 1}}), "frame 0 is corrupt: its data ends inside a code");
    EXPECT_EQ(Refusal({{0, 4, 1, 2}}), "frame 0 is corrupt: its data ends inside a code");
    EXPECT_EQ(Refusal({{0, 0, 0, 0, 0, 0, 1, 1}}),
              "frame 0 is corrupt: it paints above the top row");
}

TEST_F(Rle8Codes, CheckAllFramesFindsALateCorruptFrame) {
    clipmaker::AviLayout layout;
    layout.width = 4;
    layout.height = 3;
    layout.compression = clipmaker::kBiRle8;
    layout.palette = {0, 1, 2, 3};
    layout.frames = {full_, full_, {9, 0}};
    const Bytes bytes = clipmaker::WriteAvi(layout);
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    EXPECT_EQ(fake::ErrorOf(FrameDecoder::CheckAllFrames(clip)),
              "frame 2 is corrupt: a run goes past the end of a row");
}

}  // namespace

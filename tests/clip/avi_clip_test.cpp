#include "avi_clip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "frame_decoder.h"
#include "results.h"
#include "sample_clips.h"

namespace {

using clip::AviClip;
using clip::ClipError;
using clip::PlayableClip;
using clipmaker::Bytes;

size_t Find(const Bytes& bytes, const char* text, size_t from = 0) {
    const auto at = std::search(bytes.begin() + static_cast<ptrdiff_t>(from), bytes.end(), text,
                                text + std::strlen(text));
    if (at == bytes.end()) {
        throw std::runtime_error(std::string("no ") + text + " in the clip");
    }
    return static_cast<size_t>(at - bytes.begin());
}

void Put32(Bytes& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void PutText(Bytes& bytes, size_t at, const char* text) {
    std::memcpy(&bytes[at], text, 4);
}

// Where the bitmap header's fields stand: after 'strf' and its size.
size_t BitmapHeader(const Bytes& bytes) {
    return Find(bytes, "strf") + 8;
}

std::string RefusalOf(const Bytes& bytes) {
    return fake::ErrorOf(AviClip::Parse(bytes));
}

Bytes Written(const clipmaker::AviLayout& layout) {
    return clipmaker::WriteAvi(layout);
}
Bytes Sample(const std::string& name) {
    return Written(sample::SampleNamed(name).layout);
}

class EverySample : public testing::TestWithParam<sample::SampleClip> {};

TEST_P(EverySample, ReadsFormatRateAndFrames) {
    const sample::SampleClip& sample = GetParam();
    const Bytes bytes = Written(sample.layout);
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    EXPECT_EQ(clip.Format().width, sample::kWidth);
    EXPECT_EQ(clip.Format().height, sample::kHeight);
    EXPECT_EQ(clip.Format().topDown, sample.layout.height < 0);
    EXPECT_EQ(clip.Format().bitCount, sample.layout.bitCount);
    EXPECT_EQ(clip.Rate().rate, 15u);
    EXPECT_EQ(clip.Rate().scale, 1u);
    ASSERT_EQ(clip.FrameCount(), sample.layout.frames.size());
    for (size_t i = 0; i < clip.FrameCount(); ++i) {
        const auto frame = clip.Frame(i);
        EXPECT_TRUE(std::equal(frame.begin(), frame.end(), sample.layout.frames[i].begin(),
                               sample.layout.frames[i].end()))
            << "frame " << i;
    }
}

// Every cut of a valid clip is refused as a ClipError, never read past its end.
TEST_P(EverySample, RefusesEveryTruncation) {
    const Bytes bytes = Written(GetParam().layout);
    for (size_t size = 0; size < bytes.size(); ++size) {
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
        EXPECT_FALSE(AviClip::Parse(cut)) << "cut at " << size;
    }
}

// Read in small steps as a file is: the same format and rate as the whole clip gives, and
// not a byte of the movie data wanted.
TEST_P(EverySample, HeadersReadInStepsStopBeforeTheFrames) {
    const Bytes bytes = Written(GetParam().layout);
    const AviClip whole = fake::Value(AviClip::Parse(bytes));
    size_t needed = 16;
    std::optional<clip::ClipHeader> header;
    while (!header) {
        ASSERT_LE(needed, Find(bytes, "movi") - 8) << "a byte of the movie data wanted";
        header = fake::Value(AviClip::ReadHeader({bytes.data(), needed}, bytes.size(), needed));
    }
    EXPECT_EQ(header->format.width, whole.Format().width);
    EXPECT_EQ(header->format.bitCount, whole.Format().bitCount);
    EXPECT_EQ(header->format.palette, whole.Format().palette);
    EXPECT_EQ(header->rate.rate, whole.Rate().rate);
    EXPECT_EQ(header->fileBytes, bytes.size());
}

// Cut anywhere after its headers, a clip plays every frame that stands whole before the cut.
TEST_P(EverySample, PlaysTheFramesBeforeEveryCut) {
    const Bytes bytes = Written(GetParam().layout);
    const AviClip whole = fake::Value(AviClip::Parse(bytes));
    std::vector<size_t> frameEnds;
    for (size_t i = 0; i < whole.FrameCount(); ++i) {
        frameEnds.push_back(static_cast<size_t>(whole.Frame(i).data() - bytes.data()) +
                            whole.Frame(i).size());
    }
    for (size_t size = Find(bytes, "movi") - 8; size <= bytes.size(); ++size) {
        const Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
        const auto whole_before = static_cast<size_t>(std::count_if(
            frameEnds.begin(), frameEnds.end(), [&](size_t end) { return end <= size; }));
        EXPECT_EQ(fake::Value(PlayableClip(cut)).FrameCount(), whole_before) << "cut at " << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Clips, EverySample, testing::ValuesIn(sample::SampleClips()),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(AviClipRefusals, NamesWhatIsWrong) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"not RIFF", [](Bytes& b) { PutText(b, 0, "RIFX"); }, "not a RIFF AVI file"},
        {"a WAVE file", [](Bytes& b) { PutText(b, 8, "WAVE"); }, "not a RIFF AVI file"},
        {"longer RIFF size", [](Bytes& b) { Put32(b, 4, static_cast<uint32_t>(b.size())); },
         "the file is truncated"},
        {"no header list", [](Bytes& b) { PutText(b, Find(b, "hdrl"), "hdrX"); }, "no header list"},
        {"no movie list", [](Bytes& b) { PutText(b, Find(b, "movi"), "movX"); }, "no movie data"},
        {"no main header", [](Bytes& b) { PutText(b, Find(b, "avih"), "avix"); },
         "no main AVI header"},
        {"no stream list", [](Bytes& b) { PutText(b, Find(b, "strl"), "strX"); },
         "no video stream"},
        {"a text stream", [](Bytes& b) { PutText(b, Find(b, "vids"), "txts"); },
         "unsupported 'txts' stream"},
        {"an audio stream instead", [](Bytes& b) { PutText(b, Find(b, "vids"), "auds"); },
         "audio stream"},
        {"no format", [](Bytes& b) { PutText(b, Find(b, "strf"), "strX"); }, "has no format"},
        {"RLE4", [](Bytes& b) { Put32(b, BitmapHeader(b) + 16, 2); },
         "unsupported compression RLE4"},
        {"a codec", [](Bytes& b) { PutText(b, BitmapHeader(b) + 16, "XVID"); },
         "unsupported compression 'XVID'"},
        {"4 bits", [](Bytes& b) { b[BitmapHeader(b) + 14] = 4; }, "unsupported bit depth 4"},
        {"zero width", [](Bytes& b) { Put32(b, BitmapHeader(b) + 4, 0); }, "frame size 0 x 5"},
        {"too wide", [](Bytes& b) { Put32(b, BitmapHeader(b) + 4, 4097); }, "frame size 4097 x 5"},
        {"too tall top-down",
         [](Bytes& b) { Put32(b, BitmapHeader(b) + 8, static_cast<uint32_t>(-4097)); },
         "frame size 7 x 4097"},
        {"most negative height", [](Bytes& b) { Put32(b, BitmapHeader(b) + 8, 0x80000000u); },
         "outside 1 to 4096"},
        {"short header", [](Bytes& b) { Put32(b, BitmapHeader(b), 12); }, "bitmap header"},
        {"huge header", [](Bytes& b) { Put32(b, BitmapHeader(b), 0xFFFFFFF0u); }, "bitmap header"},
        {"300 colours", [](Bytes& b) { Put32(b, BitmapHeader(b) + 32, 300); }, "300 colours"},
        {"no frame rate",
         [](Bytes& b) {
             Put32(b, Find(b, "strh") + 8 + 24, 0);
             Put32(b, Find(b, "avih") + 8, 0);
         },
         "no frame rate"},
        {"index past the movie", [](Bytes& b) { Put32(b, Find(b, "idx1") + 32, 0x7FFFFFFF); },
         "index entry 1 does not point at a frame"},
        {"index at the list type", [](Bytes& b) { Put32(b, Find(b, "idx1") + 32, 0); },
         "index entry 1 does not point at a frame"},
        // Added to the movie's place in 32 bits, it would come round to the file's 8th byte.
        {"index wrapping at 4 GiB",
         [](Bytes& b) {
             Put32(b, Find(b, "idx1") + 16, static_cast<uint32_t>(0x100000008 - Find(b, "movi")));
         },
         "index entry 0 does not point at a frame"},
        {"a chunk longer than its list", [](Bytes& b) { Put32(b, Find(b, "avih") + 4, 4000); },
         "'avih' in the header list runs past its end"},
    };
    for (const Case& c : cases) {
        Bytes bytes = Sample("rgb8");
        c.spoil(bytes);
        EXPECT_NE(RefusalOf(bytes).find(c.reason), std::string::npos)
            << c.what << ": " << RefusalOf(bytes);
    }
}

TEST(AviClipRefusals, AudioBesideVideo) {
    clipmaker::AviLayout layout = sample::SampleNamed("rgb24").layout;
    layout.audioStream = true;
    EXPECT_NE(RefusalOf(Written(layout)).find("audio stream; only silent clips"),
              std::string::npos);
}

TEST(AviClipRefusals, SecondVideoStream) {
    Bytes bytes = Sample("rgb24");
    const size_t list = Find(bytes, "LIST", Find(bytes, "strl") - 8);
    const uint32_t size = bytes[list + 4] | bytes[list + 5] << 8;
    const Bytes stream(bytes.begin() + static_cast<ptrdiff_t>(list),
                       bytes.begin() + static_cast<ptrdiff_t>(list + 8 + size));
    bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(list), stream.begin(), stream.end());
    const size_t header = Find(bytes, "hdrl") - 8;
    Put32(bytes, header + 4,
          static_cast<uint32_t>(bytes[header + 4] | bytes[header + 5] << 8) + size + 8);
    Put32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    EXPECT_NE(RefusalOf(bytes).find("more than one video stream"), std::string::npos)
        << RefusalOf(bytes);
}

TEST(AviClipRefusals, FrameShorterThanItsPicture) {
    clipmaker::AviLayout layout = sample::SampleNamed("rgb24").layout;
    layout.frames[1].resize(layout.frames[1].size() - 1);
    EXPECT_NE(RefusalOf(Written(layout))
                  .find("frame 1 holds 119 bytes; a 7 x 5 frame at 24 bits "
                        "per pixel needs 120"),
              std::string::npos)
        << RefusalOf(Written(layout));
}

TEST(AviClipRefusals, NoFrames) {
    clipmaker::AviLayout layout = sample::SampleNamed("rle8").layout;
    layout.frames.clear();
    EXPECT_EQ(RefusalOf(Written(layout)), "the clip holds no frames");
}

TEST(AviClipRefusals, PaletteChangeWhilePlaying) {
    clipmaker::AviLayout layout = sample::SampleNamed("rle8").layout;
    layout.index = clipmaker::IndexKind::None;
    Bytes bytes = Written(layout);
    PutText(bytes, Find(bytes, "00dc", Find(bytes, "movi")), "00pc");
    EXPECT_NE(RefusalOf(bytes).find("changes its palette"), std::string::npos);
}

TEST(AviClipRefusals, PaletteLongerThanItsChunk) {
    clipmaker::AviLayout layout = sample::SampleNamed("rle8").layout;
    Bytes bytes = Written(layout);
    Put32(bytes, BitmapHeader(bytes) + 32, 9);  // 8 colours are stored
    EXPECT_NE(RefusalOf(bytes).find("palette does not fit"), std::string::npos);
}

TEST(AviClipRefusals, LongerThanADay) {
    clipmaker::AviLayout layout = sample::SampleNamed("rle8").layout;
    layout.rate = 1;
    layout.scale = 40000;  // three frames of 40000 s each
    EXPECT_EQ(RefusalOf(Written(layout)), "the clip plays longer than a day");
}

// A clip whose headers were read plays up to its first damage; a header fault is still refused.
TEST(AviClipPlayable, StopsAtTheFirstDamage) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> spoil;
        size_t frames;
    };
    const auto noIndex = [] {
        clipmaker::AviLayout layout = sample::SampleNamed("rle8").layout;
        layout.index = clipmaker::IndexKind::None;
        return Written(layout);
    };
    const std::vector<Case> cases = {
        {"whole", [](Bytes&) {}, 3},
        {"frame 1's codes run past its row",
         [](Bytes& b) { b[Find(b, "00dc", Find(b, "movi") + 12) + 8] = 200; }, 1},
        {"index entry 1 past the movie",
         [](Bytes& b) { Put32(b, Find(b, "idx1") + 32, 0x7FFFFFFF); }, 1},
        {"a palette change after frame 0",
         [&](Bytes& b) {
             b = noIndex();
             PutText(b, Find(b, "00dc", Find(b, "00dc", Find(b, "movi")) + 4), "00pc");
         },
         1},
        {"a frame chunk longer than the movie",
         [&](Bytes& b) {
             b = noIndex();
             Put32(b, Find(b, "00dc", Find(b, "00dc", Find(b, "movi")) + 4) + 4, 0x7FFFFFFF);
         },
         1},
        {"longer than a day: 40000 s a frame",
         [](Bytes& b) {
             Put32(b, Find(b, "strh") + 8 + 20, 40000);
             Put32(b, Find(b, "strh") + 8 + 24, 1);
         },
         2},
    };
    for (const Case& c : cases) {
        Bytes bytes = Sample("rle8");
        c.spoil(bytes);
        EXPECT_EQ(fake::Value(PlayableClip(bytes)).FrameCount(), c.frames) << c.what;
    }
    Bytes noHeader = Sample("rle8");
    PutText(noHeader, Find(noHeader, "avih"), "avix");
    EXPECT_FALSE(PlayableClip(noHeader));
}

TEST(AviClipReading, EmptyFrameChunksAreDroppedFrames) {
    clipmaker::AviLayout layout = sample::SampleNamed("rgb24").layout;
    layout.frames[1].clear();
    const Bytes bytes = Written(layout);
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    ASSERT_EQ(clip.FrameCount(), 3u);
    EXPECT_TRUE(clip.Frame(1).empty());
}

TEST(AviClipReading, FallsBackToTheMainHeaderRate) {
    Bytes bytes = Sample("rgb8");
    Put32(bytes, Find(bytes, "strh") + 8 + 24, 0);  // stream rate
    Put32(bytes, Find(bytes, "avih") + 8, 66667);
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    EXPECT_EQ(clip.Rate().rate, 1'000'000u);
    EXPECT_EQ(clip.Rate().scale, 66667u);
}

TEST(AviClipReading, ShortPaletteIsPaddedWithBlack) {
    const Bytes bytes = Sample("rgb8");
    const AviClip clip = fake::Value(AviClip::Parse(bytes));
    ASSERT_EQ(clip.Format().palette.size(), 256u);
    EXPECT_EQ(clip.Format().palette[1], 0xFFFFFFu);
    EXPECT_EQ(clip.Format().palette[200], 0u);
}

}  // namespace

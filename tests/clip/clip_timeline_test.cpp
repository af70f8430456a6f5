#include "clip_timeline.h"

#include <gtest/gtest.h>

#include "results.h"
#include "clip_player.h"
#include "sample_clips.h"

namespace {

using clip::ClipTimeline;

TEST(ClipTimeline, PlaysOnceFromTheFirstToTheLastFrame) {
    const ClipTimeline timeline({12, 1}, 24);  // 2 s
    EXPECT_EQ(timeline.FrameDueAt(0), 0u);
    EXPECT_EQ(timeline.FrameDueAt(83), 0u);
    EXPECT_EQ(timeline.FrameDueAt(84), 1u);  // frame 1 starts at 83.3 ms
    EXPECT_EQ(timeline.FrameDueAt(1000), 12u);
    EXPECT_EQ(timeline.FrameDueAt(1999), 23u);
    EXPECT_EQ(timeline.DurationMs(), 2000u);
    EXPECT_EQ(timeline.FrameDueAt(2000), 23u);  // and stays on the last frame
    EXPECT_EQ(timeline.FrameDueAt(uint64_t{1} << 62), 23u);
}

TEST(ClipTimeline, TellsWhenTheNextFrameIsDue) {
    const ClipTimeline timeline({12, 1}, 24);
    EXPECT_EQ(timeline.MsUntilNextFrame(0), 84u);
    EXPECT_EQ(timeline.MsUntilNextFrame(80), 4u);
    EXPECT_EQ(timeline.MsUntilNextFrame(84), 83u);             // frame 2 at 166.7 ms
    EXPECT_EQ(timeline.MsUntilNextFrame(1917), std::nullopt);  // frame 23 is due
    EXPECT_EQ(timeline.MsUntilNextFrame(5000), std::nullopt);
    // Asking again at the promised time always finds the next frame due.
    for (uint64_t t = 0; t < 1917;) {
        const size_t frame = timeline.FrameDueAt(t);
        t += *timeline.MsUntilNextFrame(t);
        EXPECT_EQ(timeline.FrameDueAt(t), frame + 1) << "at " << t;
    }
}

TEST(ClipTimeline, DoesNotDriftWithFractionalRates) {
    const ClipTimeline ntsc({30000, 1001}, 108000);      // one hour at 29.97 frames a second
    EXPECT_EQ(ntsc.FrameDueAt(3'603'600 - 1), 107999u);  // 108000 frames take 3603.6 s
    EXPECT_EQ(ntsc.FrameDueAt(1'801'800), 54000u);
    EXPECT_EQ(ntsc.FrameDueAt(1'801'799), 53999u);
    const ClipTimeline microseconds({1'000'000, 66'667}, 1000);  // as avih stores it
    EXPECT_EQ(microseconds.FrameDueAt(66'667), 1000u - 1);
    EXPECT_EQ(microseconds.FrameDueAt(66'666), 999u);
    EXPECT_EQ(microseconds.FrameDueAt(66'600), 998u);
}

TEST(ClipTimeline, HandlesTheLongestAndFinestClips) {
    const ClipTimeline day({1, 1}, 86400);
    EXPECT_EQ(day.FrameDueAt(86'399'999), 86399u);
    const ClipTimeline fine({0xFFFFFFFF, 1}, 3);
    EXPECT_EQ(fine.FrameDueAt(0), 0u);
    EXPECT_EQ(fine.FrameDueAt(1), 2u);
    const ClipTimeline coarse({1, 0xFFFFFFFF}, 1);
    EXPECT_EQ(coarse.FrameDueAt(0), 0u);
    EXPECT_EQ(coarse.MsUntilNextFrame(0), std::nullopt);
}

TEST(ClipPlayer, ShowsDueFramesAndReportsChanges) {
    const sample::SampleClip& sample = sample::SampleNamed("rle8");
    const clipmaker::Bytes bytes = clipmaker::WriteAvi(sample.layout);
    const clip::AviClip avi = fake::Value(clip::AviClip::Parse(bytes));
    clip::ClipPlayer player(avi);  // 15 frames a second
    EXPECT_EQ(player.Picture().Pixels(), sample.expected[0]);
    EXPECT_FALSE(player.ShowFrameDueAt(66));
    EXPECT_TRUE(player.ShowFrameDueAt(140));  // a late tick jumps straight to frame 2
    EXPECT_EQ(player.Picture().Pixels(), sample.expected[2]);
    EXPECT_FALSE(player.ShowFrameDueAt(10'000));
    EXPECT_EQ(player.Picture().CurrentFrame(), 2u);
}

}  // namespace

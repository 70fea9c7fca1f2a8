// Properties every slide, reveal and line-drop effect keeps, checked on each of them.
#include "transitions/EffectHarness.h"

#include <gtest/gtest.h>
#include <string>

namespace pictorelle::testing {
namespace {

bool Inside(const TRect& r, int w, int h) {
    return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h && !r.isEmpty();
}

std::string Describe(const TRect& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

// Every paint reads from inside its picture and writes inside the target (an empty rectangle
// is not worth a paint), and the transition ends on exactly the new picture.
void ExpectSoundRun(const EffectRun& run, const std::string& what) {
    for (const PaintRecord& p : run.paints) {
        EXPECT_TRUE(Inside(p.dest, run.width, run.height)) << what << " dest " << Describe(p.dest);
        EXPECT_TRUE(Inside(p.source, run.width, run.height))
            << what << " source " << Describe(p.source);
        EXPECT_NE(p.from, From::Other) << what;
    }
    EXPECT_TRUE(SamePixels(run.result, Coded(run.width, run.height, true))) << what;
}

// Frames of each effect on a 40 x 30 picture with 16 steps, worked out from the members'
// step counts: the largest among the pieces (s div 2 = 8, s div 4 = 4, the lines' period
// counts min(s, w div 2) = 16 and min(s, h div 2) = 15, a sweep column max(4, s div 3) = 5
// steps, a download pass min(s div 4, h div 4) = 4). A line drop does not paint its last step.
constexpr int kFramesAt40x30Steps16[68] = {
    16, 16, 16, 16, 16, 16, 16, 16, 16, 17, 16, 16, 16, 52, 16, 52, 16, 16, 52, 52, 16, 16, // 1-22
    16, 17, 16, 17, 16, 17, 17, 17, 17, 17, 18, 17, 17, 88, 17, 88, 17, 17, 38, 38,         // 23-42
    16, 15, 32, 30, 32, 33, 33, 32, 17, 32, 33, 33, 32, 17, 30, 30, 30, 30, 51, 51, 16, 16, // 43-64
    15, 15, 15, 15,                                                                         // 65-68
};

class EveryEffect : public ::testing::TestWithParam<int> {};

TEST_P(EveryEffect, RunsItsFramesInsideThePictureAndEndsOnTheNewOne) {
    const int effect = GetParam();
    const EffectRun run = RunCodedEffect(effect, 40, 30, 16);
    ExpectSoundRun(run, "effect " + std::to_string(effect));
    EXPECT_EQ(run.FrameCount(), kFramesAt40x30Steps16[effect - 1]) << "effect " << effect;
    // The frames show something: the last one is closer to the new picture than the old.
    ASSERT_GT(run.FrameCount(), 0);
    int shown = 0;
    const TBitmap32& last = run.frames.back();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            shown += (last.Pixel(x, y) & 1u << 23) != 0;
    EXPECT_GT(shown, 40 * 30 / 2) << "effect " << effect;
}

TEST_P(EveryEffect, SurvivesTinyPicturesAndStepCounts) {
    // Sizes and step counts far below what the show uses: nothing may divide by zero, hang,
    // or paint outside the picture.
    const int effect = GetParam();
    const TSize sizes[] = {{1, 1}, {2, 1}, {1, 3}, {3, 2}, {5, 4}, {11, 7}};
    for (const TSize size : sizes)
        for (const int steps : {0, 1, 2, 3, 5, 40}) {
            const EffectRun run = RunCodedEffect(effect, size.width, size.height, steps);
            ExpectSoundRun(run, "effect " + std::to_string(effect) + " at " +
                                    std::to_string(size.width) + "x" + std::to_string(size.height) +
                                    ", " + std::to_string(steps) + " steps");
        }
}

TEST_P(EveryEffect, StopsAfterTheFrameInWhichItIsSkipped) {
    const int effect = GetParam();
    const EffectRun run =
        RunCodedEffect(effect, 40, 30, 16, [](int frame, TTransitionState& state) {
            if (frame == 3) state.SkipTransition = true;
        });
    EXPECT_EQ(run.FrameCount(), 3);
    EXPECT_TRUE(SamePixels(run.result, Coded(40, 30, true)));
}

INSTANTIATE_TEST_SUITE_P(SlideRevealAndLineDrop, EveryEffect, ::testing::Range(1, 69));

// Reveals never move content: at every frame each pixel shows either the old or the new
// picture's pixel of the same place, and once uncovered stays uncovered.
class RevealEffect : public ::testing::TestWithParam<int> {};

TEST_P(RevealEffect, UncoversInPlaceAndNeverCoversAgain) {
    const int effect = GetParam();
    for (const TSize size : {TSize{40, 30}, TSize{37, 23}}) {
        const EffectRun run = RunCodedEffect(effect, size.width, size.height, 12);
        TBitmap32 uncovered(size.width, size.height);
        for (int f = 0; f < run.FrameCount(); ++f) {
            const TBitmap32& frame = run.frames[static_cast<size_t>(f)];
            for (int y = 0; y < size.height; ++y)
                for (int x = 0; x < size.width; ++x) {
                    const uint32_t p = frame.Pixel(x, y);
                    ASSERT_TRUE(p == OldPixel(x, y) || p == NewPixel(x, y))
                        << "effect " << effect << " frame " << f + 1 << " at " << x << "," << y;
                    ASSERT_FALSE(uncovered.Pixel(x, y) && p == OldPixel(x, y))
                        << "effect " << effect << " covers " << x << "," << y << " again";
                    if (p == NewPixel(x, y)) uncovered.SetPixel(x, y, 1);
                }
        }
        for (const PaintRecord& p : run.paints) {
            EXPECT_EQ(p.from, From::New);
            EXPECT_EQ(p.source, p.dest) << "effect " << effect;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Reveals, RevealEffect, ::testing::Range(23, 65));

} // namespace
} // namespace pictorelle::testing

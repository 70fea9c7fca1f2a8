#include "transitions/EffectHarness.h"
#include "transitions/OffscreenRun.h"

#include <gtest/gtest.h>
#include <vector>

namespace pictorelle {
namespace {

using testing::Filled;

constexpr uint32_t kOld = 0xFF204060;
constexpr uint32_t kNew = 0xFFE0C0A0;

TEST(OffscreenRun, ReportsEachFrameAndPaintAndEndsOnTheNewPicture) {
    std::vector<int> numbers;
    int paints = 0, paintsOutsideATransition = 0;
    TOffscreenObserver observer;
    observer.frame = [&](int frame, const TBitmap32& shown, TTransitionState&) {
        numbers.push_back(frame);
        EXPECT_EQ(shown.Pixel(0, 0), frame < 8 ? kOld : kNew)
            << "Box Out reaches the corner only in its last frame";
    };
    observer.paint = [&](const TBitmap32& source, const TRect&, const TRect&,
                         const TTransitionState& state) {
        ++paints;
        const TTransThread* t = state.CurrentTransition.load();
        paintsOutsideATransition += !t || &source != &t->NewPicture;
    };
    const TOffscreenRun run =
        RunOffscreen(69, 16, Filled(64, 48, kOld), Filled(64, 48, kNew), observer);
    EXPECT_EQ(run.frames, 8) << "half widths 4, 8, ..., 32";
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(run.frameMs.size(), 7u) << "the first frame has no time";
    EXPECT_EQ(paints, 9) << "one a frame and the final paint";
    EXPECT_EQ(paintsOutsideATransition, 0);
    ASSERT_EQ(run.result.Width(), 64);
    EXPECT_EQ(run.result.Pixel(0, 0), kNew);
    EXPECT_EQ(run.result.Pixel(63, 47), kNew);
}

TEST(OffscreenRun, TheOldPictureSitsAtTheTopLeftOfATargetSizedForTheNewOne) {
    TOffscreenObserver observer;
    observer.frame = [](int frame, const TBitmap32& shown, TTransitionState& state) {
        if (frame > 1) return;
        EXPECT_EQ(shown.Width(), 64);
        EXPECT_EQ(shown.Pixel(7, 5), kOld);
        EXPECT_EQ(shown.Pixel(8, 6), 0u) << "outside the old picture";
        state.SuppressFinalPaint = true;
        state.StopRequested = true;
    };
    const TOffscreenRun run =
        RunOffscreen(69, 16, Filled(8, 6, kOld), Filled(64, 48, kNew), observer);
    EXPECT_EQ(run.frames, 1);
    EXPECT_EQ(run.result.Pixel(0, 0), kOld) << "stopped without the final paint";
    EXPECT_EQ(run.result.Pixel(32, 24), kNew) << "the first frame's box";
}

TEST(OffscreenRun, EffectZeroPaintsAtOnceWithoutFrames) {
    const TOffscreenRun run = RunOffscreen(0, 16, Filled(8, 6, kOld), Filled(8, 6, kNew));
    EXPECT_EQ(run.frames, 0);
    EXPECT_TRUE(run.frameMs.empty());
    EXPECT_EQ(run.result.Pixel(7, 5), kNew);
}

} // namespace
} // namespace pictorelle

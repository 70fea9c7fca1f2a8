#include "transitions/EffectHarness.h"
#include "transitions/RowHelpers.h"
#include "transitions/TransThread.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace pictorelle {
namespace {

using namespace pictorelle::testing;

// Plain (not atomic) counters written by the bands and read by the caller after Run: Run must
// make the helpers' writes visible, which ThreadSanitizer checks.
TEST(TransitionRowHelpers, EveryBandRunsOnceARoundAndIsDoneWhenRunReturns) {
    TRowHelpers helpers(2, 0);
    const std::thread::id caller = std::this_thread::get_id();
    for (int round = 0; round < 300; ++round) {
        const int bands = 1 + round % 3;
        std::array<int, 3> runs{};
        std::array<std::thread::id, 3> ranOn{};
        helpers.Run(bands, [&](int band) {
            ++runs[static_cast<std::size_t>(band)];
            ranOn[static_cast<std::size_t>(band)] = std::this_thread::get_id();
        });
        for (int b = 0; b < 3; ++b)
            ASSERT_EQ(runs[static_cast<std::size_t>(b)], b < bands ? 1 : 0) << "round " << round;
        ASSERT_EQ(ranOn[0], caller) << "the caller draws the first band itself";
        for (int b = 1; b < bands; ++b)
            ASSERT_NE(ranOn[static_cast<std::size_t>(b)], caller);
    }
}

TEST(TransitionRowHelpers, BandsAreCappedAndNoHelpersMeansTheCallerAlone) {
    TRowHelpers one(1, 0);
    std::vector<int> seen;
    std::mutex m;
    one.Run(8, [&](int band) {
        std::lock_guard lock(m);
        seen.push_back(band);
    });
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));

    TRowHelpers none(0, 0);
    EXPECT_EQ(none.BandsFor(1u << 30), 1);
    int runs = 0;
    none.Run(4, [&](int band) {
        EXPECT_EQ(band, 0);
        ++runs;
    });
    EXPECT_EQ(runs, 1);

    TRowHelpers threshold(1, 1000);
    EXPECT_EQ(threshold.BandsFor(999), 1);
    EXPECT_EQ(threshold.BandsFor(1000), 2);
}

TEST(TransitionRowHelpers, AFailingFirstBandStillWaitsForTheOthers) {
    TRowHelpers helpers(1, 0);
    bool helperDone = false;
    EXPECT_THROW(helpers.Run(2,
                             [&](int band) {
                                 if (band == 0) throw std::runtime_error("band 0");
                                 std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                 helperDone = true;
                             }),
                 std::runtime_error);
    EXPECT_TRUE(helperDone);
    // And the helpers are ready for the next round.
    int runs = 0;
    std::mutex m;
    helpers.Run(2, [&](int) {
        std::lock_guard lock(m);
        ++runs;
    });
    EXPECT_EQ(runs, 2);
}

TEST(TransitionRowHelpers, ResetEndsTheHelpersAndTakesANewCount) {
    TRowHelpers helpers(1, 0);
    helpers.Run(2, [](int) {});
    helpers.Reset(2, 0);
    EXPECT_EQ(helpers.HelperCount(), 2);
    std::array<int, 3> runs{};
    helpers.Run(3, [&](int band) { ++runs[static_cast<std::size_t>(band)]; });
    EXPECT_EQ(runs, (std::array<int, 3>{1, 1, 1}));
}

// Every frame of an effect played with its frames split over helpers, and played by the worker
// alone.
std::vector<TBitmap32> Frames(int effect, int helpers, const TBitmap32& from, const TBitmap32& to) {
    TTransitionState state;
    state.Helpers.Reset(helpers, 0);
    TDirectMainThread direct;
    TBitmapTarget target(to.Width(), to.Height());
    target.Surface().Draw(0, 0, from);
    std::vector<TBitmap32> frames;
    state.FrameObserver = [&] { frames.push_back(target.Surface()); };
    StartTransition(state, direct, target, to, effect, false, 12, 0);
    state.JoinWorker();
    frames.push_back(target.Surface());
    return frames;
}

// The zooms and the fades (103 to 116) split their frames.
TEST(TransitionRowHelpers, FramesSplitOverHelpersMatchTheWorkerAlone) {
    const TBitmap32 from = Noise(61, 43, 3), to = Noise(61, 43, 4);
    for (int effect = 103; effect <= 116; ++effect) {
        const std::vector<TBitmap32> alone = Frames(effect, 0, from, to);
        const std::vector<TBitmap32> split = Frames(effect, 2, from, to);
        ASSERT_EQ(split.size(), alone.size()) << "effect " << effect;
        for (std::size_t k = 0; k < alone.size(); ++k)
            ASSERT_TRUE(SamePixels(split[k], alone[k])) << "effect " << effect << ", frame " << k + 1;
    }
}

} // namespace
} // namespace pictorelle

#include "transitions/EffectCatalogue.h"
#include "transitions/EffectHarness.h"
#include "transitions/TransThread.h"

#include <condition_variable>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>

namespace pictorelle {
namespace {

using testing::Filled;

constexpr uint32_t kOld = 0xFF102030;
constexpr uint32_t kNew = 0xFFC0D0E0;

// A stand-in for the user-interface thread: work from the worker is queued and runs only when
// the test thread pumps, as the window's event loop would.
class QueuedMainThread final : public TMainThread {
public:
    void InvokeBlocking(const std::function<void()>& fn) override {
        std::unique_lock lock(mutex_);
        bool done = false;
        queue_.push_back([&] {
            fn();
            std::lock_guard inner(mutex_);
            done = true;
            cv_.notify_all();
        });
        cv_.notify_all();
        cv_.wait(lock, [&] { return done; });
    }
    void InvokeLater(std::function<void()> fn) override {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(fn));
        cv_.notify_all();
    }
    void ProcessEventsUntil(const std::function<bool()>& done) override {
        while (!done())
            PumpOne(std::chrono::milliseconds(1));
    }
    // Runs one queued task, waiting up to `wait` for one.
    bool PumpOne(std::chrono::milliseconds wait) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            if (!cv_.wait_for(lock, wait, [&] { return !queue_.empty(); })) return false;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
        return true;
    }
    void PumpUntilIdle() {
        while (PumpOne(std::chrono::milliseconds(20))) {
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
};

class TransitionTest : public ::testing::Test {
protected:
    // Runs one transition to the end with paints done on the worker; returns the target's
    // picture after every frame.
    std::vector<TBitmap32> Frames(int effect, int steps, std::function<void(int)> atFrame = {}) {
        std::vector<TBitmap32> frames;
        state.FrameObserver = [&] {
            frames.push_back(target.Surface());
            if (atFrame) atFrame(static_cast<int>(frames.size()));
        };
        EXPECT_TRUE(StartTransition(state, direct, target, next, effect, false, steps, 0,
                                    [&] { ++completions; }));
        direct.ProcessEventsUntil([&] { return !state.TransitionRunning.load(); });
        state.JoinWorker();
        return frames;
    }

    // The part of a frame that shows the new picture, as a bounding box.
    static TRect NewArea(const TBitmap32& frame) {
        TRect r{frame.Width(), frame.Height(), 0, 0};
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x)
                if (frame.Pixel(x, y) == kNew)
                    r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                         std::max(r.bottom, y + 1)};
        return r;
    }

    TTransitionState state;
    TDirectMainThread direct;
    TBitmapTarget target{64, 48};
    TBitmap32 next = Filled(64, 48, kNew);
    int completions = 0;

    void SetUp() override { target.Surface().Clear(kOld); }
};

TEST_F(TransitionTest, EffectZeroPaintsAtOnceWithoutAThread) {
    EXPECT_FALSE(
        StartTransition(state, direct, target, next, 0, false, 16, 9, [&] { ++completions; }));
    EXPECT_FALSE(state.TransitionRunning);
    EXPECT_EQ(state.CurrentTransition, nullptr);
    EXPECT_FALSE(state.worker.joinable());
    EXPECT_EQ(target.Surface().Pixel(0, 0), kNew);
    EXPECT_EQ(completions, 0);
}

TEST_F(TransitionTest, BoxOutGrowsACentredBoxOfTheNewPicture) {
    const auto frames = Frames(69, 16); // d = 64 div 16 = 4: half widths 4, 8, ..., 32
    ASSERT_EQ(frames.size(), 8u);
    EXPECT_EQ(NewArea(frames[0]), (TRect{28, 21, 36, 27})) << "g = round(4 * 48 / 64) = 3";
    EXPECT_EQ(NewArea(frames[1]), (TRect{24, 18, 40, 30}));
    EXPECT_EQ(NewArea(frames[7]), (TRect{0, 0, 64, 48}));
    EXPECT_EQ(target.Surface().Pixel(0, 0), kNew);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(state.TransitionRunning);
    EXPECT_EQ(state.CurrentTransition, nullptr);
}

TEST_F(TransitionTest, BoxInShrinksTheOldPictureIntoTheCentre) {
    const auto frames = Frames(70, 16); // half widths 32, 28, ..., 4
    ASSERT_EQ(frames.size(), 8u);
    EXPECT_EQ(frames[0].Pixel(0, 0), kOld) << "the first box still covers everything";
    EXPECT_EQ(frames[1].Pixel(3, 2), kNew);
    EXPECT_EQ(frames[1].Pixel(4, 3), kOld) << "box 4,3,60,45";
    EXPECT_EQ(frames[1].Pixel(59, 44), kOld);
    EXPECT_EQ(frames[1].Pixel(60, 44), kNew);
    EXPECT_EQ(frames[7].Pixel(28, 21), kOld) << "box 28,21,36,27 at the end";
    EXPECT_EQ(frames[7].Pixel(27, 21), kNew);
    EXPECT_EQ(target.Surface().Pixel(32, 24), kNew) << "the final paint shows the new picture";
}

TEST_F(TransitionTest, SkipEndsEarlyWithTheNewPicture) {
    const auto frames = Frames(69, 64, [&](int frame) {
        if (frame == 3) state.SkipTransition = true;
    });
    EXPECT_EQ(frames.size(), 3u);
    EXPECT_EQ(NewArea(target.Surface()), (TRect{0, 0, 64, 48}));
    EXPECT_EQ(completions, 1);
}

TEST_F(TransitionTest, SuppressedFinalPaintLeavesTheLastFrame) {
    const auto frames = Frames(69, 64, [&](int frame) {
        if (frame == 3) {
            state.SuppressFinalPaint = true;
            state.StopRequested = true;
        }
    });
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(NewArea(target.Surface()), NewArea(frames[2]));
    EXPECT_NE(target.Surface().Pixel(0, 0), kNew);
    EXPECT_EQ(completions, 1);
}

TEST_F(TransitionTest, EffectsOutsideTheCatalogueStillEndOnTheNewPicture) {
    for (int effect : {-1, 121, 255}) {
        target.Surface().Clear(kOld);
        Frames(effect, 8);
        EXPECT_EQ(NewArea(target.Surface()), (TRect{0, 0, 64, 48})) << effect;
    }
    EXPECT_EQ(completions, 3);
}

// A target that fails on its second paint, as a broken window surface might.
class FailingTarget final : public TPaintTarget {
public:
    TSize Size() const override { return {16, 16}; }
    void Capture(TBitmap32&) const override {}
    void Paint(const TBitmap32&, const TRect&, const TRect&) override {
        if (++paints == 2) throw std::runtime_error("surface lost");
    }
    int paints = 0;
};

TEST_F(TransitionTest, CompletionRunsOnceEvenWhenTheEffectFails) {
    FailingTarget failing;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(StartTransition(state, direct, failing, Filled(16, 16, kNew), 69, true, 4, 0,
                                [&] { ++completions; }));
    state.JoinWorker();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Transition effect 69 stopped: surface lost\n")
        << "what stopped the effect is told, once";
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(state.TransitionRunning);
    EXPECT_EQ(state.CurrentTransition, nullptr);
}

TEST_F(TransitionTest, FramesLastAtLeastTheirDelay) {
    // A lower bound only: a loaded machine makes the transition longer, never shorter.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartTransition(state, direct, target, next, 69, true, 32, 10));
    state.JoinWorker();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(16 * 10)) << "16 frames of at least 10 ms";
}

// Paints run only when the user-interface thread pumps; transitions are started and stopped
// from it while the worker paints.
TEST_F(TransitionTest, ManyTransitionsStartedAndStoppedFromTheInterfaceThread) {
    QueuedMainThread ui;
    int started = 0;
    for (int i = 0; i < 150; ++i) {
        const int effect = (i % 3 == 0) ? 0 : (i % 2 ? 69 : 70);
        if (StartTransition(state, ui, target, i % 2 ? next : Filled(64, 48, kOld), effect, false,
                            8 + i % 5 * 4, i % 4, [&] { ++completions; }))
            ++started;
        for (int k = 0; k < i % 6; ++k)
            ui.PumpOne(std::chrono::milliseconds(1));
        if (i % 5 == 0) state.StopRequested = true;
        if (i % 7 == 0) state.SkipTransition = true;
    }
    ui.ProcessEventsUntil([&] { return !state.TransitionRunning.load(); });
    state.JoinWorker();
    ui.PumpUntilIdle();
    EXPECT_EQ(completions, started);
}

// A window closing mid-transition: the worker stops without its final paint and is gone when
// the call returns; its completion handler is still queued to the interface thread.
TEST_F(TransitionTest, StopAndWaitEndsTheWorkerAndKeepsTheLastFrame) {
    QueuedMainThread ui;
    ASSERT_TRUE(StartTransition(state, ui, target, next, 69, false, 64, 5, [&] { ++completions; }));
    for (int k = 0; k < 3; ++k)
        ui.PumpOne(std::chrono::milliseconds(100));
    StopTransitionAndWait(state, ui);
    EXPECT_FALSE(state.TransitionRunning);
    EXPECT_FALSE(state.worker.joinable());
    EXPECT_TRUE(state.SuppressFinalPaint);
    EXPECT_EQ(target.Surface().Pixel(0, 0), kOld) << "no final paint";
    EXPECT_FALSE(NewArea(target.Surface()).isEmpty()) << "the frames painted so far stay";
    ui.PumpUntilIdle();
    EXPECT_EQ(completions, 1);
}

TEST_F(TransitionTest, StopAndWaitWithNothingRunningLeavesTheFlags) {
    QueuedMainThread ui;
    StopTransitionAndWait(state, ui);
    EXPECT_FALSE(state.StopRequested);
    EXPECT_FALSE(state.SuppressFinalPaint) << "a later transition still ends on its picture";
    Frames(69, 16);
    EXPECT_EQ(NewArea(target.Surface()), (TRect{0, 0, 64, 48}));
}

// A target that notes each paint that covers all of it.
class WholePaintCounter final : public TPaintTarget {
public:
    TSize Size() const override { return inner.Size(); }
    void Capture(TBitmap32& into) const override { inner.Capture(into); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override {
        if (destRect == inner.Surface().BoundsRect()) ++wholePaints;
        inner.Paint(source, sourceRect, destRect);
    }
    TBitmapTarget inner{64, 48};
    int wholePaints = 0;
};

// Starting over a running transition stops it but lets it end on its own picture first.
TEST_F(TransitionTest, StartingAgainStopsTheRunningTransitionWithItsFinalPaint) {
    QueuedMainThread ui;
    WholePaintCounter counter;
    ASSERT_TRUE(
        StartTransition(state, ui, counter, next, 69, false, 64, 5, [&] { ++completions; }));
    ui.PumpOne(std::chrono::milliseconds(100));
    EXPECT_FALSE(StartTransition(state, ui, counter, next, 0, false, 16, 0));
    EXPECT_FALSE(state.SuppressFinalPaint);
    EXPECT_FALSE(state.worker.joinable());
    EXPECT_EQ(counter.wholePaints, 2) << "the stopped transition's final paint, then effect 0's";
    ui.PumpUntilIdle();
    EXPECT_EQ(completions, 1);
}

TEST(TransitionSteps, FollowsTheTablesAndTheWidthRule) {
    const int at800[] = {800, 600, 400, 200, 100, 60, 40, 20, 8, 4};
    const int at1024[] = {1024, 768, 400, 256, 128, 64, 32, 16, 8, 4};
    for (int speed = 1; speed <= 10; ++speed) {
        EXPECT_EQ(TransitionSteps(800, speed), at800[speed - 1]);
        EXPECT_EQ(TransitionSteps(1024, speed), at1024[speed - 1]);
    }
    EXPECT_EQ(TransitionSteps(1280, 4), 320);
    EXPECT_EQ(TransitionSteps(1280, 3), 424);
    EXPECT_EQ(TransitionSteps(1920, 7), 272);
    EXPECT_EQ(TransitionSteps(1280, 0), 1280) << "speeds are kept within 1..10";
    EXPECT_EQ(TransitionSteps(1280, 50), 128);
    EXPECT_EQ(TransitionSteps(10, 4), 4) << "a tiny window still animates";
}

} // namespace
} // namespace pictorelle

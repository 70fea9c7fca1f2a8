// Families that hand whole frames over (the fades and the zooms) must show the same frames on
// a target that swaps bitmaps with the worker as on one that copies the changed rectangles.
#include "EffectHarness.h"
#include "transitions/TransThread.h"

#include <gtest/gtest.h>
#include <vector>

namespace pictorelle::testing {
namespace {

// A target that copies what Present names as changed and never swaps.
class TCopyingTarget final : public TPaintTarget {
public:
    explicit TCopyingTarget(const TBitmap32& from) : surface_(from) {}
    TSize Size() const override { return {surface_.Width(), surface_.Height()}; }
    void Capture(TBitmap32& into) const override { into.Draw(0, 0, surface_); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override {
        PaintRect(surface_, source, sourceRect, destRect);
    }
    const TBitmap32& Surface() const { return surface_; }

private:
    TBitmap32 surface_;
};

std::vector<TBitmap32> CopyingFrames(int effect, int steps, const TBitmap32& from,
                                     const TBitmap32& to) {
    TTransitionState state;
    TDirectMainThread direct;
    TCopyingTarget target(from);
    std::vector<TBitmap32> frames;
    state.FrameObserver = [&] { frames.push_back(target.Surface()); };
    StartTransition(state, direct, target, to, effect, false, steps, 0);
    state.JoinWorker();
    return frames;
}

TEST(TransitionPresent, SwappingAndCopyingTargetsShowTheSameFrames) {
    const TBitmap32 from = Noise(61, 37, 1), to = Noise(61, 37, 2);
    // Crossfade, fade to black, Box In and every zoom (door and quarter ones have several
    // pieces), in few steps so each frame changes much.
    for (const int effect : {115, 116, 70, 103, 104, 107, 108, 111, 112, 113, 114}) {
        const std::vector<TBitmap32> copied = CopyingFrames(effect, 7, from, to);
        std::vector<TBitmap32> swapped;
        TOffscreenObserver observer;
        observer.frame = [&](int, const TBitmap32& shown, TTransitionState&) {
            swapped.push_back(shown);
        };
        RunOffscreen(effect, 7, from, to, observer);
        ASSERT_EQ(copied.size(), swapped.size()) << "effect " << effect;
        ASSERT_FALSE(copied.empty()) << "effect " << effect;
        for (std::size_t f = 0; f < copied.size(); ++f)
            ASSERT_TRUE(SamePixels(copied[f], swapped[f])) << "effect " << effect << " frame " << f;
    }
}

} // namespace
} // namespace pictorelle::testing

// Runs one transition off screen with frame delay 0 and records what it painted: the target
// after every frame and any paint that reached outside the picture or its source.
#pragma once

#include "transitions/TransThread.h"

#include <functional>
#include <vector>

namespace pictorelle::composedtest {

// A bitmap target that notes paints whose rectangles leave the bitmaps.
class TCheckingTarget final : public TPaintTarget {
public:
    TCheckingTarget(int width, int height) : inner_(width, height) {}
    TSize Size() const override { return inner_.Size(); }
    void Capture(TBitmap32& into) const override { inner_.Capture(into); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override {
        if (!sourceRect.isEmpty() && !destRect.isEmpty()) {
            const TRect inside = inner_.Surface().BoundsRect();
            if (destRect.intersected(inside) != destRect ||
                sourceRect.intersected(source.BoundsRect()) != sourceRect)
                ++strayPaints;
        }
        inner_.Paint(source, sourceRect, destRect);
    }
    TBitmap32& Surface() { return inner_.Surface(); }

    int strayPaints = 0;

private:
    TBitmapTarget inner_;
};

struct TEffectRun {
    std::vector<TBitmap32> frames; // the target after each frame (when kept)
    int frameCount = 0;
    int strayPaints = 0;
    TBitmap32 result; // the target at the end
};

// Plays `effect` from `from` to `to`. atFrame(n) runs after frame n (1-based) on the worker.
inline TEffectRun RunEffect(int effect, int steps, const TBitmap32& from, const TBitmap32& to,
                            bool keepFrames = true,
                            const std::function<void(int, TTransitionState&)>& atFrame = {}) {
    TEffectRun run;
    TCheckingTarget target(to.Width(), to.Height());
    target.Surface().Draw(0, 0, from);
    TTransitionState state;
    TDirectMainThread direct;
    state.FrameObserver = [&] {
        ++run.frameCount;
        if (keepFrames) run.frames.push_back(target.Surface());
        if (atFrame) atFrame(run.frameCount, state);
    };
    StartTransition(state, direct, target, to, effect, true, steps, 0);
    state.JoinWorker();
    run.strayPaints = target.strayPaints;
    run.result = target.Surface();
    return run;
}

// Pictures whose every pixel differs from its neighbours and from the other picture's, so a
// misplaced copy shows; alpha is opaque, as composed frames are.
inline TBitmap32 Noise(int width, int height, uint32_t seed) {
    TBitmap32 b(width, height);
    uint32_t x = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y)
        for (int c = 0; c < width; ++c) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b.SetPixel(c, y, 0xFF000000u | (x & 0x00FFFFFFu));
        }
    return b;
}

inline TBitmap32 Filled(int width, int height, uint32_t pixel) {
    TBitmap32 b(width, height);
    b.Clear(pixel);
    return b;
}

inline bool SamePixels(const TBitmap32& a, const TBitmap32& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

} // namespace pictorelle::composedtest

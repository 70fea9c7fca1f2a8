// Plays one transition effect to its end off screen (through the engine's RunOffscreen) and
// records what the effect tests look at: the target after every frame, every paint with the
// picture it came from, and any paint that reached outside the target or its picture. Also the
// test pictures and the pixel comparison the effect tests share.
#pragma once

#include "transitions/OffscreenRun.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace pictorelle::testing {

// Pictures whose pixels say where they come from: bit 23 marks the new picture, bits 11..22
// hold x and bits 0..10 hold y.
inline uint32_t OldPixel(int x, int y) {
    return 0xFF000000u | static_cast<uint32_t>(x) << 11 | static_cast<uint32_t>(y);
}
inline uint32_t NewPixel(int x, int y) {
    return OldPixel(x, y) | 1u << 23;
}

inline TBitmap32 Coded(int w, int h, bool isNew) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, isNew ? NewPixel(x, y) : OldPixel(x, y));
    return b;
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

// Equal size and pixels; names the first pixel that differs.
inline ::testing::AssertionResult SamePixels(const TBitmap32& a, const TBitmap32& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return ::testing::AssertionFailure() << "sizes differ: " << a.Width() << "x" << a.Height()
                                             << " and " << b.Width() << "x" << b.Height();
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << ": " << std::hex << a.Pixel(x, y)
                       << " != " << b.Pixel(x, y);
    return ::testing::AssertionSuccess();
}

enum class From { New, Old, Scratch, Other };

struct PaintRecord {
    From from;
    TRect source, dest;
    int frame; // frames completed before this paint
};

struct EffectRun {
    std::vector<TBitmap32>
        frames; // the target after each frame (when kept), before the final paint
    std::vector<PaintRecord> paints; // the final paint last
    int frameCount = 0;
    int strayPaints = 0; // paints whose rectangles reach outside the target or their picture
    TBitmap32 result;    // the target at the end
    int width = 0, height = 0;

    int FrameCount() const { return frameCount; }
    // The paints made during frame `frame` (1-based).
    std::vector<PaintRecord> PaintsOfFrame(int frame) const {
        std::vector<PaintRecord> out;
        for (const PaintRecord& p : paints)
            if (p.frame == frame - 1) out.push_back(p);
        return out;
    }
};

// Called on the worker after frame `frame` (1-based); may set the state's flags.
using AtFrame = std::function<void(int frame, TTransitionState& state)>;

// Plays `effect` in `steps` steps from `from` to `to` with frame delay 0. Without keepFrames
// only the frames are counted, which long runs of large pictures want.
inline EffectRun RunEffect(int effect, int steps, const TBitmap32& from, const TBitmap32& to,
                           bool keepFrames = true, const AtFrame& atFrame = {}) {
    EffectRun run;
    run.width = to.Width();
    run.height = to.Height();
    TOffscreenObserver observer;
    observer.frame = [&](int frame, const TBitmap32& shown, TTransitionState& state) {
        run.frameCount = frame;
        if (keepFrames) run.frames.push_back(shown);
        if (atFrame) atFrame(frame, state);
    };
    observer.paint = [&](const TBitmap32& source, const TRect& sourceRect, const TRect& destRect,
                         const TTransitionState& state) {
        From picture = From::Other;
        if (const TTransThread* t = state.CurrentTransition.load()) {
            if (&source == &t->NewPicture)
                picture = From::New;
            else if (&source == &t->OldPicture)
                picture = From::Old;
            else if (&source == &t->Scratch)
                picture = From::Scratch;
        }
        run.paints.push_back({picture, sourceRect, destRect, run.frameCount});
        if (!sourceRect.isEmpty() && !destRect.isEmpty()) {
            const TRect inside{0, 0, run.width, run.height};
            if (destRect.intersected(inside) != destRect ||
                sourceRect.intersected(source.BoundsRect()) != sourceRect)
                ++run.strayPaints;
        }
    };
    run.result = RunOffscreen(effect, steps, from, to, observer).result;
    return run;
}

// Plays `effect` from a coded old picture to a coded new one of w x h.
inline EffectRun RunCodedEffect(int effect, int w, int h, int steps, const AtFrame& atFrame = {}) {
    return RunEffect(effect, steps, Coded(w, h, false), Coded(w, h, true), true, atFrame);
}

} // namespace pictorelle::testing

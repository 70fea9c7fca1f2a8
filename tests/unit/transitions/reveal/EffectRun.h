// Runs one transition effect to its end on an off-screen target and records what the tests of
// the reveal and slide families look at: the target after every frame and every paint with
// the picture it came from.
#pragma once

#include "transitions/TransThread.h"

#include <cstdint>
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

// Equal size and pixels; names the first pixel that differs.
inline ::testing::AssertionResult SamePixels(const TBitmap32& a, const TBitmap32& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return ::testing::AssertionFailure() << "sizes differ";
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
    std::vector<TBitmap32> frames; // the target after each frame, before the final paint
    std::vector<PaintRecord> paints;
    TBitmap32 result; // the target at the end
    int width = 0, height = 0;

    int FrameCount() const { return static_cast<int>(frames.size()); }
    // The paints made during frame `frame` (1-based).
    std::vector<PaintRecord> PaintsOfFrame(int frame) const {
        std::vector<PaintRecord> out;
        for (const PaintRecord& p : paints)
            if (p.frame == frame - 1) out.push_back(p);
        return out;
    }
};

// A bitmap target that also records each paint.
class RecordingTarget final : public TPaintTarget {
public:
    RecordingTarget(const TBitmap32& shown, TTransitionState& state, EffectRun& run)
        : surface_(shown.Width(), shown.Height()), state_(state), run_(run) {
        surface_.Surface().Draw(0, 0, shown);
    }
    TSize Size() const override { return surface_.Size(); }
    void Capture(TBitmap32& into) const override { surface_.Capture(into); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override {
        From from = From::Other;
        if (const TTransThread* t = state_.CurrentTransition.load()) {
            if (&source == &t->NewPicture)
                from = From::New;
            else if (&source == &t->OldPicture)
                from = From::Old;
            else if (&source == &t->Scratch)
                from = From::Scratch;
        }
        run_.paints.push_back({from, sourceRect, destRect, static_cast<int>(run_.frames.size())});
        surface_.Paint(source, sourceRect, destRect);
    }
    const TBitmap32& Surface() const { return surface_.Surface(); }

private:
    TBitmapTarget surface_;
    TTransitionState& state_;
    EffectRun& run_;
};

// Runs `effect` from a coded old picture to a coded new one of w x h with frame delay 0.
// `atFrame`, if given, is called after each frame with the frame's number and the state.
template <typename AtFrame>
EffectRun RunEffect(int effect, int w, int h, int steps, AtFrame atFrame) {
    EffectRun run;
    run.width = w;
    run.height = h;
    TTransitionState state;
    TDirectMainThread direct;
    RecordingTarget target(Coded(w, h, false), state, run);
    state.FrameObserver = [&] {
        run.frames.push_back(target.Surface());
        atFrame(run.FrameCount(), state);
    };
    // Joining the worker waits without the polling of a wait loop.
    StartTransition(state, direct, target, Coded(w, h, true), effect, false, steps, 0);
    state.JoinWorker();
    run.result = target.Surface();
    return run;
}

inline EffectRun RunEffect(int effect, int w, int h, int steps) {
    return RunEffect(effect, w, h, steps, [](int, TTransitionState&) {});
}

} // namespace pictorelle::testing

#include "transitions/OffscreenRun.h"

#include "transitions/PaintTarget.h"

#include <chrono>
#include <optional>

namespace pictorelle {
namespace {

// A bitmap target that shows each paint to the observer first.
class TObservedTarget final : public TPaintTarget {
public:
    TObservedTarget(const TBitmap32& from, const TBitmap32& to, const TOffscreenObserver& observer,
                    const TTransitionState& state)
        : surface_(to.Width(), to.Height()), observer_(observer), state_(state) {
        surface_.Surface().Draw(0, 0, from);
    }
    TSize Size() const override { return surface_.Size(); }
    void Capture(TBitmap32& into) const override { surface_.Capture(into); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override {
        if (observer_.paint) observer_.paint(source, sourceRect, destRect, state_);
        surface_.Paint(source, sourceRect, destRect);
    }
    void Present(TBitmap32& frame, std::span<const TRect> changed) override {
        if (observer_.paint)
            for (const TRect& r : changed)
                observer_.paint(frame, r, r, state_);
        surface_.Present(frame, changed);
    }
    TBitmap32& Surface() { return surface_.Surface(); }

private:
    TBitmapTarget surface_;
    const TOffscreenObserver& observer_;
    const TTransitionState& state_;
};

} // namespace

TOffscreenRun RunOffscreen(int effect, int steps, const TBitmap32& from, const TBitmap32& to,
                           const TOffscreenObserver& observer) {
    using Clock = std::chrono::steady_clock;
    TOffscreenRun run;
    TTransitionState state;
    TDirectMainThread direct;
    TObservedTarget target(from, to, observer, state);
    std::optional<Clock::time_point> lastFrame;
    state.FrameObserver = [&] {
        const auto now = Clock::now();
        if (lastFrame)
            run.frameMs.push_back(
                std::chrono::duration<double, std::milli>(now - *lastFrame).count());
        lastFrame = now;
        ++run.frames;
        if (observer.frame) observer.frame(run.frames, target.Surface(), state);
    };
    // Joining the worker waits without the polling of a wait loop.
    StartTransition(state, direct, target, to, effect, false, steps, 0);
    state.JoinWorker();
    run.result = std::move(target.Surface());
    return run;
}

TBitmap32 TimingPicture(int w, int h, bool vertical) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y) {
        uint32_t* row = b.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const auto v = static_cast<uint32_t>((vertical ? y * 255 / h : x * 255 / w) & 0xFF);
            row[x] = 0xFF000000u | v << 16 | (255 - v) << 8 | 0x40;
        }
    }
    return b;
}

} // namespace pictorelle

// What a transition draws on: the window's picture area on screen, the options panel's
// preview, or a bitmap that records frames (tests and the render tool). Every call happens on
// the user-interface thread; the worker reaches it only through TMainThread.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

#include <algorithm>
#include <functional>
#include <span>

namespace pictorelle {

class TPaintTarget {
public:
    virtual ~TPaintTarget() = default;
    virtual TSize Size() const = 0;
    // Copies what the target shows at (0, 0, width, height) of `into` (already sized).
    virtual void Capture(TBitmap32& into) const = 0;
    // Copies sourceRect of the bitmap to destRect, scaling when their sizes differ; parts
    // outside either bitmap are skipped and an empty rectangle copies nothing.
    virtual void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) = 0;
    // Shows all of `frame`, which differs from what the target shows only inside the `changed`
    // rectangles. A target of the frame's size takes the frame's pixels instead of copying
    // them and hands back its own: `frame` then holds what the target showed before.
    virtual void Present(TBitmap32& frame, std::span<const TRect> changed) {
        for (const TRect& r : changed)
            Paint(frame, r, r);
    }
};

// What Present does on a bitmap: swap when the sizes agree, copy the changed parts otherwise.
void PresentOn(TBitmap32& surface, TBitmap32& frame, std::span<const TRect> changed);

// The copy every target makes: unscaled when the sizes agree, nearest-neighbour otherwise
// (a one-pixel line stretched over an area keeps its colours).
void PaintRect(TBitmap32& surface, const TBitmap32& source, const TRect& sourceRect,
               const TRect& destRect);

// The smallest rectangle holding both, for what a frame changes; an empty one adds nothing.
inline TRect Bounding(const TRect& a, const TRect& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// A target that is a bitmap.
class TBitmapTarget final : public TPaintTarget {
public:
    explicit TBitmapTarget(int width, int height) : surface_(width, height) {}
    TSize Size() const override { return {surface_.Width(), surface_.Height()}; }
    void Capture(TBitmap32& into) const override { into.Draw(0, 0, surface_); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override;
    void Present(TBitmap32& frame, std::span<const TRect> changed) override {
        PresentOn(surface_, frame, changed);
    }

    TBitmap32& Surface() { return surface_; }
    const TBitmap32& Surface() const { return surface_; }

private:
    TBitmap32 surface_;
};

// Runs work on the user-interface thread. The window's implementation queues it into the Qt
// event loop; tests and the render tool, which have no such loop, run it at once.
class TMainThread {
public:
    virtual ~TMainThread() = default;
    // Runs fn on the user-interface thread and returns when it has run.
    virtual void InvokeBlocking(const std::function<void()>& fn) = 0;
    // Queues fn to run on the user-interface thread later.
    virtual void InvokeLater(std::function<void()> fn) = 0;
    // Keeps the user-interface thread's events flowing until done() is true.
    virtual void ProcessEventsUntil(const std::function<bool()>& done) = 0;
};

class TDirectMainThread final : public TMainThread {
public:
    void InvokeBlocking(const std::function<void()>& fn) override { fn(); }
    void InvokeLater(std::function<void()> fn) override { fn(); }
    void ProcessEventsUntil(const std::function<bool()>& done) override;
};

} // namespace pictorelle

// What a transition draws on: the window's picture area on screen, the options panel's
// preview, or a bitmap that records frames (tests and the render tool). Every call happens on
// the user-interface thread; the worker reaches it only through TMainThread.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

#include <functional>

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
    // Shows all of `frame`. A target of the frame's size takes its pixels instead of copying
    // them and hands back its own, so `frame` keeps its size but its pixels are then unknown.
    virtual void Present(TBitmap32& frame) { Paint(frame, frame.BoundsRect(), frame.BoundsRect()); }
};

// What Present does on a bitmap: swap when the sizes agree, copy otherwise.
void PresentOn(TBitmap32& surface, TBitmap32& frame);

// The copy every target makes: unscaled when the sizes agree, nearest-neighbour otherwise
// (a one-pixel line stretched over an area keeps its colours).
void PaintRect(TBitmap32& surface, const TBitmap32& source, const TRect& sourceRect,
               const TRect& destRect);

// A target that is a bitmap.
class TBitmapTarget final : public TPaintTarget {
public:
    explicit TBitmapTarget(int width, int height) : surface_(width, height) {}
    TSize Size() const override { return {surface_.Width(), surface_.Height()}; }
    void Capture(TBitmap32& into) const override { into.Draw(0, 0, surface_); }
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override;
    void Present(TBitmap32& frame) override { PresentOn(surface_, frame); }

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

#include "transitions/PaintTarget.h"

#include <thread>
#include <utility>

namespace pictorelle {

void PaintRect(TBitmap32& surface, const TBitmap32& source, const TRect& sourceRect,
               const TRect& destRect) {
    if (sourceRect.isEmpty() || destRect.isEmpty()) return;
    if (sourceRect.width() == destRect.width() && sourceRect.height() == destRect.height()) {
        surface.Draw(destRect.left, destRect.top, sourceRect, source);
        return;
    }
    surface.DrawScaled(destRect, source, sourceRect, TResampler::Nearest);
}

void PresentOn(TBitmap32& surface, TBitmap32& frame, std::span<const TRect> changed) {
    if (surface.Width() == frame.Width() && surface.Height() == frame.Height()) {
        std::swap(surface, frame);
        return;
    }
    for (const TRect& r : changed)
        PaintRect(surface, frame, r, r);
}

void TBitmapTarget::Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) {
    PaintRect(surface_, source, sourceRect, destRect);
}

void TDirectMainThread::ProcessEventsUntil(const std::function<bool()>& done) {
    while (!done())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace pictorelle

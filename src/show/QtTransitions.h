// The transition engine's two window-side pieces: running the worker's paints on the Qt
// user-interface thread, and painting into a TImage32 control.
#pragma once

#include "show/Image32.h"
#include "transitions/PaintTarget.h"

#include <QObject>
#include <QPointer>

namespace pictorelle {

class TQtMainThread final : public TMainThread {
public:
    void InvokeBlocking(const std::function<void()>& fn) override;
    void InvokeLater(std::function<void()> fn) override;
    void ProcessEventsUntil(const std::function<bool()>& done) override;

private:
    QObject context_; // lives on the thread that made this object: the user-interface thread
};

// Paints into the control's bitmap and repaints just the changed rectangle.
class TImage32Target final : public TPaintTarget {
public:
    explicit TImage32Target(TImage32* image) : image_(image) {}
    TSize Size() const override;
    void Capture(TBitmap32& into) const override;
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) override;
    void Present(TBitmap32& frame, std::span<const TRect> changed) override;

private:
    QPointer<TImage32> image_;
};

} // namespace pictorelle

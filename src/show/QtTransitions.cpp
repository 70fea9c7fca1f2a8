#include "show/QtTransitions.h"

#include <QCoreApplication>
#include <QThread>

namespace pictorelle {

void TQtMainThread::InvokeBlocking(const std::function<void()>& fn) {
    if (QThread::currentThread() == context_.thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(
        &context_, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void TQtMainThread::InvokeLater(std::function<void()> fn) {
    QMetaObject::invokeMethod(&context_, std::move(fn), Qt::QueuedConnection);
}

void TQtMainThread::ProcessEventsUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!done()) QThread::msleep(1);
    }
}

TSize TImage32Target::Size() const {
    return image_ ? TSize{image_->Bitmap().Width(), image_->Bitmap().Height()} : TSize{};
}

void TImage32Target::Capture(TBitmap32& into) const {
    if (image_) into.Draw(0, 0, image_->Bitmap());
}

void TImage32Target::Paint(const TBitmap32& source, const TRect& sourceRect,
                           const TRect& destRect) {
    if (!image_) return;
    PaintRect(image_->Bitmap(), source, sourceRect, destRect);
    image_->update(QRect(destRect.left, destRect.top, destRect.width(), destRect.height()));
}

void TImage32Target::Present(TBitmap32& frame, std::span<const TRect> changed) {
    if (!image_) return;
    PresentOn(image_->Bitmap(), frame, changed);
    for (const TRect& r : changed)
        image_->update(QRect(r.left, r.top, r.width(), r.height()));
}

} // namespace pictorelle

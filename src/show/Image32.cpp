#include "show/Image32.h"

#include "core/RowKernels.h"

#include <QImage>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

namespace pictorelle {

TImage32::TImage32(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image32"));
    // paintEvent covers every pixel itself, so Qt need not clear the area first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

uint32_t TImage32::BackgroundColour() const {
    // The colour that fills the window behind this control: the first ancestor that paints
    // its own background.
    const QWidget* w = parentWidget();
    while (w && !w->autoFillBackground() && !w->isWindow())
        w = w->parentWidget();
    const QColor c = w ? w->palette().color(w->backgroundRole()) : palette().color(QPalette::Window);
    return c.rgb() & 0x00FFFFFFu;
}

bool TImage32::PaintIntoSurface(QPainter& painter, const QRegion& region, uint32_t background) {
    // The window's surface is an image in the bitmap's byte order (every opaque X visual of
    // depth 24 or 32 gives one): the rows go straight into it, laid over the background.
    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image) return false;
    auto* surface = static_cast<QImage*>(device);
    if (surface->format() != QImage::Format_RGB32 &&
        surface->format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const QTransform toSurface = painter.deviceTransform();
    if (toSurface.type() > QTransform::TxTranslate) return false;
    const int dx = qRound(toSurface.dx()), dy = qRound(toSurface.dy());
    const QRect bitmapRect(0, 0, bitmap_.Width(), bitmap_.Height());
    const QRect surfaceRect = surface->rect().translated(-dx, -dy);
    for (const QRect& r : region) {
        const QRect part = r.intersected(bitmapRect).intersected(surfaceRect);
        if (part.isEmpty()) continue;
        const auto n = static_cast<std::size_t>(part.width());
        // Streamed: the rows go to the X server next, not back through this thread's caches.
        for (int y = part.top(); y <= part.bottom(); ++y)
            rows::OverColour(reinterpret_cast<uint32_t*>(surface->scanLine(y + dy)) + part.left() + dx,
                             bitmap_.ScanLine(y) + part.left(), n, background, true);
    }
    return true;
}

void TImage32::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const uint32_t background = BackgroundColour();
    // Beyond the bitmap the window's colour shows.
    const QRegion outside = event->region() - QRect(0, 0, bitmap_.Width(), bitmap_.Height());
    for (const QRect& r : outside)
        painter.fillRect(r, QColor::fromRgb(background));
    if (bitmap_.Empty() || PaintIntoSurface(painter, event->region(), background)) return;
    // Any other surface: let Qt convert. Same byte order as Format_ARGB32, so the image wraps
    // the pixels without a copy.
    for (const QRect& r : event->region())
        painter.fillRect(r, QColor::fromRgb(background));
    const QImage image(reinterpret_cast<const uchar*>(bitmap_.Bits()), bitmap_.Width(),
                       bitmap_.Height(), bitmap_.BytesPerLine(), QImage::Format_ARGB32);
    painter.drawImage(0, 0, image);
}

} // namespace pictorelle

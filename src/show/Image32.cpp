#include "show/Image32.h"

#include <QImage>
#include <QPainter>

namespace pictorelle {

TImage32::TImage32(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Image32"));
}

void TImage32::paintEvent(QPaintEvent*) {
    if (bitmap_.Empty()) return;
    // Same byte order as Format_ARGB32: the image wraps the pixels without a copy.
    const QImage image(reinterpret_cast<const uchar*>(bitmap_.Bits()), bitmap_.Width(),
                       bitmap_.Height(), bitmap_.BytesPerLine(), QImage::Format_ARGB32);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

} // namespace pictorelle

// TImage32: a control that shows its backing TBitmap32 at 1:1 from its top-left corner. The
// bitmap's transparent parts let the window's colour through, so a fresh (all zero) bitmap
// shows the window's background. A repaint writes only the rectangles asked for, straight
// from the bitmap into the window's surface, which Qt then hands to the X server (through
// shared memory where the server offers it).
#pragma once

#include "core/Bitmap32.h"

#include <QWidget>

namespace pictorelle {

class TImage32 : public QWidget {
    Q_OBJECT
public:
    explicit TImage32(QWidget* parent);

    TBitmap32& Bitmap() { return bitmap_; }
    const TBitmap32& Bitmap() const { return bitmap_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint32_t BackgroundColour() const;
    // The fast repaint into Qt's image of the window; false when the surface is not one it
    // can write (then Qt draws the bitmap).
    bool PaintIntoSurface(QPainter& painter, const QRegion& region, uint32_t background);

    TBitmap32 bitmap_;
};

} // namespace pictorelle

// TImage32: a control that shows its backing TBitmap32 at 1:1 from its top-left corner. The
// bitmap's transparent parts let the window's colour through, so a fresh (all zero) bitmap
// shows the window's background.
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
    TBitmap32 bitmap_;
};

} // namespace pictorelle

// The window that covers one of the other monitors during a full-screen show: borderless,
// outside the window manager, with one picture control filling it.
#pragma once

#include "show/Image32.h"

#include <QColor>
#include <QRect>
#include <QWidget>

namespace pictorelle {

class TMonitorWindow : public QWidget {
    Q_OBJECT
public:
    TMonitorWindow(const QRect& monitor, const QColor& color);

    TImage32* Image() const { return image_; }

private:
    TImage32* image_;
};

} // namespace pictorelle

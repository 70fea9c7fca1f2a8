#include "platform/Desktop.h"

#include "platform/Monitors.h"
#include "platform/Session.h"

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

namespace pictorelle {

void CaptureDesktop(TBitmap32& surface) {
    DisplaySession().CaptureDesktop(surface);
}

void CaptureScreen(TBitmap32& surface) {
    QScreen* screen = MonitorScreen(0);
    if (!screen || surface.Empty()) return;
    // Window 0 is the whole desktop (the root window on X11).
    const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) return;
    const int width = std::min(shot.width(), surface.Width());
    const int height = std::min(shot.height(), surface.Height());
    for (int y = 0; y < height; ++y) {
        const auto* from = reinterpret_cast<const uint32_t*>(shot.constScanLine(y));
        uint32_t* to = surface.ScanLine(y);
        for (int x = 0; x < width; ++x)
            to[x] = from[x] | 0xFF000000u;
    }
}

} // namespace pictorelle

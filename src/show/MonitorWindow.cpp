#include "show/MonitorWindow.h"

#include "platform/Session.h"

#include <QPalette>

namespace pictorelle {

TMonitorWindow::TMonitorWindow(const QRect& monitor, const QColor& color)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      image_(new TImage32(this)) {
    setObjectName(QStringLiteral("SecondMonitorWindow"));
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
    DisplaySession().CoverMonitor(*this, monitor);
    image_->setGeometry(0, 0, monitor.width(), monitor.height());
    image_->Bitmap().SetSize(monitor.width(), monitor.height());
    // Opaque black until the show paints here: a compositor would show the desktop through
    // the new bitmap's transparent zeros.
    image_->Bitmap().Clear(0xFF000000u);
}

} // namespace pictorelle

#include "show/PresentationPanel.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>
#include <QWidget>

namespace pictorelle {
namespace {

constexpr int kButtonWidth = 34;
constexpr int kButtonHeight = 33;
constexpr int kButtonGap = 3;

// The panel has a face of its own, so its pictures read the same on any show background:
// dark ink on a light face for what can be pressed, a pale ink for what cannot.
const QColor kFace(0xd4, 0xd0, 0xc8);
const QColor kInk(0x1d, 0x35, 0x57);
const QColor kCloseInk(0x9c, 0x16, 0x16);
const QColor kDisabledInk(0xa8, 0xa6, 0xa0);

// A triangle pointing right (or left) inside the box.
QPainterPath Arrow(const QRectF& box, bool right) {
    QPainterPath path;
    if (right) {
        path.moveTo(box.left(), box.top());
        path.lineTo(box.right(), box.center().y());
        path.lineTo(box.left(), box.bottom());
    } else {
        path.moveTo(box.right(), box.top());
        path.lineTo(box.left(), box.center().y());
        path.lineTo(box.right(), box.bottom());
    }
    path.closeSubpath();
    return path;
}

void DrawPicture(QPainter& p, int index, const QColor& ink, const QColor& closeInk) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (index) {
    case 0: // play
        p.drawPath(Arrow(QRectF(8, 5, 15, 18), true));
        break;
    case 1: // pause
        p.drawRect(QRectF(7, 6, 5, 16));
        p.drawRect(QRectF(16, 6, 5, 16));
        break;
    case 2: // back: a bar and an arrow to the left
        p.drawRect(QRectF(5, 6, 3, 16));
        p.drawPath(Arrow(QRectF(9, 6, 13, 16), false));
        break;
    case 3: // next: an arrow to the right and a bar
        p.drawPath(Arrow(QRectF(6, 6, 13, 16), true));
        p.drawRect(QRectF(20, 6, 3, 16));
        break;
    default: { // close: a cross
        QPen pen(closeInk, 3.5, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(8, 8), QPointF(20, 20));
        p.drawLine(QPointF(20, 8), QPointF(8, 20));
        break;
    }
    }
}

QPixmap Picture(int index, const QColor& ink, const QColor& closeInk) {
    QPixmap pixmap(kPresImageSize, kPresImageSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    DrawPicture(painter, index, ink, closeInk);
    painter.end();
    return pixmap;
}

} // namespace

QIcon PresImage(int index) {
    QIcon icon;
    icon.addPixmap(Picture(index, kInk, kCloseInk), QIcon::Normal);
    icon.addPixmap(Picture(index, kDisabledInk, kDisabledInk), QIcon::Disabled);
    return icon;
}

void PaintPanelFace(QWidget& panel) {
    QPalette p = panel.palette();
    p.setColor(QPalette::Window, kFace);
    p.setColor(QPalette::Button, kFace);
    p.setColor(QPalette::WindowText, kInk);
    p.setColor(QPalette::Light, kFace.lighter(130));
    p.setColor(QPalette::Dark, kFace.darker(160));
    p.setColor(QPalette::Mid, kFace.darker(130));
    panel.setPalette(p);
    panel.setAutoFillBackground(true);
}

void PlaceCommandButtons(QWidget& panel, std::initializer_list<QAction*> actions) {
    const int count = static_cast<int>(actions.size());
    const int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
    int x = (panel.width() - rowWidth) / 2;
    const int y = (panel.height() - kButtonHeight) / 2;
    for (QAction* action : actions) {
        auto* button = new QToolButton(&panel);
        button->setObjectName(action->objectName() + QStringLiteral("Button"));
        button->setDefaultAction(action);
        button->setIconSize(QSize(kPresImageSize, kPresImageSize));
        button->setAutoRaise(true);
        // The show's keys belong to its exit rules, not to the buttons.
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(x, y, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kButtonGap;
    }
}

} // namespace pictorelle

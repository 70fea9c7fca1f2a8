#include "platform/Embed.h"

#include "platform/X11.h"

#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace pictorelle {
namespace {

constexpr int kHostCheckMs = 1000;

QWindow* OwnWindow(uint32_t id) {
    for (QWindow* window : QGuiApplication::allWindows())
        if (window->handle() && window->winId() == static_cast<WId>(id)) return window;
    return nullptr;
}

// Closes the widget once its host window no longer exists.
void WatchHost(QWidget& widget, uint32_t hostWindow, QWindow* ownHost) {
    auto* timer = new QTimer(&widget);
    QPointer<QWindow> own(ownHost);
    QObject::connect(timer, &QTimer::timeout, &widget, [&widget, timer, hostWindow, own] {
        const bool exists = own ? own->handle() != nullptr : X11WindowExists(hostWindow);
        if (exists) return;
        timer->stop();
        widget.close();
    });
    timer->start(kHostCheckMs);
}

} // namespace

bool EmbedIntoForeignWindow(QWidget& widget, uint32_t hostWindow) {
    QWindow* host = OwnWindow(hostWindow);
    QWindow* const ownHost = host;
    if (!host) {
        if (!X11WindowExists(hostWindow)) return false;
        host = QWindow::fromWinId(static_cast<WId>(hostWindow));
        if (!host) return false;
        // The stand-in for the foreign window must outlive our child window: deleting it
        // first would destroy the child with it.
        QObject::connect(&widget, &QObject::destroyed, [host] { delete host; });
    }
    widget.setWindowFlags(widget.windowFlags() | Qt::FramelessWindowHint |
                          Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    // Input is kept away by the window flags and by taking no focus and no mouse: disabling
    // the widget instead would make Qt paint its pictures in their washed-out disabled look.
    widget.setAttribute(Qt::WA_TransparentForMouseEvents);
    widget.setFocusPolicy(Qt::NoFocus);
    for (QWidget* child : widget.findChildren<QWidget*>()) {
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
        child->setFocusPolicy(Qt::NoFocus);
    }
    widget.winId(); // the widget needs its own native window before it can change parents
    widget.windowHandle()->setParent(host);
    WatchHost(widget, hostWindow, ownHost);
    return true;
}

void DetachFromHostWindow(QWidget& widget) {
    QWindow* window = widget.windowHandle();
    if (!window || !window->parent()) return;
    widget.hide();
    window->setParent(nullptr);
}

} // namespace pictorelle

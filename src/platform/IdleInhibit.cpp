#include "platform/IdleInhibit.h"

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "platform/Application.h"
#include "platform/Wayland.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

namespace pictorelle {
namespace {

constexpr int kBusTimeoutMs = 2000;

QPlatformNativeInterface* Native() {
    return qGuiApp ? QGuiApplication::platformNativeInterface() : nullptr;
}

// Looks the manager up on Qt's own connection (an inhibitor must name a surface of the same
// connection), through a queue of our own so that Qt's dispatching never sees our registry.
zwp_idle_inhibit_manager_v1* BindManager(wl_display* display) {
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* manager = static_cast<zwp_idle_inhibit_manager_v1*>(
        BindWaylandGlobal(display, queue, zwp_idle_inhibit_manager_v1_interface, 1));
    // The manager and its inhibitors send no events; they may live on the default queue.
    if (manager) wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(manager), nullptr);
    wl_event_queue_destroy(queue);
    return manager;
}

QDBusMessage CallScreenSaverService(const QString& method, const QVariantList& arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                       QStringLiteral("/org/freedesktop/ScreenSaver"),
                                       QStringLiteral("org.freedesktop.ScreenSaver"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, kBusTimeoutMs);
}

// Some lockers and power managers listen to the session bus alone; PICTORELLE_IDLE_INHIBIT=bus
// asks the bus's screen-saver service even where the compositor could be asked.
bool BusChosen() {
    const char* choice = std::getenv("PICTORELLE_IDLE_INHIBIT");
    return choice && std::strcmp(choice, "bus") == 0;
}

} // namespace

TIdleInhibitor::TIdleInhibitor() {
    if (BusChosen()) return;
    if (wl_display* display = QtWaylandDisplay()) manager_ = BindManager(display);
}

TIdleInhibitor::~TIdleInhibitor() {
    // After the application, Qt's connection and every proxy on it are gone with it; the
    // compositor has dropped the inhibitor already.
    wl_display* display = QtWaylandDisplay();
    if (!display) return;
    Release();
    if (manager_) zwp_idle_inhibit_manager_v1_destroy(manager_);
    wl_display_flush(display);
}

void TIdleInhibitor::Hold(QWidget& window) {
    if (holding_) return;
    holding_ = true;
    window_ = &window;
    window.installEventFilter(this);
    if (!window.isVisible()) return;
    if (manager_)
        AttachToSurface();
    else
        AskBus();
}

void TIdleInhibitor::AskBus() {
    // Asked once the window shows, when the show has read its title: the desktop names the
    // application that holds it off.
    if (busAsked_) return;
    busAsked_ = true;
    const QDBusReply<uint32_t> reply = CallScreenSaverService(
        QStringLiteral("Inhibit"), {ApplicationTitle(), QStringLiteral("A slide show is running")});
    if (reply.isValid()) {
        cookie_ = reply.value();
        return;
    }
    std::fprintf(stderr, "pictorelle: the desktop offers no way to hold off its screen saver (no "
                         "idle-inhibit protocol, no org.freedesktop.ScreenSaver); it may blank the "
                         "screen during the show.\n");
}

void TIdleInhibitor::Release() {
    if (!holding_) return;
    holding_ = false;
    if (window_) window_->removeEventFilter(this);
    DetachFromSurface();
    window_ = nullptr;
    busAsked_ = false;
    if (cookie_ != 0) {
        CallScreenSaverService(QStringLiteral("UnInhibit"), {cookie_});
        cookie_ = 0;
    }
}

bool TIdleInhibitor::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    // Qt makes the surface when the window is shown and destroys it when hidden; a surface
    // that is not there yet at the show gets its inhibitor with the first paint.
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Paint:
        if (!manager_)
            AskBus();
        else if (!inhibitor_)
            AttachToSurface();
        break;
    case QEvent::Hide:
        DetachFromSurface();
        break;
    default:
        break;
    }
    return false;
}

void TIdleInhibitor::AttachToSurface() {
    QPlatformNativeInterface* native = Native();
    QWindow* handle = window_ ? window_->windowHandle() : nullptr;
    if (!manager_ || !native || !handle) return;
    auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", handle));
    if (!surface) return;
    inhibitor_ = zwp_idle_inhibit_manager_v1_create_inhibitor(manager_, surface);
    wl_display_flush(QtWaylandDisplay());
}

void TIdleInhibitor::DetachFromSurface() {
    if (!inhibitor_) return;
    zwp_idle_inhibitor_v1_destroy(inhibitor_);
    inhibitor_ = nullptr;
    if (wl_display* display = QtWaylandDisplay()) wl_display_flush(display);
}

} // namespace pictorelle

#include "platform/Session.h"

#include <QGuiApplication>

namespace pictorelle {

TDisplaySession& DisplaySession() {
    // Qt has chosen its platform plugin by the time anything asks; the offscreen platform of
    // the window tests gets the X11 session, whose calls do nothing there.
    static const std::unique_ptr<TDisplaySession> session =
        QGuiApplication::platformName().startsWith(QLatin1String("wayland")) ? MakeWaylandSession()
                                                                             : MakeX11Session();
    return *session;
}

} // namespace pictorelle

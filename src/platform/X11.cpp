#include "platform/X11.h"

#include <QGuiApplication>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <cstdlib>
#include <xcb/xcb.h>

namespace pictorelle {
namespace {

QNativeInterface::QX11Application* X11() {
    auto* app = qGuiApp;
    return app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
}

} // namespace

bool RunningOnX11() {
    return X11() != nullptr;
}

bool X11DisplayReachable() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

void SuspendSystemScreenSaver(bool suspend) {
    QNativeInterface::QX11Application* x11 = X11();
    if (!x11 || !x11->display()) return;
    Display* display = x11->display();
    int eventBase = 0, errorBase = 0;
    if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase)) return;
    XScreenSaverSuspend(display, suspend ? True : False);
    XFlush(display);
}

bool X11WindowExists(uint32_t window) {
    QNativeInterface::QX11Application* x11 = X11();
    if (!x11 || !x11->connection() || window == 0) return false;
    xcb_connection_t* connection = x11->connection();
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), &error);
    const bool exists = reply != nullptr && error == nullptr;
    std::free(reply);
    std::free(error);
    return exists;
}

uint32_t X11RootWindow() {
    QNativeInterface::QX11Application* x11 = X11();
    if (!x11 || !x11->connection()) return 0;
    const xcb_setup_t* setup = xcb_get_setup(x11->connection());
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    return screens.rem > 0 ? screens.data->root : 0;
}

bool X11WindowSize(uint32_t window, int& width, int& height) {
    QNativeInterface::QX11Application* x11 = X11();
    if (!x11 || !x11->connection() || window == 0) return false;
    xcb_connection_t* connection = x11->connection();
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), &error);
    const bool ok = reply != nullptr && error == nullptr;
    if (ok) {
        width = reply->width;
        height = reply->height;
    }
    std::free(reply);
    std::free(error);
    return ok;
}

} // namespace pictorelle

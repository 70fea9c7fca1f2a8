#include "platform/Wayland.h"

#include <wayland-client.h>

namespace pictorelle {

bool WaylandDisplayReachable() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return false;
    wl_display_disconnect(display);
    return true;
}

} // namespace pictorelle

// What the player asks of a Wayland compositor: whether one answers before the application
// exists, and, once Qt runs on one, its connection and the globals that our own protocols need.
#pragma once

#include <cstdint>

struct wl_display;
struct wl_event_queue;
struct wl_interface;

namespace pictorelle {

// Whether the compositor that the environment names (WAYLAND_DISPLAY) accepts a connection now.
bool WaylandDisplayReachable();

// Qt's own connection; null where Qt runs on another platform or before the application exists.
// A request that names one of Qt's surfaces or outputs must go over this connection.
wl_display* QtWaylandDisplay();

// Binds the compositor's global of this interface, at the highest version both sides know (at
// most maxVersion), as a proxy whose events go to queue. The registry is looked at through queue
// alone, so Qt's dispatching never sees it. Null when the compositor offers no such global.
void* BindWaylandGlobal(wl_display* display, wl_event_queue* queue, const wl_interface& interface,
                        uint32_t maxVersion, uint32_t* version = nullptr);

} // namespace pictorelle

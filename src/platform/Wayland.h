// What the player asks of a Wayland compositor before the application exists.
#pragma once

namespace pictorelle {

// Whether the compositor that the environment names (WAYLAND_DISPLAY) accepts a connection now.
bool WaylandDisplayReachable();

} // namespace pictorelle

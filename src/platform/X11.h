// What the player asks of the X server directly, beside Qt. Everything here does nothing (or
// answers "no") when the player does not run on X11, as under the offscreen test platform.
#pragma once

#include <cstdint>

namespace pictorelle {

bool RunningOnX11();

// Whether the X display that the environment names can be opened now; asked before the
// application exists, to tell a missing display from everything else.
bool X11DisplayReachable();

// Keeps the X screen saver (and display power saving) from starting while our show runs.
// Calls pair up; the server also ends the suspension when our connection closes.
void SuspendSystemScreenSaver(bool suspend);

// Whether a window with this id exists on the display now.
bool X11WindowExists(uint32_t window);

// The first screen's root window; 0 off X11.
uint32_t X11RootWindow();

// The window's size in pixels; false when there is no such window.
bool X11WindowSize(uint32_t window, int& width, int& height);

} // namespace pictorelle

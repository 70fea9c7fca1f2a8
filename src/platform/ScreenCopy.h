// A copy of one output's pixels through wlroots' screen-copy protocol, the one way a wlroots
// compositor (sway, Hyprland, labwc, Wayfire, river) lets an ordinary client read its screen.
// The copy goes over Qt's own connection, so the output named is the very one Qt knows, into a
// shared-memory buffer of ours.
#pragma once

#include "core/Bitmap32.h"

class QScreen;

namespace pictorelle {

enum class TScreenCopyResult {
    Copied,
    Unsupported, // no Wayland connection, or a compositor without the protocol
    Failed,      // the compositor offered the protocol but gave no usable frame
};

// Copies what screen shows onto surface at (0, 0), fully opaque and clipped to the surface; an
// output drawn at a scale other than 1 is brought to the screen's size first. Leaves the surface
// as it was unless the result is Copied. Waits at most a couple of seconds for the compositor.
TScreenCopyResult CopyWaylandOutput(QScreen& screen, TBitmap32& surface);

} // namespace pictorelle

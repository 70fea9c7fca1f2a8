// The monitors: index 0 is the primary one, the others follow in the system's order.
#pragma once

#include <QRect>

class QScreen;

namespace pictorelle {

int MonitorCount();
// The bounds of a monitor in screen pixels; empty for an index that does not exist.
QRect MonitorBounds(int index);
QScreen* MonitorScreen(int index);

} // namespace pictorelle

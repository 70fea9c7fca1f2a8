// The mouse pointer: its position and a show counter. Every hide lowers the count and every
// show raises it; the pointer is visible while the count is 0 or more, so callers that pair
// their calls never undo each other's.
#pragma once

#include <QPoint>

namespace pictorelle {

// Returns the new count.
int ShowCursor(bool show);
int CursorShowCount();

// The pointer's position in screen pixels.
QPoint CursorPos();

} // namespace pictorelle

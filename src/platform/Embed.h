// Putting a widget inside another program's window, as the display settings ask of a preview.
#pragma once

#include <cstdint>

class QWidget;

namespace pictorelle {

// Makes the top-level widget a child window of the host window (an X window id, or the id of
// one of our own windows), frameless and deaf to input: clicks and keys go to the host. False,
// with the widget left as it was, when no such window exists.
//
// Once embedded, the widget is closed when the host window goes away, so that a preview does
// not outlive the settings window that showed it.
bool EmbedIntoForeignWindow(QWidget& widget, uint32_t hostWindow);

// Takes an embedded widget out of its host again; it must be called before the widget is
// destroyed, which the framework cannot do safely while the window has a foreign parent.
void DetachFromHostWindow(QWidget& widget);

} // namespace pictorelle

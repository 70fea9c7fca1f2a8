// The presentation panel's buttons: one tool button per command (Play, Pause, Back, Next,
// Close) in a row on the panel, each showing its command's picture and hint and following its
// command's enabled state.
#pragma once

#include <QIcon>
#include <initializer_list>

class QAction;
class QWidget;

namespace pictorelle {

// The commands' pictures, 28 x 28, drawn here: 0 play, 1 pause, 2 back, 3 next, 4 close; a
// pale version for a command that is disabled.
inline constexpr int kPresImageSize = 28;
QIcon PresImage(int index);

// The panel's own light face and bevel colours, the same whatever the show's background.
void PaintPanelFace(QWidget& panel);

// Puts a button for each action on the panel, left to right, centred.
void PlaceCommandButtons(QWidget& panel, std::initializer_list<QAction*> actions);

} // namespace pictorelle

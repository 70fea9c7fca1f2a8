// The Flash player of this program: Ruffle's web build in a Qt WebEngine page. One host per
// process holds the web engine's profile, the page and its view; it is started once, by the
// first player, and every later player reuses it (the designed re-creation of the control for
// each movie is cheap that way). The page comes from this program through its own URL scheme:
// Ruffle's files from their folder, the movie from its file. No network port is opened and any
// other address the page asks for is refused.
//
// User-interface thread only.
#pragma once

#include "media/FlashPlayer.h"

#include <memory>

class QWidget;

namespace pictorelle::flash {

// Registers the URL scheme and sets the engine's start options; before the QApplication.
void PrepareWebEngine();

// A player over the process's host, started here when it is not yet running. Throws
// FlashPlayerUnavailable when PrepareWebEngine did not run, Ruffle's files are missing, or the
// page does not come up.
std::unique_ptr<TShockWaveFlashEx> CreateRufflePlayer(QWidget& parent);

// Ends the page and its processes; a later player starts them again.
void StopWebEngine();

} // namespace pictorelle::flash

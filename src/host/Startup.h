// Program start-up: creates the main window (once more after an attempt to make the Flash
// player available), creates the options mode's extra windows, and runs the event loop.
#pragma once

#include "platform/SessionChoice.h"
#include "show/SSWindow.h"

#include <string>
#include <vector>

namespace pictorelle {

// The player's own file: the running executable, which carries the package.
std::string OwnProgramFile();

// Makes the Flash player that a package carries available to the system. There is nothing to
// install on this platform (no control file is written, no registration tool run), so it
// reports that nothing was done.
bool InstallFlashControl(const std::string& fileName, bool showMessage);

// The session this run joins, from the environment and the mode the arguments ask for.
TSessionChoice ChooseSessionForRun(const std::vector<std::string>& arguments);

// Whether the player can open windows: the display or compositor of the chosen session (or
// another window system that Qt is told to use) is there. Asked before the application is
// made, because the framework cannot start without one.
bool DisplayAvailable(const std::vector<std::string>& arguments, const TSessionChoice& session);

// Without a display nothing can be shown, but a user at a terminal still learns why the show
// did not start: a broken package is reported with its usual message, anything else as the
// missing display. Returns the exit status (never 0).
int RunWithoutDisplay(const std::string& programFile);

// Runs the player inside an existing QApplication; returns the exit status.
int RunPlayer(const TStartup& startup);

// What --help prints.
const char* HelpText();

} // namespace pictorelle

// The Flash player's entry points as a module of its own. The web engine it needs is large
// (its libraries alone add tens of megabytes to every process that maps them), so the player
// loads this module only for a show that plays Flash movies. Plain C functions, so the one
// looking them up needs no name mangling; no exception crosses them.
#pragma once

#include <cstddef>

class QWidget;

namespace pictorelle {
class TShockWaveFlashEx;
}

extern "C" {

// Before the QApplication: registers the player's URL scheme, sets the engine's options.
using PictorelleFlashPrepare = void();
// A new player in parent, or null with the reason in why (at most whySize bytes, ended by 0).
using PictorelleFlashCreate = pictorelle::TShockWaveFlashEx*(QWidget* parent, char* why,
                                                             size_t whySize);
// Ends the page and its processes.
using PictorelleFlashStop = void();
}

namespace pictorelle::flash {
inline constexpr const char* kModuleFile = "pictorelle-flash.so";
inline constexpr const char* kPrepareSymbol = "pictorelle_flash_prepare";
inline constexpr const char* kCreateSymbol = "pictorelle_flash_create";
inline constexpr const char* kStopSymbol = "pictorelle_flash_stop";
} // namespace pictorelle::flash

#include "media/FlashPlayer.h"

#ifdef PICTORELLE_WEBENGINE
#include "media/flash/RuffleHost.h"
#endif

namespace pictorelle {

#ifdef PICTORELLE_WEBENGINE

void PrepareFlashPlayer() {
    flash::PrepareWebEngine();
}

std::unique_ptr<TShockWaveFlashEx> CreateFlashPlayer(QWidget& parent) {
    return flash::CreateRufflePlayer(parent);
}

void StopFlashPlayers() {
    flash::StopWebEngine();
}

#else

void PrepareFlashPlayer() {}

void StopFlashPlayers() {}

std::unique_ptr<TShockWaveFlashEx> CreateFlashPlayer(QWidget&) {
    throw FlashPlayerUnavailable("this player was built without Qt WebEngine");
}

#endif

} // namespace pictorelle

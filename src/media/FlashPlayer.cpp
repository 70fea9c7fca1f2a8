#include "media/FlashPlayer.h"

namespace pictorelle {

std::unique_ptr<TShockWaveFlashEx> CreateFlashPlayer(QWidget&) {
    throw FlashPlayerUnavailable("no Flash player is available");
}

} // namespace pictorelle

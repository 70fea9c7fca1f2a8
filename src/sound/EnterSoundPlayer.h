// Enter sounds: the short sound a picture item may carry, played on its own player
// (EnterSndPlay) over the background music when the item comes on screen. The next item's
// sound cuts off the one before; a sound that ends simply stays finished.
//
// Runs on the user-interface thread; the package must outlive the player. The caller leaves
// it out with Mute and in the preview.
#pragma once

#include "media/MediaPlayer.h"
#include "package/PackageReader.h"

#include <string>

namespace pictorelle {

class TEnterSoundPlayer {
public:
    TEnterSoundPlayer(std::string programFile, const Package& package);
    TEnterSoundPlayer(const TEnterSoundPlayer&) = delete;
    TEnterSoundPlayer& operator=(const TEnterSoundPlayer&) = delete;

    // Cuts off the previous sound and deletes its file, extracts sound `index` of the
    // package's enter-sound table to SSSnd + its extension and plays it. Any failure leaves
    // the item without its sound.
    void LoadEnterSound(int index);
    // Closes EnterSndPlay and deletes its file (the end of the show).
    void Stop();

    TMediaPlayer& EnterSndPlay() { return EnterSndPlay_; }

private:
    void CloseAndDeleteFile();

    std::string programFile_;
    const Package& package_;
    TMediaPlayer EnterSndPlay_;
};

} // namespace pictorelle

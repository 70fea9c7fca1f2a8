// TGifPlayer: plays an animated GIF item's frames once the item is fully on screen. Its timer,
// GifTimer, draws one frame per tick over the item's background into the item's rectangle of
// the display that received the item, repainting only that rectangle, and waits the delay of
// the frame it will draw next. Which frame comes next and how a frame is composed and drawn are
// the engine's (imaging/GifAnimation.h); this class carries them out on the user-interface
// thread.
//
// It reads the picture item from the show's media state: Gif, GifBackground, ItemRect,
// DisplayBitmap and RepaintDisplay. The state and the header (for BackColor) must outlive it.
#pragma once

#include "imaging/GifAnimation.h"

#include <QTimer>

namespace pictorelle {

struct PackageHeader;
struct TShowMediaState;

class TGifPlayer {
public:
    TGifPlayer(TShowMediaState& state, const PackageHeader& header);

    // The item is fully on screen: a GIF of more than one frame starts with frame 0 a
    // millisecond later. Anything else leaves the timer off.
    void AnimateGif();
    // The timer goes off and the GIF's frames are let go.
    void StopGif();
    // One tick: draws frame GifFrameIndex and arms the timer for the next one, if any.
    void GifTimerTimer();

    QTimer GifTimer;
    int GifFrameIndex = 0;

private:
    TShowMediaState& state_;
    const PackageHeader& header_;
    TGifFramePainter painter_;
};

} // namespace pictorelle

#include "media/GifPlayer.h"

#include "media/ShowMedia.h"
#include "package/PackageLayout.h"

#include <new>

namespace pictorelle {

TGifPlayer::TGifPlayer(TShowMediaState& state, const PackageHeader& header)
    : state_(state), header_(header) {
    GifTimer.setSingleShot(true);
    // Frame delays are often a few hundredths of a second; a coarse timer would stretch them.
    GifTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&GifTimer, &QTimer::timeout, [this] { GifTimerTimer(); });
}

void TGifPlayer::AnimateGif() {
    if (!state_.Gif || !GifAnimates(state_.Gif->Gif())) return;
    GifTimer.setInterval(kGifFirstTickInterval);
    GifTimer.start();
}

void TGifPlayer::StopGif() {
    GifTimer.stop();
    state_.Gif.reset();
    GifFrameIndex = 0; // the next GIF item starts with its first frame
}

void TGifPlayer::GifTimerTimer() {
    GifTimer.stop();
    TGifAnimator* gif = state_.Gif.get();
    if (!gif || gif->FrameCount() == 0) return;
    const int k = GifFrameIndex;
    if (k < 0 || k >= gif->FrameCount()) return;

    // A frame that cannot be drawn is passed over; the animation goes on with the next.
    try {
        const TBitmap32& image = gif->Frame(k);
        if (state_.DisplayBitmap) {
            const TFramePart* background = state_.GifBackground ? &*state_.GifBackground : nullptr;
            const TRect changed =
                painter_.Paint(image, gif->Gif().HasTransparency(), header_.BackColor,
                               background, state_.ItemRect, *state_.DisplayBitmap);
            if (!changed.isEmpty() && state_.RepaintDisplay) state_.RepaintDisplay(changed);
        }
    } catch (const std::bad_alloc&) {
    }

    const TGifTimerStep next = GifTimerStep(gif->Gif(), k);
    GifFrameIndex = next.nextIndex;
    if (!next.enabled) return;
    GifTimer.setInterval(next.interval);
    GifTimer.start();
}

} // namespace pictorelle

// Animated GIF items, the widget-free half: the frame animator that composes frame k of a GIF
// on its logical screen by the disposal rules, the GIF timer's sequence (which frame comes next
// and how long to wait for it), and the painter that lays one composed frame over the item's
// background into the item's rectangle of a display. The window's GIF player (media/GifPlayer.h)
// owns the timer and only carries these out.
#pragma once

#include "core/Bitmap32.h"
#include "core/Color.h"
#include "core/Rect.h"
#include "imaging/GifImage.h"

#include <memory>
#include <string>

namespace pictorelle {

// Composes the image of any frame on the GIF's canvas: its logical screen, sampled by the
// factor it was read with. The canvas starts uncovered before frame 0; before each later frame
// the previous one is disposed of: Keep (and Unspecified) leaves it, RestoreBackground uncovers
// its rectangle, RestorePrevious puts back what its rectangle held before it was drawn. A
// frame's transparent pixels leave the canvas as it is.
//
// In the image of frame k, uncovered pixels carry frame k's TransparentPixel() (alpha 0), or
// the GIF's opaque background colour when frame k has no transparent colour; every other pixel
// is the opaque palette colour that last covered it. Frame 0's image is GifFirstFrameImage's.
class TGifAnimator {
public:
    explicit TGifAnimator(TGifImage gif);

    const TGifImage& Gif() const { return gif_; }
    int FrameCount() const { return static_cast<int>(gif_.frames.size()); }

    // The image of frame k, valid until the next call. Asking for the frame after the last one
    // composed (or the same one again) costs only that frame's rectangle; any other order
    // starts again from frame 0. Throws std::out_of_range for k outside 0..FrameCount()-1.
    const TBitmap32& Frame(int k);
    // The canvas behind the last Frame(k): every pixel some frame left there, and 0 (fully
    // transparent) where nothing covers the screen, whatever the frame's own background.
    const TBitmap32& Canvas() const { return canvas_; }

private:
    void restart();
    void disposeCurrent();
    void drawNext();
    void publish();

    TGifImage gif_;
    TBitmap32 canvas_; // alpha 0 where no frame covers the screen
    TBitmap32 saved_;  // what the current frame's rectangle held before it (RestorePrevious)
    TRect savedRect_;
    TBitmap32 image_; // the image handed out
    int current_ = -1;
};

// LoadGif's reading: the GIF object read from file, sampled as the plan asks (ReadGif), and an
// animator bound to it. Throws ImageError when the file cannot be read as a GIF.
std::unique_ptr<TGifAnimator> LoadGif(const std::string& path, const TDecodePlan& plan = {});

// AnimateGif starts the timer only for a GIF of more than one frame, first after this long.
inline constexpr int kGifFirstTickInterval = 1;
bool GifAnimates(const TGifImage& gif);

// What the GIF timer does after drawing frame drawnIndex: the frame the next tick draws, and
// whether the timer is enabled again with which interval (the delay of that next frame). After
// the last frame a looping GIF goes on with frame 0; a non-looping one stays on its last frame
// with the timer off. A delay of 0 is an interval that never fires, so the timer stays off.
struct TGifTimerStep {
    int nextIndex = 0;
    bool enabled = false;
    int interval = 0;

    bool operator==(const TGifTimerStep&) const = default;
};
TGifTimerStep GifTimerStep(const TGifImage& gif, int drawnIndex);

// Draws one composed GIF frame for a tick. Keeps its work bitmap between ticks, so a tick
// allocates nothing once the first has run.
class TGifFramePainter {
public:
    // Lays image (a TGifAnimator frame) scaled with bilinear resampling into itemRect of
    // display over background (the item's frame without the picture, or the part of it under
    // the item, at its place in the display). With transparency, the image's transparent
    // pixels turn backColor with alpha 0 and the image is blended, so the background shows
    // through and scaled edges fade toward backColor; without it the image is copied. Only the
    // part of itemRect inside both display and background changes; that rectangle is returned
    // (empty when nothing changed). Without a background an opaque image is copied into the
    // part of itemRect inside the display, and a transparent one draws nothing.
    TRect Paint(const TBitmap32& image, bool transparency, TColor backColor,
                const TFramePart* background, const TRect& itemRect, TBitmap32& display);

private:
    TBitmap32 picture_; // the image with its transparent pixels replaced
    TBitmap32 work_;    // the changed rectangle, when it cannot be drawn in place
};

} // namespace pictorelle

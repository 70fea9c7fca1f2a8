// TShowComposer: the widget-free half of putting an item on screen. It keeps what every frame
// of the show is built on (the background at the window's size, the background picture kept
// for repainting it, the logo), repaints the background for each item when the package asks
// for that, and composes a picture item's frame. The window only decides where a composed
// frame goes.
//
// A background that is only a gradient is not kept as pixels: it is painted into each frame
// (a few milliseconds), which spares a 33 MB bitmap at 3840 x 2160 for the whole show. The
// desktop copy cannot be painted again, and a background picture would be decoded or scaled
// anew each time, so those backgrounds are kept.
#pragma once

#include "core/Bitmap32.h"
#include "imaging/Gradient.h"
#include "imaging/Overlays.h"
#include "imaging/PictureItem.h"

#include <functional>
#include <optional>
#include <string>

namespace pictorelle {

struct ItemRecord;
struct Package;
struct PackageHeader;

// Fills a bitmap with what the desktop shows (the platform's copy of the screen).
using TDesktopCapture = std::function<void(TBitmap32&)>;

// The show's colours at start: with RandomColors both colours drawn anew (red, green, blue of
// the first, then of the second), with RandomGradient a new GradientStyle 1..8, written back
// into the header. Returns the window colour as a pixel.
uint32_t ChooseStartColors(PackageHeader& header);

class TShowComposer {
public:
    // programFile carries the package; package must outlive the composer.
    TShowComposer(std::string programFile, Package& package, TDesktopCapture captureDesktop);

    // The background at width x height: the desktop copy or the gradient, with the package's
    // background picture on top (kept for later repaints). Throws when the background picture
    // cannot be read; the package read then fails.
    void PrepareBackground(int width, int height);
    // The logo, no larger than the background prepared before; none when the package has
    // none or it cannot be read.
    void LoadLogo();
    // A new background for the next item, when the package asks for one (never over the
    // desktop copy): new random colours or gradient as asked, written back into the header.
    void RepaintBackgroundForItem();

    // A frame of the window's size with the background at its top-left corner.
    TBitmap32 BackgroundFrame(int width, int height) const;
    // Paints the background at frame's top-left corner (clipped to the frame).
    void PaintBackground(TBitmap32& frame) const;
    // Composes picture item index from its extracted file onto a frame of the window's size.
    // Throws when the picture cannot be read or composed (ImageError, std::bad_alloc).
    TPictureItem ComposePicture(int index, const std::string& path, int sizeMode, int frameWidth,
                                int frameHeight) const;
    // The same for a picture described by item, which need not be in the package (a library
    // show's picture, decoded straight from its own file).
    TPictureItem ComposePicture(const ItemRecord& item, const std::string& path, int sizeMode,
                                int frameWidth, int frameHeight) const;
    // What a movie or video plays over: the frame with the logo laid on.
    void DrawMovieBackground(TBitmap32& frame) const { DrawLogo(frame, logo_); }

    // The background's pixels at the size it was prepared for.
    TBitmap32 Background() const { return BackgroundFrame(size_.width, size_.height); }
    const std::optional<TLogo>& Logo() const { return logo_; }
    // The show has ended: its pictures go.
    void Free();

private:
    std::string programFile_;
    Package& package_;
    TDesktopCapture captureDesktop_;
    TSize size_;                           // the background's size, the window's
    TBackgroundStyle style_;               // the colours and gradient in use
    TBitmap32 background_;                 // kept pixels; empty for a gradient alone
    std::optional<TBitmap32> backPicture_; // the package's background picture, as far as shown
    TSize backNatural_;                    // its true size
    std::optional<TLogo> logo_;
};

} // namespace pictorelle

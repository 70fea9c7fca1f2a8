// Where pictures, overlays and the movie panel go: fitting a picture into a box, placing an
// item by its size mode, placing a caption or logo by its placement code.
//
// Size modes: 0 fit keeping the aspect ratio, centred; 1 stretch over the frame; 2 natural
// size, centred; 3 natural size at a random position; 4 natural size centred, fitted when too
// big; 5 natural size at a random position, fitted and shifted when too big; any other value
// fitted and randomly shifted. Placement codes: 0 top left, 1 top right, 2 top centre,
// 3 bottom left, 4 bottom right, 5 bottom centre, 6 and above centre. Random choices come from
// the process-wide generator.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

namespace pictorelle {

// The largest rectangle of the picture's aspect ratio inside the box, centred. Any zero
// argument gives the whole box.
TRect FitRect(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight);

// The rectangle of the frame that a picture of the given size covers in sizeMode. May reach
// beyond the frame (natural size of a larger picture). Draws random numbers in modes 3, 5 and
// unknown modes.
TRect PlacePicture(int sizeMode, int frameWidth, int frameHeight, int pictureWidth,
                   int pictureHeight);

// The size PlacePicture gives, without drawing random numbers: what a decoder must at least
// deliver.
TSize PlacedPictureSize(int sizeMode, int frameWidth, int frameHeight, int pictureWidth,
                        int pictureHeight);

// The rectangle of an overlay of the given size in a frame, by placement code and margins.
TRect PlaceOverlay(int frameWidth, int frameHeight, int overlayWidth, int overlayHeight, int code,
                   int marginX, int marginY);
inline TRect PlaceOverlay(const TBitmap32& frame, int overlayWidth, int overlayHeight, int code,
                          int marginX, int marginY) {
    return PlaceOverlay(frame.Width(), frame.Height(), overlayWidth, overlayHeight, code, marginX,
                        marginY);
}

// The geometry of the movie panel (left, top, left + width, top + height) on a screen of the
// given size, for a movie whose natural display rectangle is natural.
TRect PlaceMoviePanel(int sizeMode, const TRect& natural, int screenWidth, int screenHeight);

} // namespace pictorelle

// The show's background: a two-colour gradient in one of eight patterns, optionally with a
// background picture drawn over it (tiled, fitted or centred).
//
// Painter styles: 0 left to right, 1 top to bottom, 2 concentric ellipses, 3 concentric
// rectangles, 4 mirrored vertical, 5 mirrored horizontal, 10 four fans from the centre,
// 12 diagonal. A package names the pattern by GradientStyle 1..8; GradientStyleTable maps that
// to the painter style.
#pragma once

#include "core/Bitmap32.h"
#include "core/Color.h"
#include "core/Rect.h"
#include "imaging/Decode.h"

namespace pictorelle {

// Painter style for a package's GradientStyle; values outside 1..8 paint as style 1 does.
int GradientStyleTable(int gradientStyle);

// Paints the pattern over the rect.right x rect.bottom area at the surface's top-left corner
// (clipped to the surface). The colours' red, green and blue bytes are used as they are (no
// system-colour lookup). An unknown style paints colour1.
void PaintGradient(TBitmap32& surface, int style, TColor colour1, const TRect& rect,
                   TColor colour2);

// Background picture modes: 0 tile, 1 fit, anything else centred (fitted when it does not fit).
// Natural-size drawing honours the picture's alpha; scaled drawing makes it opaque (its
// transparent parts turn black). natural is the picture's true size when picture holds only
// what BackgroundPictureRequest asked of it; empty means picture's own size.
void DrawBackgroundPicture(TBitmap32& surface, int width, int height, int mode,
                           const TBitmap32& picture, TSize natural = {});

// What of a background picture of the given true size a width x height background shows, so
// that a picture whose header claims a huge size costs no more than the screen: for tiles only
// the first tile's part on the background, at full resolution; centred at its own size the
// whole picture; fitted the whole picture reduced to no less than the size it is drawn at.
TDecodeRequest BackgroundPictureRequest(int width, int height, int mode, TSize natural);

// A colour value with red, green and blue each random 0..255, drawn in that order.
TColor RandomColor();

// The background settings a show may randomise.
struct TBackgroundStyle {
    TColor backColor = 0;
    TColor backColor2 = 0;
    int gradientStyle = 1;
};

// New random colours and/or a new random GradientStyle (1..8), as asked.
void RandomizeBackground(TBackgroundStyle& style, bool randomColors, bool randomGradient);

// The gradient of style over the whole background, then the picture (if any) by its mode.
void PaintBackground(TBitmap32& background, const TBackgroundStyle& style, int backPictureMode,
                     const TBitmap32* picture, TSize natural = {});

} // namespace pictorelle

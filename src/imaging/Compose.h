// Pixel work on one picture: its flags (mirror, flip, grey), laying it into a frame through an
// optional mask, and keying out a transparent colour.
#pragma once

#include "core/Bitmap32.h"
#include "core/Color.h"
#include "core/Rect.h"

#include <cstdint>
#include <optional>

namespace pictorelle {

// Bits of an item's picture flags.
inline constexpr int kFlagMirror = 1;
inline constexpr int kFlagFlip = 2;
inline constexpr int kFlagGrey = 4;

// Mirror, then flip, then grey (0.3 blue + 0.6 green + 0.1 red, halves to even), as flags asks.
// Grey keeps each pixel's alpha.
void ApplyPictureFlags(TBitmap32& bitmap, int flags);

// Lays picture, scaled with bilinear resampling into dest, onto frame. makeOpaque first sets
// every alpha byte of picture to 255 (the picture is changed). With a mask, the mask is
// stretched over dest and its blue byte becomes the picture's opacity: white shows the
// picture, black the frame; an empty mask hides the picture. Outside dest the frame is
// untouched. When memory runs short, the picture is drawn without its mask instead, or not at
// all. pictureRect, when given, is where picture itself goes: a picture decoded only in the
// part the frame shows covers only that part of dest, while the mask still spans dest.
void ComposeItem(TBitmap32& picture, TBitmap32& frame, const TRect& dest, bool makeOpaque,
                 const TBitmap32* mask, const std::optional<TRect>& pictureRect = {});

// Sets each alpha byte of target to the blue byte of mask at the same place; a mask of another
// size is first scaled to target's size.
void ApplyMaskAlpha(TBitmap32& target, const TBitmap32& mask);

// Every pixel equal to colour becomes backColor's pixel with alpha 0.
void ReplaceTransparentColor(TBitmap32& bitmap, uint32_t colour, TColor backColor);

} // namespace pictorelle

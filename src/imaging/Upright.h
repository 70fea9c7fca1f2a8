// Turning a decoded picture the way its EXIF orientation says the camera was held. The decode
// plan and the placement see the upright picture; the decoder works in the stored picture's
// own pixels, so requests are mapped into them and the result is turned after decoding.
#pragma once

#include "imaging/Decode.h"

namespace pictorelle {

// Orientations 5 to 8 exchange the picture's width and height.
constexpr bool OrientationTransposes(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

TSize UprightSize(TSize stored, int orientation);

// A part of the upright picture as the part of the stored picture that holds its pixels, and
// the reverse. Both pictures' sizes are those of the whole pictures.
TRect StoredRect(const TRect& upright, TSize stored, int orientation);
TRect UprightRect(const TRect& stored, TSize storedSize, int orientation);

// The bitmap as it stands upright.
TBitmap32 TurnUpright(const TBitmap32& stored, int orientation);

// A plan for the stored picture that asks the given plan about the upright one and maps its
// request back (the wanted size and the limit swap sides when the picture is transposed).
TDecodePlan StoredPlan(TDecodePlan uprightPlan, int orientation);

// Turns a picture decoded through StoredPlan upright: its bitmap, natural size and source.
void TurnDecodedUpright(TDecodedPicture& picture, int orientation);

} // namespace pictorelle

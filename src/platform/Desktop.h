// A copy of the desktop's pixels: what a show paints over when it starts from the desktop or
// takes the desktop as its background. Taken before the show's own window appears, it is what
// the user was looking at.
#pragma once

#include "core/Bitmap32.h"

namespace pictorelle {

// Copies the desktop as the session allows (see Session.h).
void CaptureDesktop(TBitmap32& surface);

// Copies the primary screen's current pixels through Qt's screen grab, from its top-left corner,
// onto surface at (0, 0), fully opaque and clipped to the surface. A screen that cannot be read
// leaves the surface as it was.
void CaptureScreen(TBitmap32& surface);

} // namespace pictorelle

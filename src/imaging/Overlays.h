// Masks and the logo: reading them from the package, preparing the logo's transparency, and
// laying the logo onto frames. The loaders never report failure: a mask that cannot be read
// leaves its target as it was, a logo that cannot be read means no logo, and either says what
// was skipped and why in one line on standard error.
#pragma once

#include "core/Bitmap32.h"
#include "core/Color.h"
#include "imaging/Decode.h"

#include <optional>
#include <string>

namespace pictorelle {

struct Package;

// Fills target with mask record index of the package in packageFile. A bitmap mask (type 0)
// keeps its pixels as decoded; PNG and GIF masks are laid on black and made opaque. A negative
// index asks for no mask. plan says how much of the mask is needed (all of it by default).
void LoadMask(const std::string& packageFile, const Package& package, int index, TBitmap32& target,
              const TDecodePlan& plan = {});

// The show's logo with what places it.
struct TLogo {
    TBitmap32 bitmap; // alpha 0 where the key colour was, 255 elsewhere
    int placement = 0;
    int marginX = 0;
    int marginY = 0;
};

// The logo picture laid on the key colour and made opaque; unless transparentColor is
// kNoColor, every pixel of exactly the key colour then becomes fully transparent.
TBitmap32 PrepareLogo(const TBitmap32& picture, TColor transparentColor);

// Reads, decodes and prepares the package's logo; none when there is no logo or it cannot be
// read. A logo larger than screen (when given) is decoded reduced to fit it: more of it could
// never be seen, and a header may claim any size.
std::optional<TLogo> LoadLogo(const std::string& packageFile, const Package& package,
                              TSize screen = {});

// Blends the logo onto frame at its place; nothing without a logo.
void DrawLogo(TBitmap32& frame, const TLogo* logo);
inline void DrawLogo(TBitmap32& frame, const std::optional<TLogo>& logo) {
    DrawLogo(frame, logo ? &*logo : nullptr);
}
// The same onto a part of a frame of frameSize: what of the logo falls on the part.
void DrawLogo(TFramePart& part, TSize frameSize, const TLogo* logo);

} // namespace pictorelle

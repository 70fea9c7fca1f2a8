// True colours: the pixels of a picture with an embedded ICC profile are in the colour space
// the profile describes (Adobe RGB, Display P3, a printer's CMYK), and the show draws in sRGB.
// Little CMS converts them; its transforms are cached per profile, so a show of a thousand
// photos from one phone builds one transform. Safe to call from any thread.
#pragma once

#include "core/Bitmap32.h"

#include <cstdint>
#include <memory>
#include <span>

namespace pictorelle {

// Converts the bitmap's colours from the profile's space to sRGB in place, alpha untouched.
// Returns false, leaving the pixels as they are, when the profile is over kMaxIccProfileBytes,
// cannot be read, or is not for RGB or grey pixels (a grey picture's pixels have R = G = B).
bool ConvertToSrgb(TBitmap32& bitmap, std::span<const uint8_t> profile);

class TColourTransform;

// The same conversion a row at a time, for a decoder that converts each row as it makes it,
// while the row is still in cache, instead of going over the whole picture again afterwards.
// The transform is looked up once, when this is made.
class TSrgbRows {
public:
    explicit TSrgbRows(std::span<const uint8_t> profile);
    // False when ConvertToSrgb would refuse the profile; Convert then leaves rows alone.
    bool Usable() const { return transform_ != nullptr; }
    void Convert(uint32_t* row, unsigned width) const;

private:
    std::shared_ptr<const TColourTransform> transform_;
};

// CMYK pixels as a JPEG stores them, four bytes each, to opaque sRGB: through the file's CMYK
// profile when it has a usable one, by the plain formula (R = (1 - C)(1 - K), ...) otherwise.
// Adobe's files store every channel inverted (255: no ink).
class TCmykToSrgb {
public:
    TCmykToSrgb(std::span<const uint8_t> profile, bool inverted);
    bool UsesProfile() const { return transform_ != nullptr; }
    void Convert(const uint8_t* cmyk, uint32_t* out, unsigned width) const;

private:
    std::shared_ptr<const TColourTransform> transform_;
    bool inverted_;
};

// How many transforms the cache holds now (for tests: one per distinct profile seen lately).
size_t CachedColourTransforms();

} // namespace pictorelle

// The frame size of a Flash movie, read from its file header: the stage rectangle that follows
// the eight bytes of signature, version and length. Plain movies ("FWS") carry it as it is;
// compressed ones carry it inside their compressed body ("CWS": zlib, "ZWS": LZMA), which is
// inflated only as far as the rectangle.
#pragma once

#include "core/Error.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pictorelle {

class MovieError : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

struct TMovieFrameSize {
    int width = 0;  // pixels
    int height = 0; // pixels
};

// The width and height in pixels from the 17 bytes of frame rectangle at the start of rect
// (fewer bytes count as zero bits). N is the first five bits; the width is the (N + 1)-bit
// number that ends with the rectangle's Xmax, the height the one that ends with its Ymax, each
// divided by 20 (twips to pixels). The bit before each is the lowest bit of Xmin or Ymin,
// zero for the usual origin.
TMovieFrameSize FrameSizeFromRect(const std::vector<uint8_t>& rect);

// The movie file's frame size. Throws MovieError when the file cannot be read, is too short,
// has none of the three signatures, or its compressed body cannot be inflated that far.
TMovieFrameSize ReadMovieFrameSize(const std::string& path);

} // namespace pictorelle

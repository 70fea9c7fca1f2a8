// Reducing a picture while it is decoded, row by row: a decoder that cannot scale by itself
// (PNG, TIFF) hands each decoded row to a TRowReducer, which keeps only the columns and rows
// of the needed part and averages blocks of factor x factor pixels into one, so the whole
// picture is never held. A factor of 1 over the whole picture is a plain copy.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pictorelle {

class TRowReducer {
public:
    // part: the rectangle of the picture to keep (inside a picture width pixels wide); the
    // result is ceil(part / factor) in each direction. Throws std::bad_alloc like any bitmap.
    TRowReducer(TRect part, int factor);

    // Whether row y of the picture contributes to the result.
    bool WantsRow(int y) const { return y >= part_.top && y < part_.bottom; }

    // Row y of the picture, as 0xAARRGGBB pixels from its column 0; rows come top-down, and
    // rows outside the part are ignored. Each block of the result is the average of its
    // pixels weighted by their alpha, so invisible colours never bleed into visible ones.
    void AddRow(int y, const uint32_t* pixels);

    // The reduced part. A block whose rows never came (a short file) is opaque black.
    TBitmap32 Finish();

private:
    void flushBlockRow();

    TRect part_;
    int factor_;
    TBitmap32 out_;
    std::vector<uint64_t>
        sums_;         // per result pixel of the block row: alpha, then alpha-weighted B, G, R
    int blockRow_ = 0; // the result row being summed
    int rowsInBlock_ = 0;
    int nextRow_ = 0; // result rows finished so far
};

// A picture a library hands over whole as interleaved 8-bit RGBA with straight alpha, rows
// stride bytes apart: its part, reduced by factor through a TRowReducer. Looks at the cancel
// flag every few rows.
TBitmap32 ReduceRgbaPicture(const uint8_t* rgba, size_t stride, TRect part, int factor);

} // namespace pictorelle

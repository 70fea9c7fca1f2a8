// The exact integer mapping of a scaled draw, one destination coordinate at a time: which
// source pixel is nearest to its centre, and for bilinear sampling the pair of source pixels it
// mixes and the weight of the second. TBitmap32::DrawScaled and the zooms' own scaled draw both
// map through it, so they give the same pixels.
#pragma once

#include <cstdint>

namespace pictorelle {

// Larger extents could overflow the 64-bit fixed-point mapping; scaled draws draw nothing then.
inline constexpr int64_t kMaxScaledExtent = int64_t{1} << 28;

struct TScaleTap {
    int64_t nearest; // the source index nearest to the destination pixel's centre
    int64_t x0;      // bilinear: the left (upper) pixel of the pair; x0 + 1 always exists
    uint32_t weight; // bilinear: the weight of x0 + 1, in 1/256
};

// Destination coordinate d of [dstStart, dstStart + dstLen) onto [srcStart, srcStart + srcLen)
// by pixel centres. The pair is clamped to [validLo, validHi), which holds at least two pixels
// when pairs are asked for: a sample on the last pixel reads it as the right-hand side of the
// last pair, at full weight. Equal lengths map every coordinate onto itself with weight 0.
inline TScaleTap MapScaled(int64_t d, int64_t dstStart, int64_t dstLen, int64_t srcStart,
                           int64_t srcLen, int64_t validLo, int64_t validHi) {
    const int64_t den = 2 * dstLen;
    // Source position of this pixel's centre: srcStart + num / den - 0.5.
    const int64_t num = (2 * (d - dstStart) + 1) * srcLen;
    const int64_t q = num / den;
    TScaleTap tap{srcStart + q, 0, 0};
    const int64_t pos = q * 65536 + ((num % den) << 16) / den - 32768; // 16.16, from srcStart
    int64_t x0 = srcStart + (pos >> 16);
    int64_t weight = ((pos & 0xFFFF) + 128) >> 8;
    if (x0 < validLo) {
        x0 = validLo;
        weight = 0;
    } else if (x0 + (weight == 256 ? 1 : 0) >= validHi - 1) {
        x0 = validHi - 2;
        weight = 256;
    }
    tap.x0 = x0;
    tap.weight = static_cast<uint32_t>(weight);
    return tap;
}

} // namespace pictorelle

// The per-row pixel loops behind TBitmap32's drawing. Each has a plain version and, where the
// target has SSE2 (every x86-64), a vector version with bit-identical results; the plain one
// also finishes the rows' leftover pixels.
//
// Pixels are 0xAARRGGBB. Weights are in 1/256: lerp(a, b, w) = (a * (256 - w) + b * w + 128)
// >> 8 per channel, w in 0..256.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pictorelle::rows {

// Lays src over dst with opacity a = round(srcAlpha * masterAlpha / 255): each colour channel
// becomes round((src * a + dst * (255 - a)) / 255) and alpha a + round(dstAlpha * (255 - a) /
// 255). masterAlpha is 0..255.
void Blend(uint32_t* dst, const uint32_t* src, std::size_t n, uint32_t masterAlpha);

// out[i] = lerp(a[i], b[i], w).
void Lerp(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w, std::size_t n);

// out[i] = lerp(row[x[i]], row[x[i] + 1], w[i]); row[x[i] + 1] must exist.
void LerpPairs(uint32_t* out, const uint32_t* row, const int32_t* x, const uint32_t* w,
               std::size_t n);

// out[i] = row[x[i]].
void Gather(uint32_t* out, const uint32_t* row, const int32_t* x, std::size_t n);

} // namespace pictorelle::rows

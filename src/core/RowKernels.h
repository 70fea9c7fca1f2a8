// The per-row pixel loops behind TBitmap32's drawing, the fades and the window's paint. Each
// has a plain version and vector versions for SSE2 (every x86-64) and AVX2, chosen once at
// start-up by what the processor offers, with bit-identical results; the plain one also
// finishes the rows' leftover pixels. The environment variable PICTORELLE_KERNELS (scalar,
// sse2 or avx2) asks for a slower path, for comparing them; building with
// PICTORELLE_SCALAR_ONLY leaves only the plain one.
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

// out[i] := under[i] (transparent black when under is null) with over[i] blended on as Blend
// does, without reading out. With `stream` the row goes to memory past the caches: for frames
// written once and read much later, larger than the caches.
void BlendOnto(uint32_t* out, const uint32_t* under, const uint32_t* over, std::size_t n,
               uint32_t masterAlpha, bool stream);

// out[i] := src[i] laid over the opaque colour `background` (0x??RRGGBB): an opaque pixel is
// copied, a transparent one gives the background; alpha becomes 255. `stream` as for
// BlendOnto: for rows that another process reads next.
void OverColour(uint32_t* out, const uint32_t* src, std::size_t n, uint32_t background,
                bool stream);

// out[i] = lerp(a[i], b[i], w).
void Lerp(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w, std::size_t n);

// out[i] = lerp(row[x[i]], row[x[i] + 1], w[i]); row[x[i] + 1] must exist.
void LerpPairs(uint32_t* out, const uint32_t* row, const int32_t* x, const uint32_t* w,
               std::size_t n);

// out[i] = row[x[i]].
void Gather(uint32_t* out, const uint32_t* row, const int32_t* x, std::size_t n);

enum class TKernelPath { Scalar, Sse2, Avx2 };

// The path in use, and whether this build and processor have a path at all.
TKernelPath KernelPath();
bool KernelPathAvailable(TKernelPath path);
// Switches every kernel to `path`; false (and no change) when it is not available. For tests
// and measurements: no kernel may run on another thread meanwhile.
bool SetKernelPath(TKernelPath path);
const char* KernelPathName(TKernelPath path);

// The table behind the functions above; each path's file fills one.
struct TKernelTable {
    void (*blend)(uint32_t*, const uint32_t*, std::size_t, uint32_t);
    void (*blendOnto)(uint32_t*, const uint32_t*, const uint32_t*, std::size_t, uint32_t, bool);
    void (*overColour)(uint32_t*, const uint32_t*, std::size_t, uint32_t, bool);
    void (*lerp)(uint32_t*, const uint32_t*, const uint32_t*, uint32_t, std::size_t);
    void (*lerpPairs)(uint32_t*, const uint32_t*, const int32_t*, const uint32_t*, std::size_t);
    void (*gather)(uint32_t*, const uint32_t*, const int32_t*, std::size_t);
};

} // namespace pictorelle::rows

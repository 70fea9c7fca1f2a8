#include "core/RowKernels.h"

#include <cstring>

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(PICTORELLE_NO_SIMD)
#include <emmintrin.h>
#define PICTORELLE_SSE2 1
#endif

namespace pictorelle::rows {

namespace {

// Two channels packed 16 bits apart: 0x00RR00BB or 0x00AA00GG.
constexpr uint32_t kLanes = 0x00FF00FFu;

// Rounded x / 255, exact for 0 <= x <= 255 * 255; in both 16-bit lanes at once.
inline uint32_t div255Lanes(uint32_t x) {
    const uint32_t t = x + 0x00800080u;
    return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
}

inline uint32_t div255(uint32_t x) {
    const uint32_t t = x + 128;
    return (t + (t >> 8)) >> 8;
}

inline uint32_t blendPixel(uint32_t s, uint32_t d, uint32_t masterAlpha) {
    const uint32_t a = div255((s >> 24) * masterAlpha);
    const uint32_t ia = 255 - a;
    // Taking the source's alpha lane as 255 turns the same mix into a + dstAlpha * (255 - a)
    // / 255 for alpha.
    const uint32_t rb = div255Lanes((s & kLanes) * a + (d & kLanes) * ia);
    const uint32_t ga =
        div255Lanes((((s >> 8) & 0xFFu) | 0x00FF0000u) * a + ((d >> 8) & kLanes) * ia);
    return rb | (ga << 8);
}

inline uint32_t lerpPixel(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t iw = 256 - w;
    const uint32_t rb = ((a & kLanes) * iw + (b & kLanes) * w + 0x00800080u) >> 8;
    const uint32_t ga = ((a >> 8) & kLanes) * iw + ((b >> 8) & kLanes) * w + 0x00800080u;
    return (rb & kLanes) | (ga & ~kLanes);
}

#ifdef PICTORELLE_SSE2
// In the vector code each channel gets a 16-bit lane; every intermediate stays below 65536.

inline __m128i load4(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store4(uint32_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

inline __m128i div255x8(__m128i x) {
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Two pixels, one channel per 16-bit lane.
inline __m128i blend2(__m128i s, __m128i d, __m128i master, __m128i alphaLanes) {
    const __m128i sa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
    const __m128i a = div255x8(_mm_mullo_epi16(sa, master));
    const __m128i ia = _mm_sub_epi16(_mm_set1_epi16(255), a);
    const __m128i sOpaque = _mm_or_si128(s, alphaLanes);
    return div255x8(_mm_add_epi16(_mm_mullo_epi16(sOpaque, a), _mm_mullo_epi16(d, ia)));
}
#endif

} // namespace

void Blend(uint32_t* dst, const uint32_t* src, std::size_t n, uint32_t masterAlpha) {
    std::size_t i = 0;
#ifdef PICTORELLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i master = _mm_set1_epi16(static_cast<short>(masterAlpha));
    const __m128i alphaLanes = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        const __m128i s = load4(src + i);
        // Four fully transparent pixels leave dst as it is, four opaque ones at full master
        // alpha replace it: the formula gives exactly that, without the arithmetic.
        const __m128i alpha = _mm_and_si128(s, alphaBytes);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, zero)) == 0xFFFF) continue;
        if (masterAlpha == 255 && _mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alphaBytes)) == 0xFFFF) {
            store4(dst + i, s);
            continue;
        }
        const __m128i d = load4(dst + i);
        const __m128i lo =
            blend2(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), master, alphaLanes);
        const __m128i hi =
            blend2(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), master, alphaLanes);
        store4(dst + i, _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i)
        dst[i] = blendPixel(src[i], dst[i], masterAlpha);
}

void Lerp(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w, std::size_t n) {
    std::size_t i = 0;
#ifdef PICTORELLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i wb = _mm_set1_epi16(static_cast<short>(w));
    const __m128i wa = _mm_set1_epi16(static_cast<short>(256 - w));
    const __m128i half = _mm_set1_epi16(128);
    auto mix = [&](__m128i x, __m128i y) {
        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(x, wa), _mm_mullo_epi16(y, wb));
        return _mm_srli_epi16(_mm_add_epi16(sum, half), 8);
    };
    for (; i + 4 <= n; i += 4) {
        const __m128i x = load4(a + i);
        const __m128i y = load4(b + i);
        const __m128i lo = mix(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero));
        const __m128i hi = mix(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero));
        store4(out + i, _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i)
        out[i] = lerpPixel(a[i], b[i], w);
}

void LerpPairs(uint32_t* out, const uint32_t* row, const int32_t* x, const uint32_t* w,
               std::size_t n) {
    std::size_t i = 0;
#ifdef PICTORELLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(128);
    // One output pixel: the pair's channels interleaved (left, right, left, right, ...) and
    // multiplied-and-added against (256 - w, w), giving four 32-bit channel sums.
    auto one = [&](std::size_t k) {
        const __m128i pair =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x[k])), zero);
        const __m128i mixed = _mm_unpacklo_epi16(pair, _mm_unpackhi_epi64(pair, pair));
        const __m128i weights = _mm_set1_epi32(static_cast<int>((256 - w[k]) | (w[k] << 16)));
        return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(mixed, weights), half), 8);
    };
    for (; i + 4 <= n; i += 4) {
        const __m128i p01 = _mm_packs_epi32(one(i), one(i + 1));
        const __m128i p23 = _mm_packs_epi32(one(i + 2), one(i + 3));
        store4(out + i, _mm_packus_epi16(p01, p23));
    }
#endif
    for (; i < n; ++i)
        out[i] = lerpPixel(row[x[i]], row[x[i] + 1], w[i]);
}

void Gather(uint32_t* out, const uint32_t* row, const int32_t* x, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = row[x[i]];
}

} // namespace pictorelle::rows

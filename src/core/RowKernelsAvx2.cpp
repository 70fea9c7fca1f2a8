// The AVX2 path of the row kernels: eight pixels at a time, the same arithmetic as the SSE2
// path in lanes twice as wide. Only these functions are compiled for AVX2, so the rest of the
// program still runs on any x86-64; the table is handed out only when the processor has AVX2.
#include "core/RowKernels.h"

#include "core/RowPixels.h"

#if defined(__x86_64__) && !defined(PICTORELLE_SCALAR_ONLY)
#include <immintrin.h>

#define PICTORELLE_AVX2_FN __attribute__((target("avx2")))

namespace pictorelle::rows {
namespace {

PICTORELLE_AVX2_FN inline __m256i load8(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
PICTORELLE_AVX2_FN inline void store8(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

PICTORELLE_AVX2_FN inline __m256i div255x16(__m256i x) {
    const __m256i t = _mm256_add_epi16(x, _mm256_set1_epi16(128));
    return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

// Four pixels (two per 128-bit lane), one channel per 16-bit lane.
PICTORELLE_AVX2_FN inline __m256i blend4(__m256i s, __m256i d, __m256i master) {
    const __m256i alphaLanes =
        _mm256_set_epi16(255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0);
    const __m256i sa = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, 0xFF), 0xFF);
    const __m256i a = div255x16(_mm256_mullo_epi16(sa, master));
    const __m256i ia = _mm256_sub_epi16(_mm256_set1_epi16(255), a);
    const __m256i sOpaque = _mm256_or_si256(s, alphaLanes);
    return div255x16(_mm256_add_epi16(_mm256_mullo_epi16(sOpaque, a), _mm256_mullo_epi16(d, ia)));
}

// Eight pixels of s laid over eight of d. Unpacking and packing both work within 128-bit
// lanes, so the pixels come back in their order.
PICTORELLE_AVX2_FN inline __m256i blend8(__m256i s, __m256i d, __m256i master) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo =
        blend4(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero), master);
    const __m256i hi =
        blend4(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero), master);
    return _mm256_packus_epi16(lo, hi);
}

PICTORELLE_AVX2_FN inline bool all(__m256i mask) {
    return _mm256_movemask_epi8(mask) == -1;
}

PICTORELLE_AVX2_FN void BlendAvx2(uint32_t* dst, const uint32_t* src, std::size_t n,
                                  uint32_t masterAlpha) {
    std::size_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i master = _mm256_set1_epi16(static_cast<short>(masterAlpha));
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 8 <= n; i += 8) {
        const __m256i s = load8(src + i);
        // Eight transparent pixels leave dst alone, eight opaque ones at full master alpha
        // replace it, as the formula would.
        const __m256i alpha = _mm256_and_si256(s, alphaBytes);
        if (all(_mm256_cmpeq_epi32(alpha, zero))) continue;
        if (masterAlpha == 255 && all(_mm256_cmpeq_epi32(alpha, alphaBytes))) {
            store8(dst + i, s);
            continue;
        }
        store8(dst + i, blend8(s, load8(dst + i), master));
    }
    for (; i < n; ++i)
        dst[i] = pixel::Blend(src[i], dst[i], masterAlpha);
}

PICTORELLE_AVX2_FN void BlendOntoAvx2(uint32_t* out, const uint32_t* under, const uint32_t* over,
                                      std::size_t n, uint32_t masterAlpha, bool stream) {
    std::size_t i = 0;
    if (stream)
        // Streaming stores need 32-byte aligned addresses: the first few pixels go plainly.
        for (; i < n && reinterpret_cast<std::uintptr_t>(out + i) % 32 != 0; ++i)
            out[i] = pixel::Blend(over[i], under ? under[i] : 0u, masterAlpha);
    const __m256i master = _mm256_set1_epi16(static_cast<short>(masterAlpha));
    const __m256i zero = _mm256_setzero_si256();
    for (; i + 8 <= n; i += 8) {
        const __m256i v = blend8(load8(over + i), under ? load8(under + i) : zero, master);
        if (stream)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), v);
        else
            store8(out + i, v);
    }
    if (stream) _mm_sfence();
    for (; i < n; ++i)
        out[i] = pixel::Blend(over[i], under ? under[i] : 0u, masterAlpha);
}

PICTORELLE_AVX2_FN void OverColourAvx2(uint32_t* out, const uint32_t* src, std::size_t n,
                                       uint32_t background, bool stream) {
    std::size_t i = 0;
    const uint32_t opaqueBg = background | 0xFF000000u;
    if (stream)
        for (; i < n && reinterpret_cast<std::uintptr_t>(out + i) % 32 != 0; ++i)
            out[i] = src[i] >= 0xFF000000u ? src[i] : pixel::Blend(src[i], opaqueBg, 255);
    const __m256i master = _mm256_set1_epi16(255);
    const __m256i alphaBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i bg = _mm256_set1_epi32(static_cast<int>(opaqueBg));
    for (; i + 8 <= n; i += 8) {
        __m256i s = load8(src + i);
        if (!all(_mm256_cmpeq_epi32(_mm256_and_si256(s, alphaBytes), alphaBytes)))
            s = blend8(s, bg, master);
        if (stream)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + i), s);
        else
            store8(out + i, s);
    }
    if (stream) _mm_sfence();
    for (; i < n; ++i)
        out[i] = src[i] >= 0xFF000000u ? src[i] : pixel::Blend(src[i], opaqueBg, 255);
}

// (x * (256 - w) + y * w + 128) >> 8 per 16-bit channel lane; the sum stays below 65536.
PICTORELLE_AVX2_FN inline __m256i mix(__m256i x, __m256i y, __m256i wa, __m256i wb) {
    const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(x, wa), _mm256_mullo_epi16(y, wb));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128)), 8);
}

PICTORELLE_AVX2_FN void LerpAvx2(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w,
                                 std::size_t n) {
    std::size_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i wb = _mm256_set1_epi16(static_cast<short>(w));
    const __m256i wa = _mm256_set1_epi16(static_cast<short>(256 - w));
    for (; i + 8 <= n; i += 8) {
        const __m256i x = load8(a + i);
        const __m256i y = load8(b + i);
        const __m256i lo =
            mix(_mm256_unpacklo_epi8(x, zero), _mm256_unpacklo_epi8(y, zero), wa, wb);
        const __m256i hi =
            mix(_mm256_unpackhi_epi8(x, zero), _mm256_unpackhi_epi8(y, zero), wa, wb);
        store8(out + i, _mm256_packus_epi16(lo, hi));
    }
    for (; i < n; ++i)
        out[i] = pixel::Lerp(a[i], b[i], w);
}

PICTORELLE_AVX2_FN inline __m128i pairAt(const uint32_t* row, int32_t x) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x));
}

// Four source pairs (left, right) as they lie in the row: 8 bytes each, pairs a and b in the
// low lane, c and d in the high one.
PICTORELLE_AVX2_FN inline __m256i loadPairs(const uint32_t* row, int32_t a, int32_t b, int32_t c,
                                            int32_t d) {
    return _mm256_set_m128i(_mm_unpacklo_epi64(pairAt(row, c), pairAt(row, d)),
                            _mm_unpacklo_epi64(pairAt(row, a), pairAt(row, b)));
}

// One pixel per lane from a pair unpacked to 16-bit channels: left and right interleaved
// channel by channel and multiplied-and-added against that pixel's (256 - w, w).
PICTORELLE_AVX2_FN inline __m256i lerpPairLanes(__m256i pair16, __m256i weights) {
    const __m256i mixed = _mm256_unpacklo_epi16(pair16, _mm256_unpackhi_epi64(pair16, pair16));
    return _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(mixed, weights), _mm256_set1_epi32(128)), 8);
}

// A row scaled down waits mostly for its source pixels; asking early for the pair this many
// pixels ahead saved about a tenth of the processor time of the 3840-wide doors.
constexpr std::size_t kPrefetchAhead = 64;

// Gather instructions are slow on some processors with AVX2; the pairs are loaded one by one,
// 8 bytes each, and mixed eight pixels at a time.
PICTORELLE_AVX2_FN void LerpPairsAvx2(uint32_t* out, const uint32_t* row, const int32_t* x,
                                      const uint32_t* w, std::size_t n) {
    std::size_t i = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi32(256);
    for (; i + 8 <= n; i += 8) {
        const int32_t* p = x + i;
        if (i + kPrefetchAhead < n)
            _mm_prefetch(reinterpret_cast<const char*>(row + x[i + kPrefetchAhead]), _MM_HINT_T0);
        // Pixels 0, 1 | 4, 5 and 2, 3 | 6, 7: the lanes hold the output's halves.
        const __m256i a = loadPairs(row, p[0], p[1], p[4], p[5]);
        const __m256i b = loadPairs(row, p[2], p[3], p[6], p[7]);
        const __m256i wr = load8(w + i);
        const __m256i weights = _mm256_or_si256(_mm256_sub_epi32(full, wr), _mm256_slli_epi32(wr, 16));
        const __m256i s0 = lerpPairLanes(_mm256_unpacklo_epi8(a, zero),
                                         _mm256_shuffle_epi32(weights, 0x00));
        const __m256i s1 = lerpPairLanes(_mm256_unpackhi_epi8(a, zero),
                                         _mm256_shuffle_epi32(weights, 0x55));
        const __m256i s2 = lerpPairLanes(_mm256_unpacklo_epi8(b, zero),
                                         _mm256_shuffle_epi32(weights, 0xAA));
        const __m256i s3 = lerpPairLanes(_mm256_unpackhi_epi8(b, zero),
                                         _mm256_shuffle_epi32(weights, 0xFF));
        store8(out + i, _mm256_packus_epi16(_mm256_packs_epi32(s0, s1), _mm256_packs_epi32(s2, s3)));
    }
    for (; i < n; ++i)
        out[i] = pixel::Lerp(row[x[i]], row[x[i] + 1], w[i]);
}

// A plain loop: loads one by one beat the gather instruction where it is slow.
void GatherPlain(uint32_t* out, const uint32_t* row, const int32_t* x, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = row[x[i]];
}

constexpr TKernelTable kAvx2 = {BlendAvx2, BlendOntoAvx2, OverColourAvx2,
                                LerpAvx2,  LerpPairsAvx2, GatherPlain};

} // namespace

const TKernelTable* Avx2Table() {
    return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

} // namespace pictorelle::rows
#endif

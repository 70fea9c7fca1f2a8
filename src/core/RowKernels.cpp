#include "core/RowKernels.h"

#include "core/RowPixels.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string_view>

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(PICTORELLE_SCALAR_ONLY)
#include <emmintrin.h>
#define PICTORELLE_SSE2 1
#endif

namespace pictorelle::rows {

#if defined(__x86_64__) && !defined(PICTORELLE_SCALAR_ONLY)
// In RowKernelsAvx2.cpp; null when the processor lacks AVX2.
const TKernelTable* Avx2Table();
#endif

namespace {

// ---- plain code ------------------------------------------------------------------------------

void BlendScalar(uint32_t* dst, const uint32_t* src, std::size_t n, uint32_t masterAlpha) {
    for (std::size_t i = 0; i < n; ++i)
        dst[i] = pixel::Blend(src[i], dst[i], masterAlpha);
}

void BlendOntoScalar(uint32_t* out, const uint32_t* under, const uint32_t* over, std::size_t n,
                     uint32_t masterAlpha, bool) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = pixel::Blend(over[i], under ? under[i] : 0u, masterAlpha);
}

void OverColourScalar(uint32_t* out, const uint32_t* src, std::size_t n, uint32_t background,
                      bool) {
    const uint32_t bg = background | 0xFF000000u;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = src[i] >= 0xFF000000u ? src[i] : pixel::Blend(src[i], bg, 255);
}

void LerpScalar(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = pixel::Lerp(a[i], b[i], w);
}

void LerpPairsScalar(uint32_t* out, const uint32_t* row, const int32_t* x, const uint32_t* w,
                     std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = pixel::Lerp(row[x[i]], row[x[i] + 1], w[i]);
}

void GatherScalar(uint32_t* out, const uint32_t* row, const int32_t* x, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = row[x[i]];
}

constexpr TKernelTable kScalar = {BlendScalar, BlendOntoScalar, OverColourScalar,
                                  LerpScalar,  LerpPairsScalar, GatherScalar};

// ---- SSE2 --------------------------------------------------------------------------------------
#ifdef PICTORELLE_SSE2
// Each channel gets a 16-bit lane; every intermediate stays below 65536.

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
inline __m128i blend2(__m128i s, __m128i d, __m128i master) {
    const __m128i alphaLanes = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
    const __m128i sa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
    const __m128i a = div255x8(_mm_mullo_epi16(sa, master));
    const __m128i ia = _mm_sub_epi16(_mm_set1_epi16(255), a);
    const __m128i sOpaque = _mm_or_si128(s, alphaLanes);
    return div255x8(_mm_add_epi16(_mm_mullo_epi16(sOpaque, a), _mm_mullo_epi16(d, ia)));
}

// Four pixels of src laid over four of dst.
inline __m128i blend4(__m128i s, __m128i d, __m128i master) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = blend2(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero), master);
    const __m128i hi = blend2(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero), master);
    return _mm_packus_epi16(lo, hi);
}

void BlendSse2(uint32_t* dst, const uint32_t* src, std::size_t n, uint32_t masterAlpha) {
    std::size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i master = _mm_set1_epi16(static_cast<short>(masterAlpha));
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
        store4(dst + i, blend4(s, load4(dst + i), master));
    }
    BlendScalar(dst + i, src + i, n - i, masterAlpha);
}

void BlendOntoSse2(uint32_t* out, const uint32_t* under, const uint32_t* over, std::size_t n,
                   uint32_t masterAlpha, bool stream) {
    std::size_t i = 0;
    if (stream) {
        // Streaming stores need 16-byte aligned addresses: the first few pixels go plainly.
        while (i < n && reinterpret_cast<std::uintptr_t>(out + i) % 16 != 0) ++i;
        BlendOntoScalar(out, under, over, i, masterAlpha, false);
    }
    const __m128i master = _mm_set1_epi16(static_cast<short>(masterAlpha));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
        const __m128i v = blend4(load4(over + i), under ? load4(under + i) : zero, master);
        if (stream)
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), v);
        else
            store4(out + i, v);
    }
    if (stream) _mm_sfence();
    BlendOntoScalar(out + i, under ? under + i : nullptr, over + i, n - i, masterAlpha, false);
}

void OverColourSse2(uint32_t* out, const uint32_t* src, std::size_t n, uint32_t background,
                    bool stream) {
    std::size_t i = 0;
    if (stream) {
        while (i < n && reinterpret_cast<std::uintptr_t>(out + i) % 16 != 0) ++i;
        OverColourScalar(out, src, i, background, false);
    }
    const __m128i master = _mm_set1_epi16(255);
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i bg = _mm_set1_epi32(static_cast<int>(background | 0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        __m128i s = load4(src + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alphaBytes), alphaBytes)) != 0xFFFF)
            s = blend4(s, bg, master);
        if (stream)
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), s);
        else
            store4(out + i, s);
    }
    if (stream) _mm_sfence();
    OverColourScalar(out + i, src + i, n - i, background, false);
}

void LerpSse2(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w, std::size_t n) {
    std::size_t i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i wb = _mm_set1_epi16(static_cast<short>(w));
    const __m128i wa = _mm_set1_epi16(static_cast<short>(256 - w));
    const __m128i half = _mm_set1_epi16(128);
    for (; i + 4 <= n; i += 4) {
        const __m128i x = load4(a + i);
        const __m128i y = load4(b + i);
        const __m128i lo = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), wa),
                                        _mm_mullo_epi16(_mm_unpacklo_epi8(y, zero), wb)),
                          half),
            8);
        const __m128i hi = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), wa),
                                        _mm_mullo_epi16(_mm_unpackhi_epi8(y, zero), wb)),
                          half),
            8);
        store4(out + i, _mm_packus_epi16(lo, hi));
    }
    LerpScalar(out + i, a + i, b + i, w, n - i);
}

// One output pixel of LerpPairs: the pair's channels interleaved (left, right, left, right,
// ...) and multiplied-and-added against (256 - w, w), giving four 32-bit channel sums.
inline __m128i lerpPair(const uint32_t* row, int32_t x, uint32_t w) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i pair =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x)), zero);
    const __m128i mixed = _mm_unpacklo_epi16(pair, _mm_unpackhi_epi64(pair, pair));
    const __m128i weights = _mm_set1_epi32(static_cast<int>((256 - w) | (w << 16)));
    return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(mixed, weights), _mm_set1_epi32(128)), 8);
}

void LerpPairsSse2(uint32_t* out, const uint32_t* row, const int32_t* x, const uint32_t* w,
                   std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i p01 =
            _mm_packs_epi32(lerpPair(row, x[i], w[i]), lerpPair(row, x[i + 1], w[i + 1]));
        const __m128i p23 =
            _mm_packs_epi32(lerpPair(row, x[i + 2], w[i + 2]), lerpPair(row, x[i + 3], w[i + 3]));
        store4(out + i, _mm_packus_epi16(p01, p23));
    }
    LerpPairsScalar(out + i, row, x + i, w + i, n - i);
}

constexpr TKernelTable kSse2 = {BlendSse2, BlendOntoSse2, OverColourSse2,
                                LerpSse2,  LerpPairsSse2, GatherScalar};
#endif

const TKernelTable* TableFor(TKernelPath path) {
    switch (path) {
    case TKernelPath::Scalar:
        return &kScalar;
    case TKernelPath::Sse2:
#ifdef PICTORELLE_SSE2
        return &kSse2;
#else
        return nullptr;
#endif
    case TKernelPath::Avx2:
#if defined(__x86_64__) && !defined(PICTORELLE_SCALAR_ONLY)
        return Avx2Table();
#else
        return nullptr;
#endif
    }
    return nullptr;
}

// The best path there is, or the one PICTORELLE_KERNELS names if it is available.
const TKernelTable* FirstTable() {
    const char* wanted = std::getenv("PICTORELLE_KERNELS");
    for (const TKernelPath p : {TKernelPath::Avx2, TKernelPath::Sse2, TKernelPath::Scalar}) {
        if (wanted && *wanted && std::string_view(wanted) != KernelPathName(p)) continue;
        if (const TKernelTable* t = TableFor(p)) return t;
    }
    return &kScalar;
}

std::atomic<const TKernelTable*>& Current() {
    static std::atomic<const TKernelTable*> current{FirstTable()};
    return current;
}

inline const TKernelTable& K() {
    return *Current().load(std::memory_order_relaxed);
}

} // namespace

void Blend(uint32_t* dst, const uint32_t* src, std::size_t n, uint32_t masterAlpha) {
    K().blend(dst, src, n, masterAlpha);
}

void BlendOnto(uint32_t* out, const uint32_t* under, const uint32_t* over, std::size_t n,
               uint32_t masterAlpha, bool stream) {
    K().blendOnto(out, under, over, n, masterAlpha, stream);
}

void OverColour(uint32_t* out, const uint32_t* src, std::size_t n, uint32_t background,
                bool stream) {
    K().overColour(out, src, n, background, stream);
}

void Lerp(uint32_t* out, const uint32_t* a, const uint32_t* b, uint32_t w, std::size_t n) {
    K().lerp(out, a, b, w, n);
}

void LerpPairs(uint32_t* out, const uint32_t* row, const int32_t* x, const uint32_t* w,
               std::size_t n) {
    K().lerpPairs(out, row, x, w, n);
}

void Gather(uint32_t* out, const uint32_t* row, const int32_t* x, std::size_t n) {
    K().gather(out, row, x, n);
}

TKernelPath KernelPath() {
    const TKernelTable* t = Current().load();
    for (const TKernelPath p : {TKernelPath::Avx2, TKernelPath::Sse2})
        if (TableFor(p) == t) return p;
    return TKernelPath::Scalar;
}

bool KernelPathAvailable(TKernelPath path) {
    return TableFor(path) != nullptr;
}

bool SetKernelPath(TKernelPath path) {
    const TKernelTable* t = TableFor(path);
    if (!t) return false;
    Current().store(t);
    return true;
}

const char* KernelPathName(TKernelPath path) {
    switch (path) {
    case TKernelPath::Scalar:
        return "scalar";
    case TKernelPath::Sse2:
        return "sse2";
    case TKernelPath::Avx2:
        return "avx2";
    }
    return "?";
}

} // namespace pictorelle::rows

#include "imaging/ColourProfile.h"

#include "core/LibraryChatter.h"
#include "imaging/Decode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <lcms2.h>
#include <mutex>
#include <string>
#include <vector>

namespace pictorelle {

// Most camera and phone profiles (Adobe RGB, Display P3, ProPhoto) are a tone curve per
// channel and a matrix. For those the transform is three table look-ups into linear light, a
// matrix into linear sRGB and a look-up back into sRGB's curve: several times quicker than
// Little CMS's general path, whose per-pixel cost would come close to the decoding's own.
// Linear light has 14 bits: a step is a fifth of an output level even at black, where sRGB's
// curve is steepest, and the table back into sRGB (16 KiB) stays in the first-level cache
// next to the three small ones.
struct TMatrixShaper {
    static constexpr int kMatrixShift = 12;
    static constexpr int kLinearMax = (1 << 14) - 1;
    // Matrix entries are 16-bit at 2^12, so their size is capped: ProPhoto's largest is
    // about 2, and a wider gamut goes through Little CMS.
    static constexpr double kMaxMatrixEntry = 7.9;
    int32_t toLinear[3][256]; // each channel's curve, linear light in 0..kLinearMax
    // The same as the 16-bit halves the vector path multiplies in pairs: red low, green high,
    // and blue low with a 1 high that picks up the rounding half.
    uint32_t pairs[3][256];
    int16_t matrix[9];                  // the profile's linear RGB to linear sRGB, at 2^12
    uint8_t toSrgb[kLinearMax + 1 + 4]; // linear light to sRGB's curve; 4-byte reads stay inside

    static int32_t clampLinear(int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kLinearMax));
    }

    void Run(uint32_t* pixels, unsigned count) const {
        unsigned done = 0;
#if defined(__x86_64__)
        if (hasAvx2()) done = runAvx2(pixels, count);
#endif
        runScalar(pixels + done, count - done);
    }

    void runScalar(uint32_t* pixels, unsigned count) const {
        const int16_t* m = matrix;
        constexpr int32_t half = 1 << (kMatrixShift - 1);
        for (unsigned i = 0; i < count; ++i) {
            const uint32_t p = pixels[i];
            const int32_t r = toLinear[0][(p >> 16) & 0xFF];
            const int32_t g = toLinear[1][(p >> 8) & 0xFF];
            const int32_t b = toLinear[2][p & 0xFF];
            auto channel = [&](const int16_t* row) {
                return toSrgb[std::clamp(
                    (row[0] * r + row[1] * g + row[2] * b + half) >> kMatrixShift, 0, kLinearMax)];
            };
            pixels[i] = (p & 0xFF000000u) | uint32_t{channel(m)} << 16 |
                        uint32_t{channel(m + 3)} << 8 | channel(m + 6);
        }
    }

    // The plain path alone in builds that test it (PICTORELLE_SCALAR_ONLY), and on other
    // processors.
    static bool hasAvx2() {
#if defined(__x86_64__) && !defined(PICTORELLE_SCALAR_ONLY)
        static const bool has = __builtin_cpu_supports("avx2");
        return has;
#else
        return false;
#endif
    }

#if defined(__x86_64__)
    // Two 16-bit values in one 32-bit lane, the first in the low half.
    static int32_t pair(int low, int high) {
        return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(low)) |
                                    static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16);
    }

    // One output channel of eight pixels: (r, g) and (b, 1) against a matrix row and the
    // rounding half, as two 16-bit multiply-adds; clamped and looked up. The gather reads four
    // bytes, of which only the lowest is the channel.
    __attribute__((target("avx2"))) static __m256i channelAvx2(__m256i rg, __m256i b1, __m256i mrg,
                                                               __m256i mb, const int* srgb) {
        __m256i v = _mm256_add_epi32(_mm256_madd_epi16(rg, mrg), _mm256_madd_epi16(b1, mb));
        v = _mm256_srai_epi32(v, kMatrixShift);
        v = _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()),
                             _mm256_set1_epi32(kLinearMax));
        return _mm256_i32gather_epi32(srgb, v, 1);
    }

    // The byte-shuffle control that moves byte `from` of every 32-bit lane to byte `to` and
    // clears the rest.
    __attribute__((target("avx2"))) static __m256i moveByte(int from, int to) {
        alignas(32) int8_t control[32];
        for (int k = 0; k < 32; ++k)
            control[k] = k % 4 == to ? static_cast<int8_t>(k - to + from) : int8_t{-128};
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(control));
    }

    // Eight pixels at a time with gathered table look-ups; the same integer arithmetic as
    // runScalar, so both give identical pixels. Returns how many pixels it did.
    __attribute__((target("avx2"))) unsigned runAvx2(uint32_t* pixels, unsigned count) const {
        const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        const __m256i redIndex = moveByte(2, 0), greenIndex = moveByte(1, 0);
        const __m256i blueIndex = moveByte(0, 0);
        const __m256i toRed = moveByte(0, 2), toGreen = moveByte(0, 1);
        constexpr int half = 1 << (kMatrixShift - 1);
        __m256i mrg[3], mb[3];
        for (int k = 0; k < 3; ++k) {
            mrg[k] = _mm256_set1_epi32(pair(matrix[k * 3], matrix[k * 3 + 1]));
            mb[k] = _mm256_set1_epi32(pair(matrix[k * 3 + 2], half));
        }
        const auto* srgb = reinterpret_cast<const int*>(toSrgb);
        const auto* red = reinterpret_cast<const int*>(pairs[0]);
        const auto* green = reinterpret_cast<const int*>(pairs[1]);
        const auto* blue = reinterpret_cast<const int*>(pairs[2]);
        unsigned i = 0;
        for (; i + 8 <= count; i += 8) {
            auto* at = reinterpret_cast<__m256i*>(pixels + i);
            const __m256i p = _mm256_loadu_si256(at);
            const __m256i rg = _mm256_or_si256(
                _mm256_i32gather_epi32(red, _mm256_shuffle_epi8(p, redIndex), 4),
                _mm256_i32gather_epi32(green, _mm256_shuffle_epi8(p, greenIndex), 4));
            const __m256i b1 = _mm256_i32gather_epi32(blue, _mm256_shuffle_epi8(p, blueIndex), 4);
            const __m256i r = channelAvx2(rg, b1, mrg[0], mb[0], srgb);
            const __m256i g = channelAvx2(rg, b1, mrg[1], mb[1], srgb);
            const __m256i b = channelAvx2(rg, b1, mrg[2], mb[2], srgb);
            const __m256i out = _mm256_or_si256(
                _mm256_or_si256(_mm256_and_si256(p, alpha), _mm256_shuffle_epi8(r, toRed)),
                _mm256_or_si256(_mm256_shuffle_epi8(g, toGreen),
                                _mm256_shuffle_epi8(b, blueIndex)));
            _mm256_storeu_si256(at, out);
        }
        return i;
    }
#endif
};

// One transform into sRGB: nothing for a profile that is sRGB already, the matrix-and-curves
// path where the profile allows it, checked against Little CMS when built, else Little CMS's
// own. Built without lcms's one-pixel cache,
// which is written on every call: without it one transform may run on several threads at once.
class TColourTransform {
public:
    TColourTransform(cmsHTRANSFORM handle, std::unique_ptr<TMatrixShaper> fast)
        : handle_(handle), fast_(std::move(fast)) {}
    ~TColourTransform() {
        if (handle_) cmsDeleteTransform(handle_);
    }
    TColourTransform(const TColourTransform&) = delete;
    TColourTransform& operator=(const TColourTransform&) = delete;

    // In and out may be the same row of BGRA pixels, or CMYK bytes into BGRA.
    void Run(const void* in, void* out, unsigned pixels) const {
        if (!handle_) return; // sRGB already, in place
        if (fast_ && in == out) {
            fast_->Run(static_cast<uint32_t*>(out), pixels);
            return;
        }
        cmsDoTransform(handle_, in, out, pixels);
    }

private:
    cmsHTRANSFORM handle_;
    std::unique_ptr<TMatrixShaper> fast_;
};

namespace {

// What the pixels handed to a transform look like.
enum class TInput { Bgra, Grey, Cmyk, CmykInverted };

// Our 0xAARRGGBB pixel is B, G, R, A in memory. A grey picture comes expanded to R = G = B, so
// its transform reads the first byte of each pixel and skips the other three.
constexpr cmsUInt32Number kGreyInBgra =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

cmsUInt32Number inputFormat(TInput input) {
    switch (input) {
    case TInput::Bgra:
        return TYPE_BGRA_8;
    case TInput::Grey:
        return kGreyInBgra;
    case TInput::Cmyk:
        return TYPE_CMYK_8;
    case TInput::CmykInverted:
        return TYPE_CMYK_8_REV;
    }
    return TYPE_BGRA_8;
}

void onLcmsError(cmsContext, cmsUInt32Number, const char* text) {
    if (LibraryChatterWanted()) std::fprintf(stderr, "lcms: %s\n", text);
}

cmsContext lcmsContext() {
    static const cmsContext context = [] {
        const cmsContext c = cmsCreateContext(nullptr, nullptr);
        cmsSetLogErrorHandlerTHR(c, onLcmsError);
        return c;
    }();
    return context;
}

struct TProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using TProfile = std::unique_ptr<void, TProfileCloser>;

// The input a profile serves, or none when it is of a colour space we never decode into.
bool inputFor(cmsHPROFILE profile, bool cmykPixels, bool inverted, TInput& input) {
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile);
    if (cmykPixels) {
        input = inverted ? TInput::CmykInverted : TInput::Cmyk;
        return space == cmsSigCmykData;
    }
    if (space == cmsSigRgbData)
        input = TInput::Bgra;
    else if (space == cmsSigGrayData)
        input = TInput::Grey;
    else
        return false;
    return true;
}

// Colours spread over the whole cube, for checking a transform.
std::vector<uint32_t> colourGrid() {
    std::vector<uint32_t> grid;
    for (uint32_t r = 0; r < 256; r += 15)
        for (uint32_t g = 0; g < 256; g += 15)
            for (uint32_t b = 0; b < 256; b += 15)
                grid.push_back(0xFF000000u | r << 16 | g << 8 | b);
    return grid;
}

bool withinOneLevel(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                         static_cast<int>((b[i] >> shift) & 0xFF)) > 1)
                return false;
    return true;
}

double srgbEncoded(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

// The matrix-and-curves path for an RGB matrix-shaper profile, or none when the profile is
// another kind or the path would differ from Little CMS's result by more than a level.
std::unique_ptr<TMatrixShaper> buildMatrixShaper(cmsContext context, cmsHPROFILE profile,
                                                 cmsHTRANSFORM reference) {
    if (cmsGetColorSpace(profile) != cmsSigRgbData || !cmsIsMatrixShaper(profile)) return nullptr;
    const cmsTagSignature curveTags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    auto fast = std::make_unique<TMatrixShaper>();
    for (int c = 0; c < 3; ++c) {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curveTags[c]));
        if (!curve) return nullptr;
        for (int v = 0; v < 256; ++v)
            fast->toLinear[c][v] = TMatrixShaper::clampLinear(std::lround(
                TMatrixShaper::kLinearMax *
                cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(v / 255.0))));
    }
    for (int v = 0; v < 256; ++v) {
        fast->pairs[0][v] = static_cast<uint32_t>(fast->toLinear[0][v]);
        fast->pairs[1][v] = static_cast<uint32_t>(fast->toLinear[1][v]) << 16;
        fast->pairs[2][v] = static_cast<uint32_t>(fast->toLinear[2][v]) | 1u << 16;
    }
    // The matrix, as Little CMS works it out (white point adaptation included): the profile's
    // pure primaries into sRGB's primaries with linear curves, in floating point, unclipped.
    const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(context, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    const TProfile linearSrgb(cmsCreateRGBProfileTHR(context, &d65, &primaries, curves));
    cmsFreeToneCurve(linear);
    if (!linearSrgb) return nullptr;
    const cmsHTRANSFORM toLinear =
        cmsCreateTransformTHR(context, profile, TYPE_RGB_FLT, linearSrgb.get(), TYPE_RGB_FLT,
                              INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!toLinear) return nullptr;
    const float unit[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    float column[3][3] = {};
    for (int j = 0; j < 3; ++j)
        cmsDoTransform(toLinear, unit[j], column[j], 1);
    cmsDeleteTransform(toLinear);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double entry =
                column[j][i] / (fast->toLinear[j][255] / double{TMatrixShaper::kLinearMax});
            if (!std::isfinite(entry) || std::abs(entry) > TMatrixShaper::kMaxMatrixEntry)
                return nullptr;
            fast->matrix[i * 3 + j] =
                static_cast<int16_t>(std::lround(entry * (1 << TMatrixShaper::kMatrixShift)));
        }
    constexpr int top = TMatrixShaper::kLinearMax;
    std::fill_n(fast->toSrgb + top + 1, 4, uint8_t{0});
    for (int i = 0; i <= top; ++i)
        fast->toSrgb[i] = static_cast<uint8_t>(std::lround(255 * srgbEncoded(i / double{top})));

    // Checked on a grid of colours against Little CMS's own transform.
    const std::vector<uint32_t> grid = colourGrid();
    std::vector<uint32_t> mine = grid, theirs = grid;
    fast->Run(mine.data(), static_cast<unsigned>(mine.size()));
    cmsDoTransform(reference, theirs.data(), theirs.data(),
                   static_cast<cmsUInt32Number>(theirs.size()));
    if (!withinOneLevel(mine, theirs)) return nullptr;
    return fast;
}

std::shared_ptr<const TColourTransform> buildTransform(std::span<const uint8_t> bytes,
                                                       bool cmykPixels, bool inverted) {
    const cmsContext context = lcmsContext();
    const TProfile profile(cmsOpenProfileFromMemTHR(context, bytes.data(),
                                                    static_cast<cmsUInt32Number>(bytes.size())));
    if (!profile) return nullptr;
    TInput input{};
    if (!inputFor(profile.get(), cmykPixels, inverted, input)) return nullptr;
    const TProfile srgb(cmsCreate_sRGBProfileTHR(context));
    if (!srgb) return nullptr;
    const cmsHTRANSFORM handle =
        cmsCreateTransformTHR(context, profile.get(), inputFormat(input), srgb.get(), TYPE_BGRA_8,
                              INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    if (!handle) return nullptr;
    if (input == TInput::Bgra) {
        // Phones often embed a profile that is sRGB under another name: nothing to do.
        const std::vector<uint32_t> grid = colourGrid();
        std::vector<uint32_t> converted = grid;
        cmsDoTransform(handle, converted.data(), converted.data(),
                       static_cast<cmsUInt32Number>(converted.size()));
        if (withinOneLevel(grid, converted)) {
            cmsDeleteTransform(handle);
            return std::make_shared<const TColourTransform>(nullptr, nullptr);
        }
    }
    std::unique_ptr<TMatrixShaper> fast =
        input == TInput::Bgra ? buildMatrixShaper(context, profile.get(), handle) : nullptr;
    return std::make_shared<const TColourTransform>(handle, std::move(fast));
}

// The transforms of the last few profiles, failures included, so that a broken profile is not
// parsed again for every picture that carries it. Keyed by the profile's whole bytes: two
// profiles with the same name or identifier may still differ.
class TTransformCache {
public:
    std::shared_ptr<const TColourTransform> Get(std::span<const uint8_t> profile, bool cmyk,
                                                bool inverted) {
        const std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->cmyk == cmyk && it->inverted == inverted &&
                std::equal(profile.begin(), profile.end(), it->profile.begin(),
                           it->profile.end())) {
                std::rotate(entries_.begin(), it, it + 1); // the most recent first
                return entries_.front().transform;
            }
        // Built under the lock: two threads meeting a new profile at once build it once.
        Entry entry{std::vector<uint8_t>(profile.begin(), profile.end()), cmyk, inverted,
                    buildTransform(profile, cmyk, inverted)};
        if (entries_.size() == kCapacity) entries_.pop_back();
        entries_.insert(entries_.begin(), std::move(entry));
        return entries_.front().transform;
    }

    size_t Size() {
        const std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    static constexpr size_t kCapacity = 8;
    struct Entry {
        std::vector<uint8_t> profile;
        bool cmyk;
        bool inverted;
        std::shared_ptr<const TColourTransform> transform;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

TTransformCache& cache() {
    static TTransformCache instance;
    return instance;
}

std::shared_ptr<const TColourTransform> transformFor(std::span<const uint8_t> profile, bool cmyk,
                                                     bool inverted) {
    // The smallest valid profile is its 128-byte header and a tag count.
    if (profile.size() < 132 || profile.size() > kMaxIccProfileBytes) return nullptr;
    // A profile cut short (a lost APP2 piece) may still open, its missing tags read as zeros.
    const uint32_t declared = uint32_t{profile[0]} << 24 | uint32_t{profile[1]} << 16 |
                              uint32_t{profile[2]} << 8 | profile[3];
    if (declared > profile.size()) return nullptr;
    return cache().Get(profile, cmyk, inverted);
}

uint8_t mul255(unsigned a, unsigned b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

} // namespace

TSrgbRows::TSrgbRows(std::span<const uint8_t> profile)
    : transform_(transformFor(profile, false, false)) {}

void TSrgbRows::Convert(uint32_t* row, unsigned width) const {
    // In place: the output skips the alpha byte, which keeps its value.
    if (transform_) transform_->Run(row, row, width);
}

bool ConvertToSrgb(TBitmap32& bitmap, std::span<const uint8_t> profile) {
    const TSrgbRows rows(profile);
    if (!rows.Usable()) return false;
    for (int y = 0; y < bitmap.Height(); ++y) {
        if ((y & 63) == 0) CheckDecodeCancelled();
        rows.Convert(bitmap.ScanLine(y), static_cast<unsigned>(bitmap.Width()));
    }
    return true;
}

TCmykToSrgb::TCmykToSrgb(std::span<const uint8_t> profile, bool inverted)
    : transform_(profile.empty() ? nullptr : transformFor(profile, true, inverted)),
      inverted_(inverted) {}

void TCmykToSrgb::Convert(const uint8_t* cmyk, uint32_t* out, unsigned width) const {
    if (transform_) {
        std::fill_n(out, width, 0xFF000000u); // the transform leaves the alpha byte alone
        transform_->Run(cmyk, out, width);
        return;
    }
    for (unsigned x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted_) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = 0xFF000000u | (uint32_t{mul255(c, k)} << 16) | (uint32_t{mul255(m, k)} << 8) |
                 mul255(y, k);
    }
}

size_t CachedColourTransforms() {
    return cache().Size();
}

} // namespace pictorelle

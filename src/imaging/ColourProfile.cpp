#include "imaging/ColourProfile.h"

#include "core/LibraryChatter.h"
#include "imaging/Decode.h"

#include <algorithm>
#include <cstdio>
#include <lcms2.h>
#include <mutex>
#include <string>
#include <vector>

namespace pictorelle {

// One Little CMS transform into sRGB. Built without lcms's one-pixel cache, which is written
// on every call: without it one transform may run on several threads at once.
class TColourTransform {
public:
    explicit TColourTransform(cmsHTRANSFORM handle) : handle_(handle) {}
    ~TColourTransform() { cmsDeleteTransform(handle_); }
    TColourTransform(const TColourTransform&) = delete;
    TColourTransform& operator=(const TColourTransform&) = delete;

    void Run(const void* in, void* out, unsigned pixels) const {
        cmsDoTransform(handle_, in, out, pixels);
    }

private:
    cmsHTRANSFORM handle_;
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
    return std::make_shared<const TColourTransform>(handle);
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

bool ConvertToSrgb(TBitmap32& bitmap, std::span<const uint8_t> profile) {
    const auto transform = transformFor(profile, false, false);
    if (!transform) return false;
    // In place, a row at a time: the output skips the alpha byte, which keeps its value.
    for (int y = 0; y < bitmap.Height(); ++y) {
        if ((y & 63) == 0) CheckDecodeCancelled();
        uint32_t* row = bitmap.ScanLine(y);
        transform->Run(row, row, static_cast<unsigned>(bitmap.Width()));
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

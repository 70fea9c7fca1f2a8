#include "core/Bitmap32.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pictorelle {

namespace {

// Larger extents could overflow the 64-bit fixed-point mapping of scaled draws.
constexpr int64_t kMaxScaledExtent = int64_t{1} << 28;

// Two channels packed 16 bits apart: 0x00RR00BB or 0x00AA00GG.
constexpr uint32_t kLanes = 0x00FF00FFu;

// Rounded x / 255 in both 16-bit lanes at once, exact for lane values 0..255 * 255.
inline uint32_t div255Lanes(uint32_t x) {
    const uint32_t t = x + 0x00800080u;
    return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
}

inline uint32_t div255(uint32_t x) {
    const uint32_t t = x + 128;
    return (t + (t >> 8)) >> 8;
}

// a + (b - a) * w / 256 per channel, rounded; w is the weight of b, 0..256.
inline uint32_t lerp256(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t iw = 256 - w;
    const uint32_t rb = ((a & kLanes) * iw + (b & kLanes) * w + 0x00800080u) >> 8;
    const uint32_t ga = ((a >> 8) & kLanes) * iw + ((b >> 8) & kLanes) * w + 0x00800080u;
    return (rb & kLanes) | (ga & ~kLanes);
}

void blendRow(uint32_t* dst, const uint32_t* src, std::size_t n, uint32_t masterAlpha) {
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t s = src[i];
        const uint32_t d = dst[i];
        const uint32_t a = div255((s >> 24) * masterAlpha);
        const uint32_t ia = 255 - a;
        // The source's alpha lane is taken as 255, which turns the same lerp into
        // a + dstAlpha * (255 - a) / 255 for the alpha channel.
        const uint32_t rb = div255Lanes((s & kLanes) * a + (d & kLanes) * ia);
        const uint32_t ga =
            div255Lanes((((s >> 8) & 0xFFu) | 0x00FF0000u) * a + ((d >> 8) & kLanes) * ia);
        dst[i] = rb | (ga << 8);
    }
}

// The destination coordinates of one axis that a scaled draw writes, with the source
// coordinates and bilinear weights each one reads.
struct AxisMap {
    int first = 0;              // first destination coordinate written
    std::vector<int32_t> i0;    // nearest source index, or the lower bilinear neighbour
    std::vector<int32_t> i1;    // upper bilinear neighbour
    std::vector<uint32_t> w;    // weight of i1 in 1/256
    bool anyWeight = false;     // some w is non-zero

    std::size_t size() const { return i0.size(); }
};

// Maps destination coordinates [dstStart, dstStart + dstLen) onto source coordinates
// [srcStart, srcStart + srcLen) by pixel centres, keeping those inside [clipLo, clipHi)
// whose nearest source pixel lies inside [validLo, validHi). The mapping is monotonic, so
// the kept coordinates are contiguous. Exact integer arithmetic: the nearest index never
// drifts, and equal lengths map every coordinate onto itself with weight 0.
void mapAxis(int64_t dstStart, int64_t dstLen, int64_t clipLo, int64_t clipHi,
             int64_t srcStart, int64_t srcLen, int64_t validLo, int64_t validHi, bool bilinear,
             AxisMap& m) {
    m.i0.clear();
    m.i1.clear();
    m.w.clear();
    m.anyWeight = false;
    const int64_t lo = std::max(dstStart, clipLo);
    const int64_t hi = std::min(dstStart + dstLen, clipHi);
    const int64_t den = 2 * dstLen;
    for (int64_t d = lo; d < hi; ++d) {
        // Source position of this pixel's centre: srcStart + num / den - 0.5.
        const int64_t num = (2 * (d - dstStart) + 1) * srcLen;
        const int64_t q = num / den;
        const int64_t nearest = srcStart + q;
        if (nearest < validLo) continue;
        if (nearest >= validHi) break;
        if (m.i0.empty()) m.first = static_cast<int>(d);
        m.i0.push_back(static_cast<int32_t>(nearest));
        if (!bilinear) continue;

        const int64_t pos = q * 65536 + ((num % den) << 16) / den - 32768; // 16.16, from srcStart
        int64_t x0 = srcStart + (pos >> 16);
        int64_t weight = ((pos & 0xFFFF) + 128) >> 8;
        if (weight == 256) {
            ++x0;
            weight = 0;
        }
        const int64_t x1 = std::clamp(x0 + 1, validLo, validHi - 1);
        x0 = std::clamp(x0, validLo, validHi - 1);
        if (x0 == x1) weight = 0;
        m.i0.back() = static_cast<int32_t>(x0);
        m.i1.push_back(static_cast<int32_t>(x1));
        m.w.push_back(static_cast<uint32_t>(weight));
        m.anyWeight = m.anyWeight || weight != 0;
    }
}

// Per-thread tables reused from one draw to the next, so a frame loop does not allocate.
struct ScaleScratch {
    AxisMap columns;
    AxisMap rows;
    std::vector<uint32_t> line;      // sampled row waiting to be blended
    std::vector<uint32_t> cached[2]; // horizontally resampled source rows
};

ScaleScratch& scratch() {
    thread_local ScaleScratch s;
    return s;
}

void nearestRow(uint32_t* out, const uint32_t* srcRow, const AxisMap& cols) {
    const int32_t* i0 = cols.i0.data();
    const std::size_t n = cols.size();
    for (std::size_t i = 0; i < n; ++i) out[i] = srcRow[i0[i]];
}

void horizontalRow(uint32_t* out, const uint32_t* srcRow, const AxisMap& cols) {
    const int32_t* i0 = cols.i0.data();
    const int32_t* i1 = cols.i1.data();
    const uint32_t* w = cols.w.data();
    const std::size_t n = cols.size();
    for (std::size_t i = 0; i < n; ++i) out[i] = lerp256(srcRow[i0[i]], srcRow[i1[i]], w[i]);
}

void bilinearRow(uint32_t* out, const uint32_t* row0, const uint32_t* row1, uint32_t wy,
                 const AxisMap& cols) {
    const int32_t* i0 = cols.i0.data();
    const int32_t* i1 = cols.i1.data();
    const uint32_t* w = cols.w.data();
    const std::size_t n = cols.size();
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t top = lerp256(row0[i0[i]], row0[i1[i]], w[i]);
        const uint32_t bottom = lerp256(row1[i0[i]], row1[i1[i]], w[i]);
        out[i] = lerp256(top, bottom, wy);
    }
}

void verticalRow(uint32_t* out, const uint32_t* row0, const uint32_t* row1, uint32_t wy,
                 std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = lerp256(row0[i], row1[i], wy);
}

int clampAlpha(int a) { return std::clamp(a, 0, 255); }

} // namespace

TBitmap32::TBitmap32(TBitmap32&& other) noexcept
    : width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)),
      pixels_(std::move(other.pixels_)) {
    other.pixels_.clear();
}

TBitmap32& TBitmap32::operator=(TBitmap32&& other) noexcept {
    if (this == &other) return *this;
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    pixels_ = std::move(other.pixels_);
    other.pixels_.clear();
    return *this;
}

void TBitmap32::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (count == pixels_.size()) {
        std::fill(pixels_.begin(), pixels_.end(), 0u);
    } else {
        // Replace rather than resize: a resize would copy the old pixels first.
        std::vector<uint32_t>(count, 0u).swap(pixels_);
    }
    width_ = width;
    height_ = height;
}

void TBitmap32::Clear(uint32_t pixel) { std::fill(pixels_.begin(), pixels_.end(), pixel); }

void TBitmap32::FillRect(const TRect& rect, uint32_t pixel) {
    const TRect r = rect.intersected(BoundsRect());
    if (r.isEmpty()) return;
    for (int y = r.top; y < r.bottom; ++y) std::fill(ScanLine(y) + r.left, ScanLine(y) + r.right, pixel);
}

void TBitmap32::ResetAlpha() {
    for (uint32_t& p : pixels_) p |= 0xFF000000u;
}

void TBitmap32::Mirror() {
    for (int y = 0; y < height_; ++y) std::reverse(ScanLine(y), ScanLine(y) + width_);
}

void TBitmap32::Flip() {
    for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(ScanLine(top), ScanLine(top) + width_, ScanLine(bottom));
}

void TBitmap32::Draw(int dstX, int dstY, const TBitmap32& src, TDrawMode mode, int masterAlpha) {
    Draw(dstX, dstY, src.BoundsRect(), src, mode, masterAlpha);
}

void TBitmap32::Draw(int dstX, int dstY, const TRect& srcRect, const TBitmap32& src,
                     TDrawMode mode, int masterAlpha) {
    masterAlpha = clampAlpha(masterAlpha);
    if (mode == TDrawMode::Blend && masterAlpha == 0) return;

    // Clip in 64 bits: positions far outside the bitmap must not overflow.
    int64_t sl = std::max<int64_t>(srcRect.left, 0);
    int64_t st = std::max<int64_t>(srcRect.top, 0);
    int64_t sr = std::min<int64_t>(srcRect.right, src.width_);
    int64_t sb = std::min<int64_t>(srcRect.bottom, src.height_);
    if (sl >= sr || st >= sb) return;
    int64_t dl = int64_t{dstX} + (sl - srcRect.left);
    int64_t dt = int64_t{dstY} + (st - srcRect.top);
    if (dl < 0) {
        sl -= dl;
        dl = 0;
    }
    if (dt < 0) {
        st -= dt;
        dt = 0;
    }
    sr = std::min(sr, sl + (width_ - dl));
    sb = std::min(sb, st + (height_ - dt));
    if (sl >= sr || st >= sb) return;

    const auto cols = static_cast<std::size_t>(sr - sl);
    const int rows = static_cast<int>(sb - st);
    const int sx = static_cast<int>(sl), sy = static_cast<int>(st);
    const int dx = static_cast<int>(dl), dy = static_cast<int>(dt);

    if (mode == TDrawMode::Opaque) {
        // memmove and a row order away from the overlap make drawing onto itself safe.
        const bool upward = &src == this && dy > sy;
        for (int k = 0; k < rows; ++k) {
            const int r = upward ? rows - 1 - k : k;
            std::memmove(ScanLine(dy + r) + dx, src.ScanLine(sy + r) + sx, cols * 4);
        }
        return;
    }

    if (&src == this) {
        // Blending reads and writes pixel by pixel, so an overlapping self-draw works from a
        // copy of the source part.
        TBitmap32 part(static_cast<int>(cols), rows);
        part.Draw(0, 0, TRect{sx, sy, static_cast<int>(sr), static_cast<int>(sb)}, src);
        Draw(dx, dy, part, mode, masterAlpha);
        return;
    }
    for (int k = 0; k < rows; ++k)
        blendRow(ScanLine(dy + k) + dx, src.ScanLine(sy + k) + sx, cols,
                 static_cast<uint32_t>(masterAlpha));
}

void TBitmap32::DrawScaled(const TRect& dstRect, const TBitmap32& src, TResampler resampler,
                           TDrawMode mode, int masterAlpha) {
    DrawScaled(dstRect, src, src.BoundsRect(), resampler, mode, masterAlpha);
}

void TBitmap32::DrawScaled(const TRect& dstRect, const TBitmap32& src, const TRect& srcRect,
                           TResampler resampler, TDrawMode mode, int masterAlpha) {
    masterAlpha = clampAlpha(masterAlpha);
    if (mode == TDrawMode::Blend && masterAlpha == 0) return;
    const int64_t dw = int64_t{dstRect.right} - dstRect.left;
    const int64_t dh = int64_t{dstRect.bottom} - dstRect.top;
    const int64_t sw = int64_t{srcRect.right} - srcRect.left;
    const int64_t sh = int64_t{srcRect.bottom} - srcRect.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || Empty() || src.Empty()) return;
    if (dw > kMaxScaledExtent || dh > kMaxScaledExtent || sw > kMaxScaledExtent ||
        sh > kMaxScaledExtent)
        return;
    if (dw == sw && dh == sh) {
        // Same size: both resamplers reduce to a plain copy with the same clipping.
        Draw(dstRect.left, dstRect.top, srcRect, src, mode, masterAlpha);
        return;
    }
    if (&src == this) {
        const TBitmap32 copy(src);
        DrawScaled(dstRect, copy, srcRect, resampler, mode, masterAlpha);
        return;
    }

    const TRect valid = srcRect.intersected(src.BoundsRect());
    if (valid.isEmpty()) return;
    const bool bilinear = resampler == TResampler::Bilinear;
    ScaleScratch& s = scratch();
    mapAxis(dstRect.left, dw, 0, width_, srcRect.left, sw, valid.left, valid.right, bilinear,
            s.columns);
    mapAxis(dstRect.top, dh, 0, height_, srcRect.top, sh, valid.top, valid.bottom, bilinear,
            s.rows);
    const std::size_t n = s.columns.size();
    if (n == 0 || s.rows.size() == 0) return;

    const bool blend = mode == TDrawMode::Blend;
    if (blend) s.line.resize(n);
    // A bilinear upscale revisits the same pair of source rows for several destination
    // rows; keeping both horizontally resampled rows saves most of the work.
    const bool separable = bilinear && s.columns.anyWeight;
    int cachedRow[2] = {-1, -1};
    if (separable) {
        s.cached[0].resize(n);
        s.cached[1].resize(n);
    }
    // Rows come in increasing order, so the lower cached row is the one no longer needed.
    auto resampledRow = [&](int y) -> const uint32_t* {
        for (int c = 0; c < 2; ++c)
            if (cachedRow[c] == y) return s.cached[c].data();
        const int c = cachedRow[0] < cachedRow[1] ? 0 : 1;
        horizontalRow(s.cached[c].data(), src.ScanLine(y), s.columns);
        cachedRow[c] = y;
        return s.cached[c].data();
    };

    for (std::size_t k = 0; k < s.rows.size(); ++k) {
        uint32_t* dstRow = ScanLine(s.rows.first + static_cast<int>(k)) + s.columns.first;
        uint32_t* out = blend ? s.line.data() : dstRow;
        const int y0 = s.rows.i0[k];
        if (!bilinear) {
            nearestRow(out, src.ScanLine(y0), s.columns);
        } else {
            const uint32_t wy = s.rows.w[k];
            const int y1 = s.rows.i1[k];
            if (separable) {
                const uint32_t* r0 = resampledRow(y0);
                if (wy == 0)
                    std::memcpy(out, r0, n * 4);
                else
                    verticalRow(out, r0, resampledRow(y1), wy, n);
            } else if (wy == 0) {
                nearestRow(out, src.ScanLine(y0), s.columns);
            } else {
                bilinearRow(out, src.ScanLine(y0), src.ScanLine(y1), wy, s.columns);
            }
        }
        if (blend) blendRow(dstRow, out, n, static_cast<uint32_t>(masterAlpha));
    }
}

} // namespace pictorelle

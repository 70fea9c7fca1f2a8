#include "core/Bitmap32.h"

#include "core/RowKernels.h"
#include "core/ScaleMap.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pictorelle {

namespace {

// The destination coordinates of one axis that a scaled draw writes, with the source
// coordinates each one reads.
struct AxisMap {
    int first = 0;           // first destination coordinate written
    std::vector<int32_t> x;  // nearest source index, or for bilinear the left/upper neighbour
    std::vector<uint32_t> w; // bilinear: weight of x + 1 in 1/256 (x + 1 always exists)
    bool pairs = false;      // bilinear with at least two source pixels to mix
    bool anyWeight = false;  // some w is non-zero

    std::size_t size() const { return x.size(); }
};

// Maps destination coordinates [dstStart, dstStart + dstLen) onto source coordinates
// [srcStart, srcStart + srcLen) by pixel centres, keeping those inside [clipLo, clipHi)
// whose nearest source pixel lies inside [validLo, validHi). The mapping is monotonic, so
// the kept coordinates are contiguous. Exact integer arithmetic: the nearest index never
// drifts, and equal lengths map every coordinate onto itself with weight 0.
void mapAxis(int64_t dstStart, int64_t dstLen, int64_t clipLo, int64_t clipHi, int64_t srcStart,
             int64_t srcLen, int64_t validLo, int64_t validHi, bool bilinear, AxisMap& m) {
    m.x.clear();
    m.w.clear();
    m.pairs = bilinear && validHi - validLo >= 2;
    m.anyWeight = false;
    const int64_t lo = std::max(dstStart, clipLo);
    const int64_t hi = std::min(dstStart + dstLen, clipHi);
    for (int64_t d = lo; d < hi; ++d) {
        const TScaleTap tap = MapScaled(d, dstStart, dstLen, srcStart, srcLen, validLo, validHi);
        if (tap.nearest < validLo) continue;
        if (tap.nearest >= validHi) break;
        if (m.x.empty()) m.first = static_cast<int>(d);
        if (!m.pairs) {
            m.x.push_back(static_cast<int32_t>(bilinear ? validLo : tap.nearest));
            if (bilinear) m.w.push_back(0);
            continue;
        }
        m.x.push_back(static_cast<int32_t>(tap.x0));
        m.w.push_back(tap.weight);
        m.anyWeight = m.anyWeight || tap.weight != 0;
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

int clampAlpha(int a) {
    return std::clamp(a, 0, 255);
}

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

void TBitmap32::Clear(uint32_t pixel) {
    std::fill(pixels_.begin(), pixels_.end(), pixel);
}

void TBitmap32::FillRect(const TRect& rect, uint32_t pixel) {
    const TRect r = rect.intersected(BoundsRect());
    if (r.isEmpty()) return;
    for (int y = r.top; y < r.bottom; ++y)
        std::fill(ScanLine(y) + r.left, ScanLine(y) + r.right, pixel);
}

void TBitmap32::ResetAlpha() {
    for (uint32_t& p : pixels_)
        p |= 0xFF000000u;
}

void TBitmap32::Mirror() {
    for (int y = 0; y < height_; ++y)
        std::reverse(ScanLine(y), ScanLine(y) + width_);
}

void TBitmap32::Flip() {
    for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(ScanLine(top), ScanLine(top) + width_, ScanLine(bottom));
}

void TBitmap32::Draw(int dstX, int dstY, const TBitmap32& src, TDrawMode mode, int masterAlpha) {
    Draw(dstX, dstY, src.BoundsRect(), src, mode, masterAlpha);
}

void TBitmap32::Draw(int dstX, int dstY, const TRect& srcRect, const TBitmap32& src, TDrawMode mode,
                     int masterAlpha) {
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

    const auto colCount = static_cast<std::size_t>(sr - sl);
    const int rowCount = static_cast<int>(sb - st);
    const int sx = static_cast<int>(sl), sy = static_cast<int>(st);
    const int dx = static_cast<int>(dl), dy = static_cast<int>(dt);

    if (mode == TDrawMode::Opaque) {
        // memmove and a row order away from the overlap make drawing onto itself safe.
        const bool bottomUp = &src == this && dy > sy;
        for (int k = 0; k < rowCount; ++k) {
            const int r = bottomUp ? rowCount - 1 - k : k;
            std::memmove(ScanLine(dy + r) + dx, src.ScanLine(sy + r) + sx, colCount * 4);
        }
        return;
    }

    if (&src == this) {
        // Blending reads and writes pixel by pixel, so an overlapping self-draw works from a
        // copy of the source part.
        TBitmap32 part(static_cast<int>(colCount), rowCount);
        part.Draw(0, 0, TRect{sx, sy, static_cast<int>(sr), static_cast<int>(sb)}, src);
        Draw(dx, dy, part, mode, masterAlpha);
        return;
    }
    for (int k = 0; k < rowCount; ++k)
        rows::Blend(ScanLine(dy + k) + dx, src.ScanLine(sy + k) + sx, colCount,
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
    if (!bilinear) {
        for (std::size_t k = 0; k < s.rows.size(); ++k) {
            uint32_t* dstRow = ScanLine(s.rows.first + static_cast<int>(k)) + s.columns.first;
            uint32_t* out = blend ? s.line.data() : dstRow;
            rows::Gather(out, src.ScanLine(s.rows.x[k]), s.columns.x.data(), n);
            if (blend) rows::Blend(dstRow, out, n, static_cast<uint32_t>(masterAlpha));
        }
        return;
    }

    // Separable: each source row is resampled horizontally once into a small cache, and each
    // destination row mixes two cached rows. Rows come in increasing order, so the lower of
    // the two cached rows is the one to replace.
    s.cached[0].resize(n);
    s.cached[1].resize(n);
    int cachedRow[2] = {-1, -1};
    auto resampledRow = [&](int y) -> const uint32_t* {
        for (int c = 0; c < 2; ++c)
            if (cachedRow[c] == y) return s.cached[c].data();
        const int c = cachedRow[0] < cachedRow[1] ? 0 : 1;
        if (s.columns.anyWeight)
            rows::LerpPairs(s.cached[c].data(), src.ScanLine(y), s.columns.x.data(),
                            s.columns.w.data(), n);
        else
            rows::Gather(s.cached[c].data(), src.ScanLine(y), s.columns.x.data(), n);
        cachedRow[c] = y;
        return s.cached[c].data();
    };
    for (std::size_t k = 0; k < s.rows.size(); ++k) {
        uint32_t* dstRow = ScanLine(s.rows.first + static_cast<int>(k)) + s.columns.first;
        const int y = s.rows.x[k];
        const uint32_t wy = s.rows.w[k];
        const uint32_t* sampled = nullptr;
        if (wy == 0 || wy == 256) {
            sampled = resampledRow(wy == 0 ? y : y + 1);
        } else {
            uint32_t* out = blend ? s.line.data() : dstRow;
            const uint32_t* upper = resampledRow(y);
            rows::Lerp(out, upper, resampledRow(y + 1), wy, n);
            sampled = out;
        }
        if (blend)
            rows::Blend(dstRow, sampled, n, static_cast<uint32_t>(masterAlpha));
        else if (sampled != dstRow)
            std::memcpy(dstRow, sampled, n * 4);
    }
}

} // namespace pictorelle

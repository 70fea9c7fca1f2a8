#include "transitions/zoomfade/ScaledDraw.h"

#include "core/RowKernels.h"
#include "core/ScaleMap.h"

#include <algorithm>
#include <cstring>

namespace pictorelle {

void TScaledDraw::Reserve(int width, int height) {
    const auto w = static_cast<std::size_t>(std::max(width, 0));
    const auto h = static_cast<std::size_t>(std::max(height, 0));
    columns_.x.resize(std::max(columns_.x.size(), w));
    columns_.w.resize(std::max(columns_.w.size(), w));
    rows_.x.resize(std::max(rows_.x.size(), h));
    rows_.w.resize(std::max(rows_.w.size(), h));
}

// Destination coordinates [dstStart, dstStart + dstLen) onto source coordinates [srcStart,
// srcStart + srcLen) by pixel centres, keeping those inside [0, clipHi) whose nearest source
// pixel lies inside [validLo, validHi), through the mapping DrawScaled also uses, so the
// two give the same pixels.
void TScaledDraw::MapAxis(int64_t dstStart, int64_t dstLen, int64_t clipHi, int64_t srcStart,
                          int64_t srcLen, int64_t validLo, int64_t validHi, Axis& m) {
    m.first = 0;
    m.count = 0;
    m.anyWeight = false;
    const bool pairs = validHi - validLo >= 2;
    const int64_t lo = std::max<int64_t>(dstStart, 0);
    const int64_t hi = std::min(dstStart + dstLen, clipHi);
    if (hi - lo > static_cast<int64_t>(m.x.size())) {
        m.x.resize(static_cast<std::size_t>(hi - lo));
        m.w.resize(static_cast<std::size_t>(hi - lo));
    }
    for (int64_t d = lo; d < hi; ++d) {
        const TScaleTap tap = MapScaled(d, dstStart, dstLen, srcStart, srcLen, validLo, validHi);
        if (tap.nearest < validLo) continue;
        if (tap.nearest >= validHi) break;
        if (m.count == 0) m.first = static_cast<int>(d);
        const auto k = static_cast<std::size_t>(m.count++);
        if (!pairs) {
            m.x[k] = static_cast<int32_t>(validLo);
            m.w[k] = 0;
            continue;
        }
        m.x[k] = static_cast<int32_t>(tap.x0);
        m.w[k] = tap.weight;
        m.anyWeight = m.anyWeight || tap.weight != 0;
    }
}

// A pair at weight 0 or 256 is exactly its left or right pixel, so columns whose weights are
// all whole read single pixels; in order and side by side they read the row as it is.
void TScaledDraw::ClassifyColumns() {
    const auto n = static_cast<std::size_t>(columns_.count);
    int32_t* x = columns_.x.data();
    const uint32_t* w = columns_.w.data();
    if (columns_.anyWeight) {
        for (std::size_t i = 0; i < n; ++i)
            if (w[i] != 0 && w[i] != 256) {
                mode_ = Columns::Pairs;
                return;
            }
        for (std::size_t i = 0; i < n; ++i)
            x[i] += w[i] == 256 ? 1 : 0;
    }
    mode_ = Columns::Copy;
    for (std::size_t i = 1; i < n; ++i)
        if (x[i] != x[0] + static_cast<int32_t>(i)) {
            mode_ = Columns::Gather;
            return;
        }
}

void TScaledDraw::Plan(TBitmap32& dst, const TRect& dstRect, const TBitmap32& src,
                       const TRect& srcRect) {
    columns_.count = rows_.count = 0;
    dst_ = &dst;
    src_ = &src;
    const int64_t dw = int64_t{dstRect.right} - dstRect.left;
    const int64_t dh = int64_t{dstRect.bottom} - dstRect.top;
    const int64_t sw = int64_t{srcRect.right} - srcRect.left;
    const int64_t sh = int64_t{srcRect.bottom} - srcRect.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || dst.Empty() || src.Empty()) return;
    if (dw > kMaxScaledExtent || dh > kMaxScaledExtent || sw > kMaxScaledExtent ||
        sh > kMaxScaledExtent)
        return;
    const TRect valid = srcRect.intersected(src.BoundsRect());
    if (valid.isEmpty()) return;
    MapAxis(dstRect.left, dw, dst.Width(), srcRect.left, sw, valid.left, valid.right, columns_);
    MapAxis(dstRect.top, dh, dst.Height(), srcRect.top, sh, valid.top, valid.bottom, rows_);
    if (columns_.count == 0 || rows_.count == 0) {
        columns_.count = rows_.count = 0;
        return;
    }
    ClassifyColumns();
}

const uint32_t* TScaledDraw::Across(int y, uint32_t* out) const {
    const uint32_t* row = src_->ScanLine(y);
    const auto n = static_cast<std::size_t>(columns_.count);
    switch (mode_) {
    case Columns::Copy:
        return row + columns_.x[0];
    case Columns::Gather:
        rows::Gather(out, row, columns_.x.data(), n);
        return out;
    case Columns::Pairs:
        rows::LerpPairs(out, row, columns_.x.data(), columns_.w.data(), n);
        return out;
    }
    return out;
}

void TScaledDraw::DrawRows(int top, int bottom, uint32_t* line) const {
    const int first = std::max(top, FirstRow());
    const int end = std::min(bottom, EndRow());
    if (first >= end) return;
    const auto n = static_cast<std::size_t>(columns_.count);
    // Two source rows resampled across, kept while consecutive destination rows share them;
    // rows come in increasing order, so the lower one is the one to replace.
    uint32_t* cached[2] = {line, line + n};
    int cachedRow[2] = {-1, -1};
    auto resampled = [&](int y) -> const uint32_t* {
        if (mode_ == Columns::Copy) return Across(y, nullptr);
        for (int c = 0; c < 2; ++c)
            if (cachedRow[c] == y) return cached[c];
        const int c = cachedRow[0] < cachedRow[1] ? 0 : 1;
        cachedRow[c] = y;
        return Across(y, cached[c]);
    };
    for (int d = first; d < end; ++d) {
        const auto k = static_cast<std::size_t>(d - rows_.first);
        uint32_t* out = dst_->ScanLine(d) + columns_.first;
        const int y = rows_.x[k];
        const uint32_t wy = rows_.w[k];
        if (wy == 0 || wy == 256) {
            // On one source row: resampled straight into place.
            const uint32_t* row = Across(wy == 0 ? y : y + 1, out);
            if (row != out) std::memcpy(out, row, n * 4);
            continue;
        }
        const uint32_t* upper = resampled(y);
        rows::Lerp(out, upper, resampled(y + 1), wy, n);
    }
}

} // namespace pictorelle

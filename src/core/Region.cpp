#include "core/Region.h"

#include "core/IntMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace pictorelle {

// Appends rows top-down to a region, merging spans that touch. Spans of one row must come in
// order of their left edges; rows that are skipped stay empty.
class TRowWriter {
public:
    TRowWriter(TRegion& region, int top) : r_(region), y_(top) {
        r_.top_ = top;
        r_.rowStart_.clear();
        r_.spans_.clear();
        r_.rowStart_.push_back(0);
    }

    void BeginRow(int y) {
        while (y_ < y) {
            r_.rowStart_.push_back(static_cast<uint32_t>(r_.spans_.size()));
            ++y_;
        }
    }

    void AddSpan(int left, int right) {
        if (left >= right) return;
        if (r_.spans_.size() > r_.rowStart_.back() && left <= r_.spans_.back().right) {
            r_.spans_.back().right = std::max(r_.spans_.back().right, right);
            return;
        }
        r_.spans_.push_back({left, right});
    }

    // Closes the last row and drops empty rows at both ends.
    void Finish() {
        r_.rowStart_.push_back(static_cast<uint32_t>(r_.spans_.size()));
        if (r_.spans_.empty()) {
            r_.SetEmpty();
            return;
        }
        auto& starts = r_.rowStart_;
        while (starts.size() >= 2 && starts[starts.size() - 2] == starts.back())
            starts.pop_back();
        std::size_t lead = 0;
        while (starts[lead + 1] == 0)
            ++lead;
        if (lead > 0) {
            starts.erase(starts.begin(), starts.begin() + static_cast<std::ptrdiff_t>(lead));
            r_.top_ += static_cast<int>(lead);
        }
    }

private:
    TRegion& r_;
    int y_;
};

namespace {

TRect normalised(const TRect& r) {
    return {
        ClampRegionCoord(std::min(r.left, r.right)), ClampRegionCoord(std::min(r.top, r.bottom)),
        ClampRegionCoord(std::max(r.left, r.right)), ClampRegionCoord(std::max(r.top, r.bottom))};
}

// A polygon edge oriented downwards: it crosses the sampling line y + 0.5 of rows top to
// bottom - 1.
struct Edge {
    int64_t top;
    int64_t bottom;
    int64_t x0; // x at `top`
    int64_t dx; // x at `bottom` minus x0
    int dir;    // +1 when the polygon runs downwards along it, -1 upwards
};

struct Crossing {
    int64_t x; // first pixel whose centre lies right of (or on) the crossing
    int dir;
};

// Per-thread work lists of the rasteriser, reused so that frames do not allocate.
struct PolygonScratch {
    std::vector<Edge> edges;
    std::vector<std::size_t> active;
    std::vector<Crossing> crossings;
};

PolygonScratch& polygonScratch() {
    thread_local PolygonScratch s;
    return s;
}

// The row's span test for an ellipse quadrant: the largest u >= 0 with (u / cw)^2 + (v / ch)^2
// <= 1, in the doubled coordinates of pixel centres; v < ch.
int64_t ellipseHalfWidth(int64_t cw, int64_t ch, int64_t v) {
    const double exact = static_cast<double>(cw) *
                         std::sqrt(1.0 - (static_cast<double>(v) / static_cast<double>(ch)) *
                                             (static_cast<double>(v) / static_cast<double>(ch)));
    int64_t u = static_cast<int64_t>(std::floor(exact));
    constexpr int64_t kExactLimit = int64_t{1} << 15;
    if (cw > kExactLimit || ch > kExactLimit) return std::clamp<int64_t>(u, 0, cw);
    // Settle the double's last-bit doubt with exact integers: u^2 ch^2 <= cw^2 (ch^2 - v^2).
    const int64_t limit = cw * cw * (ch * ch - v * v);
    auto fits = [&](int64_t k) { return k * k * ch * ch <= limit; };
    u = std::clamp<int64_t>(u, 0, cw);
    while (u > 0 && !fits(u))
        --u;
    while (u < cw && fits(u + 1))
        ++u;
    return u;
}

template <class Op>
void combineRow(std::span<const TSpan> a, std::span<const TSpan> b, Op op, TRowWriter& out) {
    // Walk the span edges of both rows as toggles of "inside a" and "inside b".
    const std::size_t na = a.size() * 2, nb = b.size() * 2;
    auto edgeAt = [](std::span<const TSpan> s, std::size_t k) {
        return k % 2 == 0 ? s[k / 2].left : s[k / 2].right;
    };
    std::size_t ia = 0, ib = 0;
    bool inA = false, inB = false, inR = false;
    int start = 0;
    while (ia < na || ib < nb) {
        const int xa = ia < na ? edgeAt(a, ia) : std::numeric_limits<int>::max();
        const int xb = ib < nb ? edgeAt(b, ib) : std::numeric_limits<int>::max();
        const int x = std::min(xa, xb);
        if (xa == x) {
            inA = !inA;
            ++ia;
        }
        if (xb == x) {
            inB = !inB;
            ++ib;
        }
        const bool r = op(inA, inB);
        if (r == inR) continue;
        if (r)
            start = x;
        else
            out.AddSpan(start, x);
        inR = r;
    }
}

template <class Op>
void combine(const TRegion& a, const TRegion& b, TRegion& out, int top, int bottom, Op op) {
    TRowWriter w(out, top);
    for (int y = top; y < bottom; ++y) {
        w.BeginRow(y);
        combineRow(a.Row(y), b.Row(y), op, w);
    }
    w.Finish();
}

} // namespace

TRegion TRegion::FromRect(const TRect& rect) {
    TRegion r;
    r.SetRect(rect);
    return r;
}

TRegion TRegion::FromPolygon(std::span<const TPoint> points) {
    TRegion r;
    r.SetPolygon(points);
    return r;
}

TRegion TRegion::FromEllipse(const TRect& bounds) {
    TRegion r;
    r.SetEllipse(bounds);
    return r;
}

TRegion TRegion::FromRoundRect(const TRect& bounds, int cornerWidth, int cornerHeight) {
    TRegion r;
    r.SetRoundRect(bounds, cornerWidth, cornerHeight);
    return r;
}

void TRegion::SetEmpty() {
    top_ = 0;
    rowStart_.clear();
    spans_.clear();
}

void TRegion::SetRect(const TRect& rect) {
    const TRect r = normalised(rect);
    if (r.isEmpty()) {
        SetEmpty();
        return;
    }
    TRowWriter w(*this, r.top);
    for (int y = r.top; y < r.bottom; ++y) {
        w.BeginRow(y);
        w.AddSpan(r.left, r.right);
    }
    w.Finish();
}

void TRegion::SetPolygon(std::span<const TPoint> points) {
    PolygonScratch& s = polygonScratch();
    s.edges.clear();
    int64_t yMin = std::numeric_limits<int64_t>::max(), yMax = std::numeric_limits<int64_t>::min();
    for (std::size_t k = 0; k < points.size(); ++k) {
        const TPoint& p = points[k];
        const TPoint& q = points[(k + 1) % points.size()];
        const int64_t x0 = ClampRegionCoord(p.x), y0 = ClampRegionCoord(p.y);
        const int64_t x1 = ClampRegionCoord(q.x), y1 = ClampRegionCoord(q.y);
        yMin = std::min(yMin, y0);
        yMax = std::max(yMax, y0);
        if (y0 == y1) continue; // a horizontal edge crosses no sampling line
        if (y0 < y1)
            s.edges.push_back({y0, y1, x0, x1 - x0, +1});
        else
            s.edges.push_back({y1, y0, x1, x0 - x1, -1});
    }
    if (s.edges.empty()) {
        SetEmpty();
        return;
    }
    std::sort(s.edges.begin(), s.edges.end(),
              [](const Edge& a, const Edge& b) { return a.top < b.top; });

    TRowWriter w(*this, static_cast<int>(yMin));
    s.active.clear();
    std::size_t next = 0;
    for (int64_t y = yMin; y < yMax; ++y) {
        while (next < s.edges.size() && s.edges[next].top <= y)
            s.active.push_back(next++);
        std::erase_if(s.active, [&](std::size_t e) { return s.edges[e].bottom <= y; });
        if (s.active.empty()) continue;

        // Crossing with the line y + 0.5; the first pixel at or right of it is
        // ceil(x - 0.5) = ceil((2 x0 dy + (2y + 1 - 2 top) dx - dy) / (2 dy)).
        s.crossings.clear();
        for (const std::size_t e : s.active) {
            const Edge& edge = s.edges[e];
            const int64_t dy = edge.bottom - edge.top;
            const int64_t num = 2 * edge.x0 * dy + (2 * (y - edge.top) + 1) * edge.dx - dy;
            s.crossings.push_back({CeilDiv(num, 2 * dy), edge.dir});
        }
        std::sort(s.crossings.begin(), s.crossings.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });

        w.BeginRow(static_cast<int>(y));
        int winding = 0;
        int64_t start = 0;
        for (const Crossing& c : s.crossings) {
            const int before = winding;
            winding += c.dir;
            if (before == 0 && winding != 0)
                start = c.x;
            else if (before != 0 && winding == 0)
                w.AddSpan(static_cast<int>(start), static_cast<int>(c.x));
        }
    }
    w.Finish();
}

void TRegion::SetEllipse(const TRect& bounds) {
    const TRect r = normalised(bounds);
    SetRoundRect(r, r.width(), r.height());
}

void TRegion::SetRoundRect(const TRect& bounds, int cornerWidth, int cornerHeight) {
    const TRect r = normalised(bounds);
    const int64_t width = r.width(), height = r.height();
    const int64_t cw = std::clamp<int64_t>(cornerWidth, 0, width);
    const int64_t ch = std::clamp<int64_t>(cornerHeight, 0, height);
    if (cw == 0 || ch == 0) {
        SetRect(r);
        return;
    }
    // In doubled coordinates relative to the centre, the pixel centre of x is at
    // u = 2x + 1 - left - right. A row lies inside the straight middle part when its
    // |v| <= height - ch; otherwise the corner ellipse narrows it by its own half width.
    const int64_t lr = int64_t{r.left} + r.right;
    const int64_t tb = int64_t{r.top} + r.bottom;
    TRowWriter w(*this, r.top);
    for (int y = r.top; y < r.bottom; ++y) {
        const int64_t v = std::abs(2 * int64_t{y} + 1 - tb);
        const int64_t cornerV = std::max<int64_t>(0, v - (height - ch));
        const int64_t reach = (cornerV == 0 ? cw : ellipseHalfWidth(cw, ch, cornerV)) + width - cw;
        // Pixels with |2x + 1 - lr| <= reach.
        w.BeginRow(y);
        w.AddSpan(static_cast<int>(CeilDiv(lr - reach - 1, int64_t{2})),
                  static_cast<int>(FloorDiv(lr + reach - 1, int64_t{2}) + 1));
    }
    w.Finish();
}

void TRegion::SetCombined(const TRegion& a, const TRegion& b, TRegionOp op) {
    if (&a == this || &b == this) {
        TRegion result;
        result.SetCombined(a, b, op);
        swap(*this, result);
        return;
    }
    switch (op) {
    case TRegionOp::Union:
        if (a.IsEmpty() || b.IsEmpty()) {
            *this = a.IsEmpty() ? b : a;
            return;
        }
        combine(a, b, *this, std::min(a.Top(), b.Top()), std::max(a.Bottom(), b.Bottom()),
                [](bool x, bool y) { return x || y; });
        return;
    case TRegionOp::Intersect:
        combine(a, b, *this, std::max(a.Top(), b.Top()), std::min(a.Bottom(), b.Bottom()),
                [](bool x, bool y) { return x && y; });
        return;
    case TRegionOp::Xor:
        if (a.IsEmpty() || b.IsEmpty()) {
            *this = a.IsEmpty() ? b : a;
            return;
        }
        combine(a, b, *this, std::min(a.Top(), b.Top()), std::max(a.Bottom(), b.Bottom()),
                [](bool x, bool y) { return x != y; });
        return;
    }
}

void TRegion::Combine(const TRegion& other, TRegionOp op, TRegion& spare) {
    spare.SetCombined(*this, other, op);
    swap(*this, spare);
}

TRect TRegion::BoundingBox() const {
    if (IsEmpty()) return {};
    int left = std::numeric_limits<int>::max(), right = std::numeric_limits<int>::min();
    for (std::size_t k = 0; k + 1 < rowStart_.size(); ++k) {
        if (rowStart_[k] == rowStart_[k + 1]) continue;
        left = std::min(left, spans_[rowStart_[k]].left);
        right = std::max(right, spans_[rowStart_[k + 1] - 1].right);
    }
    return {left, top_, right, Bottom()};
}

std::span<const TSpan> TRegion::Row(int y) const {
    if (y < top_ || y >= Bottom()) return {};
    const auto k = static_cast<std::size_t>(y - top_);
    return std::span<const TSpan>(spans_).subspan(rowStart_[k], rowStart_[k + 1] - rowStart_[k]);
}

bool TRegion::Contains(int x, int y) const {
    const auto row = Row(y);
    const auto it = std::upper_bound(row.begin(), row.end(), x,
                                     [](int v, const TSpan& s) { return v < s.right; });
    return it != row.end() && it->left <= x;
}

int64_t TRegion::Area() const {
    int64_t area = 0;
    for (const TSpan& s : spans_)
        area += int64_t{s.right} - s.left;
    return area;
}

bool operator==(const TRegion& a, const TRegion& b) {
    if (a.IsEmpty() || b.IsEmpty()) return a.IsEmpty() && b.IsEmpty();
    return a.top_ == b.top_ && a.rowStart_ == b.rowStart_ && a.spans_ == b.spans_;
}

void swap(TRegion& a, TRegion& b) noexcept {
    std::swap(a.top_, b.top_);
    a.rowStart_.swap(b.rowStart_);
    a.spans_.swap(b.spans_);
}

void TRegionUnion::Clear() {
    spans_.clear();
    top_ = bottom_ = 0;
}

void TRegionUnion::Add(const TRegion& region) {
    if (region.IsEmpty()) return;
    if (spans_.empty()) {
        top_ = region.Top();
        bottom_ = region.Bottom();
    } else {
        top_ = std::min(top_, region.Top());
        bottom_ = std::max(bottom_, region.Bottom());
    }
    for (int y = region.Top(); y < region.Bottom(); ++y)
        for (const TSpan& s : region.Row(y))
            spans_.push_back({y, s});
}

void TRegionUnion::AddRect(const TRect& rect) {
    shape_.SetRect(rect);
    Add(shape_);
}

void TRegionUnion::AddPolygon(std::span<const TPoint> points) {
    shape_.SetPolygon(points);
    Add(shape_);
}

void TRegionUnion::AddEllipse(const TRect& bounds) {
    shape_.SetEllipse(bounds);
    Add(shape_);
}

void TRegionUnion::Build(TRegion& out) {
    if (spans_.empty()) {
        out.SetEmpty();
        return;
    }
    // Bucket the spans by row (a counting sort), then order each row's few spans by their left
    // edge and let the writer merge the overlaps.
    const auto rows = static_cast<std::size_t>(bottom_ - top_);
    rowFill_.assign(rows + 1, 0);
    for (const RowSpan& s : spans_)
        ++rowFill_[static_cast<std::size_t>(s.y - top_) + 1];
    for (std::size_t k = 1; k <= rows; ++k)
        rowFill_[k] += rowFill_[k - 1];
    sorted_.resize(spans_.size());
    for (const RowSpan& s : spans_)
        sorted_[rowFill_[static_cast<std::size_t>(s.y - top_)]++] = s;
    // rowFill_[k] now holds the end of row k, which is the start of row k + 1.

    TRowWriter w(out, top_);
    std::size_t begin = 0;
    for (std::size_t k = 0; k < rows; ++k) {
        const std::size_t end = rowFill_[k];
        if (end == begin) continue;
        auto first = sorted_.begin() + static_cast<std::ptrdiff_t>(begin);
        auto last = sorted_.begin() + static_cast<std::ptrdiff_t>(end);
        std::sort(first, last,
                  [](const RowSpan& a, const RowSpan& b) { return a.span.left < b.span.left; });
        w.BeginRow(top_ + static_cast<int>(k));
        for (auto it = first; it != last; ++it)
            w.AddSpan(it->span.left, it->span.right);
        begin = end;
    }
    w.Finish();
}

void DrawClipped(TBitmap32& dst, int dstX, int dstY, const TRect& srcRect, const TBitmap32& src,
                 const TRegion& clip) {
    if (clip.IsEmpty()) return;
    // Where the source may land, clipped to both bitmaps; 64-bit so that far-off positions
    // cannot overflow.
    const int64_t offX = int64_t{srcRect.left} - dstX, offY = int64_t{srcRect.top} - dstY;
    const int64_t left = std::max<int64_t>({int64_t{dstX}, 0, -offX});
    const int64_t right = std::min<int64_t>({int64_t{dstX} + srcRect.width(), dst.Width(),
                                             src.Width() - offX, int64_t{srcRect.right} - offX});
    const int64_t top = std::max<int64_t>({int64_t{dstY}, 0, -offY, clip.Top()});
    const int64_t bottom =
        std::min<int64_t>({int64_t{dstY} + srcRect.height(), dst.Height(), src.Height() - offY,
                           int64_t{srcRect.bottom} - offY, clip.Bottom()});
    if (left >= right || top >= bottom) return;
    // Copying a bitmap onto itself further down must read each row before it is overwritten.
    const bool bottomUp = &src == &dst && offY < 0;
    const int rowCount = static_cast<int>(bottom - top);
    for (int k = 0; k < rowCount; ++k) {
        const int y = static_cast<int>(bottomUp ? bottom - 1 - k : top + k);
        uint32_t* dstRow = dst.ScanLine(y);
        const uint32_t* srcRow = src.ScanLine(static_cast<int>(y + offY));
        for (const TSpan& s : clip.Row(y)) {
            const int64_t a = std::max<int64_t>(s.left, left);
            const int64_t b = std::min<int64_t>(s.right, right);
            if (a < b)
                std::memmove(dstRow + a, srcRow + a + offX, static_cast<std::size_t>(b - a) * 4);
        }
    }
}

void DrawClipped(TBitmap32& dst, const TBitmap32& src, const TRegion& clip) {
    DrawClipped(dst, 0, 0, src.BoundsRect(), src, clip);
}

} // namespace pictorelle

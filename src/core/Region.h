// Regions: sets of pixels kept as sorted, non-touching spans per row, built by our own
// scanline rasteriser and combined row by row.
//
// A pixel (x, y) belongs to a shape when its centre (x + 0.5, y + 0.5) lies inside it. For
// polygons a centre exactly on a left-facing boundary counts as inside and one on a
// right-facing boundary as outside, so a rectangle traced as a polygon is exactly its pixels and
// polygons that share an edge do not overlap. Ellipses include centres on their boundary.
//
// Coordinates are clamped to +-kRegionCoordLimit, far beyond any picture, so that the exact
// integer arithmetic of the rasteriser cannot overflow.
//
// Building a region reuses the region's own buffers: a region that is set again every frame
// stops allocating once its buffers have grown to the largest frame.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace pictorelle {

inline constexpr int kRegionCoordLimit = 1 << 20;

// A coordinate computed in 64 bits, brought within the limit: the shapes of a frame can reach
// far outside the picture, and only their part near it matters.
constexpr int ClampRegionCoord(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, -kRegionCoordLimit, kRegionCoordLimit));
}

struct TSpan {
    int left = 0;  // first pixel inside
    int right = 0; // first pixel past the span

    friend constexpr bool operator==(const TSpan&, const TSpan&) = default;
};

enum class TRegionOp { Union, Intersect, Xor };

class TRegion {
public:
    TRegion() = default;

    static TRegion FromRect(const TRect& rect);
    static TRegion FromPolygon(std::span<const TPoint> points);
    static TRegion FromEllipse(const TRect& bounds);
    static TRegion FromRoundRect(const TRect& bounds, int cornerWidth, int cornerHeight);

    void SetEmpty();
    // Inverted edges are swapped, so (r, b, l, t) is the same rectangle as (l, t, r, b).
    void SetRect(const TRect& rect);
    // A closed polygon (the last point joins the first) filled by the non-zero winding rule.
    void SetPolygon(std::span<const TPoint> points);
    // The ellipse inscribed in `bounds` (edges swapped when inverted).
    void SetEllipse(const TRect& bounds);
    // `bounds` with each corner rounded by a quarter of a cornerWidth x cornerHeight ellipse.
    // The corner ellipse is clamped to the rectangle, so corners as large as the rectangle give
    // the inscribed ellipse; a corner size of 0 gives the plain rectangle.
    void SetRoundRect(const TRect& bounds, int cornerWidth, int cornerHeight);
    // *this := a op b. Either argument may be *this.
    void SetCombined(const TRegion& a, const TRegion& b, TRegionOp op);
    // *this := *this op other, building in `spare` (whose buffers are swapped in for reuse).
    void Combine(const TRegion& other, TRegionOp op, TRegion& spare);

    bool IsEmpty() const { return spans_.empty(); }
    // The smallest rectangle holding every pixel; (0, 0, 0, 0) for an empty region.
    TRect BoundingBox() const;
    bool Contains(int x, int y) const;
    // Number of pixels.
    int64_t Area() const;

    // Rows Top() .. Bottom() - 1 may hold spans; the first and last of them do.
    int Top() const { return top_; }
    int Bottom() const { return top_ + rowCount(); }
    // The spans of row y in increasing order; empty outside Top() .. Bottom() - 1.
    std::span<const TSpan> Row(int y) const;

    friend bool operator==(const TRegion& a, const TRegion& b);
    friend void swap(TRegion& a, TRegion& b) noexcept;

private:
    friend class TRowWriter;
    friend class TRegionUnion;

    int rowCount() const { return rowStart_.empty() ? 0 : static_cast<int>(rowStart_.size()) - 1; }

    int top_ = 0;
    // Row top_ + k holds spans_[rowStart_[k] .. rowStart_[k + 1]); empty when the region is.
    std::vector<uint32_t> rowStart_;
    std::vector<TSpan> spans_;
};

// The union of many shapes at once: every shape's spans are gathered and each row is sorted and
// merged once, instead of one pairwise merge of the whole region per shape.
class TRegionUnion {
public:
    void Clear();
    void Add(const TRegion& region);
    void AddRect(const TRect& rect);
    void AddPolygon(std::span<const TPoint> points);
    void AddEllipse(const TRect& bounds);
    bool IsEmpty() const { return spans_.empty(); }
    // out := the union of everything added since the last Clear.
    void Build(TRegion& out);

private:
    struct RowSpan {
        int y;
        TSpan span;
    };
    std::vector<RowSpan> spans_;
    std::vector<RowSpan> sorted_;
    std::vector<uint32_t> rowFill_;
    TRegion shape_;
    int top_ = 0;
    int bottom_ = 0;
};

// Copies `srcRect` of `src` into `dst` at (dstX, dstY), only onto the pixels of `clip` (given
// in dst's coordinates). Parts outside either bitmap are skipped. dst and src may be one bitmap.
void DrawClipped(TBitmap32& dst, int dstX, int dstY, const TRect& srcRect, const TBitmap32& src,
                 const TRegion& clip);
// The same with source and destination at the same place.
void DrawClipped(TBitmap32& dst, const TBitmap32& src, const TRegion& clip);

} // namespace pictorelle

// The gradient painter. Every pattern is a sequence of solid shapes painted one over the
// other; instead of overdrawing hundreds of full-size shapes, each style works out per row
// what ends up on top, so a frame costs about one write per pixel.
//
// Shapes are rasterised by pixel centres: a pixel belongs to a shape when its centre
// (x + 0.5, y + 0.5) lies inside, with left and top edges inclusive and right and bottom edges
// exclusive, so that shapes sharing an edge neither overlap nor leave a gap.
#include "imaging/Gradient.h"

#include "core/IntMath.h"
#include "core/Random.h"
#include "imaging/Compose.h"
#include "imaging/Placement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace pictorelle {

namespace {

// Colour steps between two colour values, MulDiv-rounded per channel.
class ColourRamp {
public:
    ColourRamp(TColor c1, TColor c2)
        : r1_(static_cast<int>(c1 & 0xFF)), g1_(static_cast<int>((c1 >> 8) & 0xFF)),
          b1_(static_cast<int>((c1 >> 16) & 0xFF)), dr_(static_cast<int>(c2 & 0xFF) - r1_),
          dg_(static_cast<int>((c2 >> 8) & 0xFF) - g1_),
          db_(static_cast<int>((c2 >> 16) & 0xFF) - b1_) {}

    // Step i of d; a ramp of no steps (d = 0, a one-pixel mirrored pattern) is colour 2.
    uint32_t Step(int i, int d) const {
        if (d == 0) i = d = 1;
        return MakePixel(static_cast<uint32_t>(r1_ + MulDiv(i, dr_, d)),
                         static_cast<uint32_t>(g1_ + MulDiv(i, dg_, d)),
                         static_cast<uint32_t>(b1_ + MulDiv(i, db_, d)));
    }

private:
    int r1_, g1_, b1_, dr_, dg_, db_;
};

struct Point {
    double x;
    double y;
};

int ceilToInt(double v) {
    if (!(v > -1e9)) return -1000000000;
    if (v > 1e9) return 1000000000;
    return static_cast<int>(std::ceil(v));
}

// A convex polygon prepared for scanning: its non-horizontal edges, each from its upper end,
// with the horizontal step per row worked out once. Edges are ordered by their end points
// before anything is computed, so an edge shared by two shapes gives both the same crossings.
class ConvexShape {
public:
    ConvexShape() = default;
    ConvexShape(const Point* pts, int n) {
        top_ = bottom_ = pts[0].y;
        for (int k = 0; k < n; ++k) {
            Point a = pts[k], b = pts[(k + 1) % n];
            top_ = std::min(top_, a.y);
            bottom_ = std::max(bottom_, a.y);
            if (a.y == b.y) continue;
            if (b.y < a.y) std::swap(a, b);
            edges_[count_++] = {a.y, b.y, a.x, (b.x - a.x) / (b.y - a.y)};
        }
    }

    double Top() const { return top_; }
    double Bottom() const { return bottom_; }

    // The pixels [x0, x1) of row y whose centres lie inside; empty when x0 >= x1. An edge
    // covers the rows from its upper end (inclusive) to its lower end (exclusive).
    void Span(int y, int& x0, int& x1) const {
        const double yc = y + 0.5;
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (int k = 0; k < count_; ++k) {
            const Edge& e = edges_[static_cast<size_t>(k)];
            if (yc < e.top || yc >= e.bottom) continue;
            const double x = e.x + (yc - e.top) * e.slope;
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        if (lo > hi) {
            x0 = x1 = 0;
            return;
        }
        x0 = ceilToInt(lo - 0.5);
        x1 = ceilToInt(hi - 0.5);
    }

private:
    struct Edge {
        double top, bottom, x, slope;
    };
    std::array<Edge, 4> edges_{};
    int count_ = 0;
    double top_ = 0;
    double bottom_ = 0;
};

// Painted parts of one row, for shapes visited from the topmost down: each new span paints
// only where nothing on top of it was painted already.
class RowCover {
public:
    void Reset(uint32_t* row, int width) {
        row_ = row;
        width_ = width;
        painted_.clear();
    }
    bool Full() const {
        return painted_.size() == 1 && painted_[0].first <= 0 && painted_[0].second >= width_;
    }
    void Paint(int a, int b, uint32_t pixel) {
        a = std::max(a, 0);
        b = std::min(b, width_);
        if (a >= b) return;
        int x = a;
        for (const auto& [l, r] : painted_) {
            if (r <= x) continue;
            if (l >= b) break;
            if (l > x) std::fill(row_ + x, row_ + l, pixel);
            x = std::max(x, r);
            if (x >= b) break;
        }
        if (x < b) std::fill(row_ + x, row_ + b, pixel);
        merge(a, b);
    }

private:
    void merge(int a, int b) {
        auto first = std::find_if(painted_.begin(), painted_.end(),
                                  [a](const auto& iv) { return iv.second >= a; });
        auto last = first;
        while (last != painted_.end() && last->first <= b) {
            a = std::min(a, last->first);
            b = std::max(b, last->second);
            ++last;
        }
        first = painted_.erase(first, last);
        painted_.insert(first, {a, b});
    }

    uint32_t* row_ = nullptr;
    int width_ = 0;
    std::vector<std::pair<int, int>> painted_;
};

// The area being painted: the pattern's W x H, clipped to the surface.
struct Canvas {
    TBitmap32& surface;
    int W;
    int H;
    int visibleW;
    int visibleH;

    uint32_t* Row(int y) { return surface.ScanLine(y); }
    void FillRows(int y0, int y1, uint32_t pixel) {
        y0 = std::max(y0, 0);
        y1 = std::min(y1, visibleH);
        for (int y = y0; y < y1; ++y)
            std::fill_n(Row(y), visibleW, pixel);
    }
    // Copies row 0 into every other row.
    void RepeatFirstRow() {
        for (int y = 1; y < visibleH; ++y)
            std::memcpy(Row(y), Row(0), static_cast<size_t>(visibleW) * 4);
    }
};

void paintColumnBands(Canvas& c, const ColourRamp& ramp) {
    if (c.visibleH == 0) return;
    uint32_t* row = c.Row(0);
    for (int i = 0; i <= 255; ++i) {
        const int x0 = std::max(MulDiv(i, c.W, 256), 0);
        const int x1 = std::min(MulDiv(i + 1, c.W, 256), c.visibleW);
        if (x0 < x1) std::fill(row + x0, row + x1, ramp.Step(i, 255));
    }
    c.RepeatFirstRow();
}

void paintRowBands(Canvas& c, const ColourRamp& ramp) {
    for (int i = 0; i <= 255; ++i)
        c.FillRows(MulDiv(i, c.H, 256), MulDiv(i + 1, c.H, 256), ramp.Step(i, 255));
}

void paintEllipses(Canvas& c, const ColourRamp& ramp) {
    struct Box {
        double l, t, r, b; // whole numbers
    };
    std::array<Box, 156> boxes{};
    double x1 = -c.W / 4.0, x2 = c.W + c.W / 4.0 + 4, y1 = -c.H / 4.0, y2 = c.H + c.H / 4.0 + 4;
    const double dx = (c.W / 4.0 + c.W / 2.0) / 155, dy = (c.H / 4.0 + c.H / 2.0) / 155;
    for (Box& box : boxes) {
        x1 += dx, x2 -= dx, y1 += dy, y2 -= dy;
        box = {std::trunc(x1), std::trunc(y1), std::trunc(x2), std::trunc(y2)};
    }
    RowCover cover;
    for (int y = 0; y < c.visibleH; ++y) {
        cover.Reset(c.Row(y), c.visibleW);
        const double yc = y + 0.5;
        for (int i = 155; i >= 0 && !cover.Full(); --i) {
            const Box& b = boxes[static_cast<size_t>(i)];
            const double rx = (b.r - b.l) / 2.0, ry = (b.b - b.t) / 2.0;
            if (rx <= 0 || ry <= 0) continue;
            const double v = (yc - (b.t + b.b) / 2.0) / ry;
            if (v <= -1 || v >= 1) continue;
            const double half = rx * std::sqrt(1 - v * v);
            const double cx = (b.l + b.r) / 2.0;
            cover.Paint(ceilToInt(cx - half - 0.5), ceilToInt(cx + half - 0.5), ramp.Step(i, 155));
        }
        // On a very small area the truncated first ellipse may miss a corner; outside every
        // ellipse is colour 1.
        cover.Paint(0, c.visibleW, ramp.Step(0, 155));
    }
}

void paintRectangles(Canvas& c, const ColourRamp& ramp) {
    struct Box {
        int64_t l, t, r, b;
    };
    std::array<Box, 256> boxes{};
    double x1 = 0, x2 = c.W, y1 = 0, y2 = c.H;
    const double dx = c.W / 2.0 / 255, dy = c.H / 2.0 / 255;
    for (Box& box : boxes) {
        box = {Trunc(x1), Trunc(y1), Trunc(x2), Trunc(y2)};
        x1 += dx, x2 -= dx, y1 += dy, y2 -= dy;
    }
    RowCover cover;
    for (int y = 0; y < c.visibleH; ++y) {
        cover.Reset(c.Row(y), c.visibleW);
        for (int i = 255; i >= 0 && !cover.Full(); --i) {
            const Box& b = boxes[static_cast<size_t>(i)];
            if (y >= b.t && y < b.b)
                cover.Paint(static_cast<int>(b.l), static_cast<int>(b.r), ramp.Step(i, 255));
        }
    }
}

void paintMirroredRows(Canvas& c, const ColourRamp& ramp) {
    const int m = c.H / 2;
    for (int i = 0; i <= m; ++i) {
        const uint32_t pixel = ramp.Step(i, m);
        c.FillRows(i, i + 1, pixel);
        c.FillRows(c.H - 1 - i, c.H - i, pixel);
    }
}

void paintMirroredColumns(Canvas& c, const ColourRamp& ramp) {
    if (c.visibleH == 0) return;
    const int m = c.W / 2;
    uint32_t* row = c.Row(0);
    for (int i = 0; i <= m; ++i) {
        const uint32_t pixel = ramp.Step(i, m);
        if (i < c.visibleW) row[i] = pixel;
        const int mirrored = c.W - 1 - i;
        if (mirrored >= 0 && mirrored < c.visibleW) row[mirrored] = pixel;
    }
    c.RepeatFirstRow();
}

// Fills a convex polygon, clipped to the canvas.
void fillConvex(Canvas& c, const ConvexShape& shape, uint32_t pixel) {
    const int y0 = std::max(ceilToInt(shape.Top() - 0.5), 0);
    const int y1 = std::min(ceilToInt(shape.Bottom() - 0.5), c.visibleH);
    for (int y = y0; y < y1; ++y) {
        int x0 = 0, x1 = 0;
        shape.Span(y, x0, x1);
        x0 = std::max(x0, 0);
        x1 = std::min(x1, c.visibleW);
        if (x0 < x1) std::fill(c.Row(y) + x0, c.Row(y) + x1, pixel);
    }
}

void paintFans(Canvas& c, const ColourRamp& ramp) {
    const double W = c.W, H = c.H;
    const Point centre{static_cast<double>(c.W / 2), static_cast<double>(c.H / 2)};
    // The fans' triangles only touch along shared edges (and in thin slivers past the
    // corners), so painting them in order costs about one write per pixel.
    for (int i = 0; i <= 255; ++i) {
        const double xa = MulDiv(i, c.W, 255), xb = MulDiv(i + 1, c.W, 255);
        const double ya = MulDiv(i, c.H, 255), yb = MulDiv(i + 1, c.H, 255);
        const uint32_t pixel = ramp.Step(i, 255);
        const Point triangles[4][3] = {
            {centre, {0, ya}, {0, yb}},
            {centre, {W, H - ya}, {W, H - yb}},
            {centre, {xa, 0}, {xb, 0}},
            {centre, {W - xa, H}, {W - xb, H}},
        };
        for (const auto& t : triangles)
            fillConvex(c, ConvexShape(t, 3), pixel);
    }
}

void paintDiagonal(Canvas& c, const ColourRamp& ramp) {
    const double W = c.W, H = c.H;
    std::vector<ConvexShape> quads(256);
    for (int i = 0; i <= 255; ++i) {
        const double a = MulDiv(i, c.W / 2, 255), b = MulDiv(i, c.H / 2, 255);
        const Point corners[4] = {{a, b}, {0, H}, {W - a, H - b}, {W, 0}};
        quads[static_cast<size_t>(i)] = ConvexShape(corners, 4);
    }
    RowCover cover;
    for (int y = 0; y < c.visibleH; ++y) {
        cover.Reset(c.Row(y), c.visibleW);
        for (int i = 255; i >= 0 && !cover.Full(); --i) {
            int x0 = 0, x1 = 0;
            quads[static_cast<size_t>(i)].Span(y, x0, x1);
            cover.Paint(x0, x1, ramp.Step(i, 255));
        }
    }
}

void drawScaledOpaque(TBitmap32& surface, const TRect& r, const TBitmap32& picture) {
    // The picture is laid on black first, so its transparent parts come out black.
    TBitmap32 opaque(picture.Width(), picture.Height());
    opaque.Draw(0, 0, picture, TDrawMode::Blend);
    ComposeItem(opaque, surface, r, true, nullptr);
}

} // namespace

int GradientStyleTable(int gradientStyle) {
    static constexpr std::array<int, 8> kTable = {1, 0, 2, 3, 4, 5, 10, 12};
    if (gradientStyle < 1 || gradientStyle > 8) return 1;
    return kTable[static_cast<size_t>(gradientStyle - 1)];
}

void PaintGradient(TBitmap32& surface, int style, TColor colour1, const TRect& rect,
                   TColor colour2) {
    const int W = std::max(rect.right, 0);
    const int H = std::max(rect.bottom, 0);
    Canvas c{surface, W, H, std::min(W, surface.Width()), std::min(H, surface.Height())};
    if (c.visibleW <= 0 || c.visibleH <= 0) return;
    const ColourRamp ramp(colour1, colour2);
    switch (style) {
    case 0:
        return paintColumnBands(c, ramp);
    case 1:
        return paintRowBands(c, ramp);
    case 2:
        return paintEllipses(c, ramp);
    case 3:
        return paintRectangles(c, ramp);
    case 4:
        return paintMirroredRows(c, ramp);
    case 5:
        return paintMirroredColumns(c, ramp);
    case 10:
        return paintFans(c, ramp);
    case 12:
        return paintDiagonal(c, ramp);
    default:
        c.FillRows(0, c.visibleH, ramp.Step(0, 255));
    }
}

void DrawBackgroundPicture(TBitmap32& surface, int width, int height, int mode,
                           const TBitmap32& picture, TSize natural) {
    if (picture.Empty()) return;
    // Placement goes by the true size; the pixels may be only the part the background shows.
    const int pw = natural.isEmpty() ? picture.Width() : natural.width;
    const int ph = natural.isEmpty() ? picture.Height() : natural.height;
    if (width <= 0 || height <= 0 || pw <= 0 || ph <= 0) return;
    if (mode == 0) {
        for (int y = 0; y < height; y += ph)
            for (int x = 0; x < width; x += pw)
                surface.Draw(x, y, picture, TDrawMode::Blend);
        return;
    }
    if (mode != 1) {
        const int x = (width - pw) / 2, y = (height - ph) / 2;
        if (x >= 0 && y >= 0) {
            surface.Draw(x, y, picture, TDrawMode::Blend);
            return;
        }
    }
    const TRect r = FitRect(width, height, pw, ph);
    if (!r.isEmpty()) drawScaledOpaque(surface, r, picture);
}

TColor RandomColor() {
    const int r = RandomInt(256);
    const int g = RandomInt(256);
    const int b = RandomInt(256);
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}

void RandomizeBackground(TBackgroundStyle& style, bool randomColors, bool randomGradient) {
    if (randomColors) {
        style.backColor = RandomColor();
        style.backColor2 = RandomColor();
    }
    if (randomGradient) style.gradientStyle = 1 + RandomInt(8);
}

void PaintBackground(TBitmap32& background, const TBackgroundStyle& style, int backPictureMode,
                     const TBitmap32* picture, TSize natural) {
    PaintGradient(background, GradientStyleTable(style.gradientStyle), style.backColor,
                  background.BoundsRect(), style.backColor2);
    if (picture)
        DrawBackgroundPicture(background, background.Width(), background.Height(), backPictureMode,
                              *picture, natural);
}

TDecodeRequest BackgroundPictureRequest(int width, int height, int mode, TSize natural) {
    TDecodeRequest r;
    if (width <= 0 || height <= 0 || natural.isEmpty()) return r;
    r.limit = {2 * width, 2 * height};
    if (mode == 0) {
        // A tile larger than the background shows only its top-left part; the next tiles
        // start beyond the background's edge.
        r.source = {0, 0, std::min(natural.width, width), std::min(natural.height, height)};
        r.wanted = r.source.size();
    } else if (mode != 1 && natural.width <= width && natural.height <= height) {
        r.wanted = natural;
    } else {
        r.wanted = FitRect(width, height, natural.width, natural.height).size();
    }
    return r;
}

} // namespace pictorelle

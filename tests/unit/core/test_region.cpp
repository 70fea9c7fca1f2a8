#include "core/Random.h"
#include "core/Region.h"

#include <gtest/gtest.h>
#include <vector>

namespace pictorelle {
namespace {

using Spans = std::vector<TSpan>;

Spans RowOf(const TRegion& r, int y) {
    const auto row = r.Row(y);
    return Spans(row.begin(), row.end());
}

// Every row of the region from its top, as one span (or none) per row.
std::vector<Spans> Rows(const TRegion& r) {
    std::vector<Spans> rows;
    for (int y = r.Top(); y < r.Bottom(); ++y)
        rows.push_back(RowOf(r, y));
    return rows;
}

TEST(RegionShapes, RectangleIsExactlyItsPixelsWhicheverWayItIsGiven) {
    const TRegion r = TRegion::FromRect({2, 1, 5, 3});
    EXPECT_EQ(r.BoundingBox(), (TRect{2, 1, 5, 3}));
    EXPECT_EQ(r.Area(), 6);
    EXPECT_TRUE(r.Contains(2, 1));
    EXPECT_FALSE(r.Contains(5, 1));
    EXPECT_FALSE(r.Contains(2, 3));
    EXPECT_EQ(TRegion::FromRect({5, 3, 2, 1}), r);
    EXPECT_TRUE(TRegion::FromRect({3, 3, 3, 9}).IsEmpty());

    const TPoint traced[] = {{2, 1}, {5, 1}, {5, 3}, {2, 3}};
    EXPECT_EQ(TRegion::FromPolygon(traced), r) << "a traced rectangle covers the same pixels";
}

TEST(RegionShapes, TriangleRowsEndWhereTheHypotenuseCrossesThePixelCentres) {
    const TPoint triangle[] = {{0, 0}, {8, 0}, {0, 8}};
    const TRegion r = TRegion::FromPolygon(triangle);
    // Row y samples at y + 0.5, where the hypotenuse is at x = 7.5 - y: pixel 7 - y has its
    // centre on that right-facing edge and stays out.
    const std::vector<Spans> expected = {{{0, 7}}, {{0, 6}}, {{0, 5}}, {{0, 4}},
                                         {{0, 3}}, {{0, 2}}, {{0, 1}}};
    EXPECT_EQ(Rows(r), expected);
    EXPECT_EQ(r.Top(), 0);

    // Two triangles sharing the diagonal of a square split its pixels without overlap.
    const TPoint lower[] = {{0, 0}, {8, 8}, {0, 8}};
    const TPoint upper[] = {{0, 0}, {8, 0}, {8, 8}};
    TRegion a = TRegion::FromPolygon(lower), b = TRegion::FromPolygon(upper), both;
    both.SetCombined(a, b, TRegionOp::Intersect);
    EXPECT_TRUE(both.IsEmpty());
    both.SetCombined(a, b, TRegionOp::Union);
    EXPECT_EQ(both, TRegion::FromRect({0, 0, 8, 8}));
}

TEST(RegionShapes, SelfIntersectingPolygonsFillByNonZeroWinding) {
    // A five-pointed star traced in one stroke: its centre pentagon is wound twice and stays
    // inside (an even-odd fill would leave it empty).
    const TPoint star[] = {{10, 0}, {16, 20}, {0, 8}, {20, 8}, {4, 20}};
    const TRegion r = TRegion::FromPolygon(star);
    EXPECT_TRUE(r.Contains(10, 11));
    EXPECT_TRUE(r.Contains(10, 2)) << "a point";
    EXPECT_FALSE(r.Contains(10, 18)) << "between the two lower points";

    // A square with an inner square joined by a cut: traced against the outer square's
    // direction the inner one is a hole, traced along it the inside is wound twice.
    const TPoint hole[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0},
                           {2, 2}, {2, 4}, {4, 4}, {4, 2}, {2, 2}};
    const TPoint doubled[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {0, 0},
                              {2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};
    const TRegion withHole = TRegion::FromPolygon(hole);
    EXPECT_EQ(withHole.Area(), 32);
    EXPECT_EQ(RowOf(withHole, 3), (Spans{{0, 2}, {4, 6}}));
    EXPECT_EQ(TRegion::FromPolygon(doubled), TRegion::FromRect({0, 0, 6, 6}));

    // Degenerate input: too few points, or all on one line.
    const TPoint line[] = {{0, 0}, {5, 5}, {10, 10}};
    EXPECT_TRUE(TRegion::FromPolygon(line).IsEmpty());
    EXPECT_TRUE(TRegion::FromPolygon(std::span<const TPoint>{}).IsEmpty());
}

TEST(RegionShapes, EllipseRowsMatchTheHandComputedPixelSets) {
    // Pixel centres with (u/8)^2 + (v/6)^2 <= 1 in doubled coordinates from the centre.
    const std::vector<Spans> even = {{{2, 6}}, {{1, 7}}, {{0, 8}}, {{0, 8}}, {{1, 7}}, {{2, 6}}};
    EXPECT_EQ(Rows(TRegion::FromEllipse({0, 0, 8, 6})), even);
    // A circle of diameter 5 around (2.5, 2.5), moved by (10, 20).
    const std::vector<Spans> odd = {{{11, 14}}, {{10, 15}}, {{10, 15}}, {{10, 15}}, {{11, 14}}};
    const TRegion circle = TRegion::FromEllipse({10, 20, 15, 25});
    EXPECT_EQ(circle.Top(), 20);
    EXPECT_EQ(Rows(circle), odd);
    EXPECT_EQ(TRegion::FromEllipse({15, 25, 10, 20}), circle) << "inverted bounds";
    EXPECT_EQ(Rows(TRegion::FromEllipse({0, 0, 3, 1})), (std::vector<Spans>{{{0, 3}}}));
    EXPECT_TRUE(TRegion::FromEllipse({4, 4, 4, 9}).IsEmpty());
}

TEST(RegionShapes, RoundedRectangleCornersAreClampedToTheRectangle) {
    // 10 x 6 with 4 x 4 corners: only the first and last rows are cut, by one pixel a side.
    const std::vector<Spans> rows = {{{1, 9}},  {{0, 10}}, {{0, 10}},
                                     {{0, 10}}, {{0, 10}}, {{1, 9}}};
    EXPECT_EQ(Rows(TRegion::FromRoundRect({0, 0, 10, 6}, 4, 4)), rows);

    const TRect box{-3, 2, 17, 13};
    const TRegion ellipse = TRegion::FromEllipse(box);
    EXPECT_EQ(TRegion::FromRoundRect(box, 20, 11), ellipse);
    EXPECT_EQ(TRegion::FromRoundRect(box, 500, 900), ellipse) << "oversized corners";
    EXPECT_EQ(TRegion::FromRoundRect(box, 0, 5), TRegion::FromRect(box));
    // A wide rectangle with corners as tall as itself: the ends are half ellipses around a
    // straight middle.
    const TRegion capsule = TRegion::FromRoundRect({0, 0, 30, 6}, 8, 6);
    EXPECT_EQ(RowOf(capsule, 0), (Spans{{2, 28}}));
    EXPECT_EQ(RowOf(capsule, 2), (Spans{{0, 30}}));
}

TEST(RegionShapes, HugeCoordinatesAreClampedInsteadOfOverflowing) {
    const TPoint far[] = {{-2000000000, -5}, {2000000000, -5}, {0, 3}};
    const TRegion r = TRegion::FromPolygon(far);
    EXPECT_EQ(r.Top(), -5);
    EXPECT_EQ(r.Bottom(), 3);
    EXPECT_TRUE(r.Contains(0, 0));
    EXPECT_TRUE(r.Contains(-1000, -5));
    const TRegion big = TRegion::FromEllipse({-3000000, -40, 3000000, 40});
    EXPECT_TRUE(big.Contains(0, 0));
    EXPECT_LE(big.BoundingBox().right, kRegionCoordLimit) << "clamped to the limit";
    EXPECT_GT(big.BoundingBox().right, kRegionCoordLimit - 1000);
}

TEST(RegionOps, OverlappingRectanglesCombine) {
    const TRegion a = TRegion::FromRect({0, 0, 4, 4});
    const TRegion b = TRegion::FromRect({2, 2, 6, 6});
    TRegion r;
    r.SetCombined(a, b, TRegionOp::Union);
    EXPECT_EQ(r.Area(), 28);
    EXPECT_EQ(r.BoundingBox(), (TRect{0, 0, 6, 6}));
    EXPECT_EQ(RowOf(r, 3), (Spans{{0, 6}}));
    r.SetCombined(a, b, TRegionOp::Intersect);
    EXPECT_EQ(r, TRegion::FromRect({2, 2, 4, 4}));
    r.SetCombined(a, b, TRegionOp::Xor);
    EXPECT_EQ(r.Area(), 24);
    EXPECT_EQ(RowOf(r, 2), (Spans{{0, 2}, {4, 6}}));
    EXPECT_EQ(RowOf(r, 5), (Spans{{2, 6}}));

    r.SetCombined(a, a, TRegionOp::Xor);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(r.BoundingBox(), TRect{});
    r.SetCombined(a, TRegion{}, TRegionOp::Union);
    EXPECT_EQ(r, a);
    r.SetCombined(a, TRegion::FromRect({10, 10, 12, 12}), TRegionOp::Intersect);
    EXPECT_TRUE(r.IsEmpty());
    // Spans that merely touch merge into one.
    r.SetCombined(TRegion::FromRect({0, 0, 3, 1}), TRegion::FromRect({3, 0, 5, 1}),
                  TRegionOp::Union);
    EXPECT_EQ(RowOf(r, 0), (Spans{{0, 5}}));

    r = a;
    r.SetCombined(r, b, TRegionOp::Union); // the result may alias an argument
    EXPECT_EQ(r.Area(), 28);
    TRegion spare;
    r.Combine(b, TRegionOp::Xor, spare); // (a | b) ^ b is a without b
    EXPECT_EQ(r.Area(), 12);
    EXPECT_TRUE(r.Contains(1, 3));
    EXPECT_FALSE(r.Contains(3, 3));
}

// Random shapes in a small field, each combination checked pixel by pixel against the
// definition of the operation.
TEST(RegionOps, AgreeWithPixelwiseSetOperations) {
    RandomSeed(7);
    auto shape = [] {
        TRegion r;
        const int kind = RandomInt(3);
        const TRect box{RandomInt(40) - 5, RandomInt(40) - 5, RandomInt(40) - 5, RandomInt(40) - 5};
        if (kind == 0) r.SetEllipse(box);
        if (kind == 1) r.SetRoundRect(box, RandomInt(20), RandomInt(20));
        if (kind == 2) {
            std::vector<TPoint> points;
            for (int k = 0, n = 3 + RandomInt(5); k < n; ++k)
                points.push_back({RandomInt(50) - 10, RandomInt(50) - 10});
            r.SetPolygon(points);
        }
        return r;
    };
    TRegion result, spare;
    TRegionUnion many;
    for (int round = 0; round < 200; ++round) {
        const TRegion a = shape(), b = shape();
        for (const TRegionOp op : {TRegionOp::Union, TRegionOp::Intersect, TRegionOp::Xor}) {
            result.SetCombined(a, b, op);
            int64_t area = 0;
            for (int y = -12; y < 45; ++y)
                for (int x = -12; x < 45; ++x) {
                    const bool ia = a.Contains(x, y), ib = b.Contains(x, y);
                    const bool want = op == TRegionOp::Union       ? ia || ib
                                      : op == TRegionOp::Intersect ? ia && ib
                                                                   : ia != ib;
                    ASSERT_EQ(result.Contains(x, y), want)
                        << "round " << round << " op " << static_cast<int>(op) << " at " << x << ","
                        << y;
                    area += want;
                }
            EXPECT_EQ(result.Area(), area);
            if (!result.IsEmpty()) {
                const TRect box = result.BoundingBox();
                EXPECT_FALSE(result.Row(box.top).empty());
                EXPECT_FALSE(result.Row(box.bottom - 1).empty());
            }
        }
        // A many-shape union equals pairwise unions.
        many.Clear();
        TRegion pairwise;
        for (int k = 0; k < 4; ++k) {
            const TRegion s = shape();
            many.Add(s);
            pairwise.Combine(s, TRegionOp::Union, spare);
        }
        many.Build(result);
        ASSERT_EQ(result, pairwise) << "round " << round;
    }
}

class DrawClippedTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                src.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(y * 8 + x));
        dst.Clear(kBlank);
    }
    static constexpr uint32_t kBlank = 0xFFFFFFFF;
    TBitmap32 src{8, 8};
    TBitmap32 dst{8, 8};
};

TEST_F(DrawClippedTest, CopiesOnlyTheRegionsPixelsAtTheSamePlace) {
    const TPoint triangle[] = {{0, 0}, {8, 0}, {0, 8}};
    const TRegion clip = TRegion::FromPolygon(triangle);
    DrawClipped(dst, src, clip);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(dst.Pixel(x, y), clip.Contains(x, y) ? src.Pixel(x, y) : kBlank);
}

TEST_F(DrawClippedTest, OffsetsAndClipsToBothBitmaps) {
    // Source rectangle (4, 4, 12, 12) lands at (-2, 1); the clip is given in dst coordinates
    // and reaches past every edge.
    DrawClipped(dst, -2, 1, {4, 4, 12, 12}, src, TRegion::FromRect({-10, -10, 3, 20}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const int sx = x + 6, sy = y + 3;
            const bool copied = x < 3 && y >= 1 && sx < 8 && sy < 8;
            EXPECT_EQ(dst.Pixel(x, y), copied ? src.Pixel(sx, sy) : kBlank) << x << "," << y;
        }
}

TEST_F(DrawClippedTest, CopiesOntoItselfWithoutReadingWhatItWrote) {
    TBitmap32 self = src;
    DrawClipped(self, 1, 2, {0, 0, 8, 8}, self, TRegion::FromRect({0, 0, 8, 8}));
    for (int y = 2; y < 8; ++y)
        for (int x = 1; x < 8; ++x)
            EXPECT_EQ(self.Pixel(x, y), src.Pixel(x - 1, y - 2));
    EXPECT_EQ(self.Pixel(0, 5), src.Pixel(0, 5));
}

} // namespace
} // namespace pictorelle

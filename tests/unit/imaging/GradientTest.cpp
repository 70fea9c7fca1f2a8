#include "imaging/Gradient.h"

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "core/IntMath.h"
#include "core/Random.h"
#include "imaging/Decode.h"
#include "imaging/Placement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr TColor kBlack = 0x000000;
constexpr TColor kWhite = 0xFFFFFF;
constexpr int kStyles[] = {0, 1, 2, 3, 4, 5, 10, 12};

TBitmap32 paint(int style, int w, int h, TColor c1 = kBlack, TColor c2 = kWhite) {
    TBitmap32 b(w, h);
    PaintGradient(b, style, c1, {0, 0, w, h}, c2);
    return b;
}

// Grey level of a pixel painted on a black-to-white ramp.
int grey(const TBitmap32& b, int x, int y) {
    return static_cast<int>(PixelRed(b.Pixel(x, y)));
}

// What the painter's shapes give when each is simply painted over the ones before, judged by
// pixel centres: the slow picture the optimised painter must match.
using Inside = std::function<bool(int step, double x, double y)>;
TBitmap32 overdraw(int w, int h, int steps, int divisor, const Inside& inside) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int i = 0; i < steps; ++i)
                if (inside(i, x + 0.5, y + 0.5)) {
                    const auto g = static_cast<uint32_t>(MulDiv(i, 255, divisor));
                    b.SetPixel(x, y, MakePixel(g, g, g));
                }
    return b;
}

// Pixels whose centre lies on a shape's edge may go either way; at small sizes many steps
// share one shape, so such a pixel can be several steps off. Anything more than a thin seam of
// such pixels, or a larger difference, is a fault.
void expectCloseTo(const TBitmap32& actual, const TBitmap32& reference, const char* what) {
    int worst = 0, seams = 0;
    for (int y = 0; y < actual.Height(); ++y)
        for (int x = 0; x < actual.Width(); ++x) {
            const int d = std::abs(grey(actual, x, y) - grey(reference, x, y));
            worst = std::max(worst, d);
            seams += d > 2;
        }
    EXPECT_LE(worst, 16) << what << " " << actual.Width() << "x" << actual.Height();
    EXPECT_LE(seams, actual.Width() * actual.Height() / 25)
        << what << " " << actual.Width() << "x" << actual.Height();
}

bool insideConvex(std::initializer_list<std::pair<double, double>> points, double x, double y) {
    const auto* p = points.begin();
    const size_t n = points.size();
    bool pos = false, neg = false;
    for (size_t k = 0; k < n; ++k) {
        const auto [x0, y0] = p[k];
        const auto [x1, y1] = p[(k + 1) % n];
        const double cross = (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0);
        pos = pos || cross > 0;
        neg = neg || cross < 0;
    }
    return !(pos && neg) && (pos || neg);
}

} // namespace

TEST(PaintGradient, EqualColoursGiveAUniformBackgroundInEveryStyle) {
    const TColor colour = 0x00336699;
    for (int style : kStyles)
        for (auto [w, h] : {std::pair{37, 23}, {1, 1}, {2, 1}, {1, 2}, {300, 7}}) {
            const TBitmap32 b = paint(style, w, h, colour, colour);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(b.Pixel(x, y), 0xFF996633u)
                        << "style " << style << " " << w << "x" << h << " at " << x << "," << y;
        }
}

TEST(PaintGradient, PaintsOnlyItsRectangleAndAnySizeIsSafe) {
    for (int style : kStyles) {
        TBitmap32 b = SolidBitmap(50, 40, 0x12345678u);
        PaintGradient(b, style, kBlack, {0, 0, 30, 20}, kWhite);
        EXPECT_EQ(b.Pixel(30, 5), 0x12345678u) << style;
        EXPECT_EQ(b.Pixel(5, 20), 0x12345678u) << style;
        EXPECT_EQ(PixelAlpha(b.Pixel(29, 19)), 255u) << style;
        // Larger than the surface: clipped. Empty: nothing.
        PaintGradient(b, style, kBlack, {0, 0, 5000, 3000}, kWhite);
        TBitmap32 empty;
        PaintGradient(empty, style, kBlack, {0, 0, 100, 100}, kWhite);
        TBitmap32 untouched = SolidBitmap(4, 4, 0x12345678u);
        PaintGradient(untouched, style, kBlack, {0, 0, 0, 4}, kWhite);
        EXPECT_EQ(untouched.Pixel(0, 0), 0x12345678u);
    }
}

TEST(PaintGradient, LinearStylesFollowTheMulDivRamp) {
    const TBitmap32 across = paint(0, 256, 3);
    const TBitmap32 down = paint(1, 2, 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(grey(across, i, 2), i);
        ASSERT_EQ(down.Pixel(1, i), MakePixel(i, i, i));
    }
    // Wider than 256: each step covers a band of columns.
    const TBitmap32 wide = paint(0, 512, 1, 0x000010, 0x000020);
    EXPECT_EQ(wide.Pixel(0, 0), MakePixel(0x10, 0, 0));
    EXPECT_EQ(wide.Pixel(256, 0), MakePixel(0x18, 0, 0));
    EXPECT_EQ(wide.Pixel(511, 0), MakePixel(0x20, 0, 0));
    // Each channel ramps on its own, also downwards.
    const TBitmap32 mixed = paint(1, 1, 256, 0x00FF0080, 0x0000FF80);
    EXPECT_EQ(mixed.Pixel(0, 0), MakePixel(0x80, 0x00, 0xFF));
    EXPECT_EQ(mixed.Pixel(0, 128), MakePixel(0x80, 0x80, 0x7F));
    EXPECT_EQ(mixed.Pixel(0, 255), MakePixel(0x80, 0xFF, 0x00));
}

TEST(PaintGradient, MirroredStylesPutColourTwoInTheMiddle) {
    // Odd height 7 (m = 3): the middle row is painted last, in colour 2 exactly.
    const TBitmap32 odd = paint(4, 3, 7);
    const int oddRows[7] = {0, 85, 170, 255, 170, 85, 0};
    for (int y = 0; y < 7; ++y)
        EXPECT_EQ(grey(odd, 1, y), oddRows[y]) << y;
    // Even height 6: both middle rows are colour 2.
    const TBitmap32 even = paint(4, 3, 6);
    const int evenRows[6] = {0, 85, 255, 255, 85, 0};
    for (int y = 0; y < 6; ++y)
        EXPECT_EQ(grey(even, 2, y), evenRows[y]) << y;
    // The same across columns.
    const TBitmap32 columns = paint(5, 7, 2);
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(grey(columns, x, 1), oddRows[x]) << x;
    // A single row or column has no steps to divide: it gets colour 2, without dividing by 0.
    EXPECT_EQ(grey(paint(4, 5, 1), 2, 0), 255);
    EXPECT_EQ(grey(paint(5, 1, 5), 0, 2), 255);
}

TEST(PaintGradient, ShapeStylesRunFromTheEdgesToTheCentre) {
    const int w = 400, h = 300;
    for (int style : {2, 3}) {
        const TBitmap32 b = paint(style, w, h);
        // The outer ellipses all reach past the corners, so those are a few steps in;
        // rectangle 1 still starts at (0, 0) once truncated.
        const int corner = style == 2 ? 20 : 1;
        EXPECT_LE(grey(b, 0, 0), corner) << style;
        EXPECT_LE(grey(b, w - 1, h - 1), corner) << style;
        EXPECT_GE(grey(b, w / 2 + 1, h / 2 + 1), 250) << style;
        // Brighter toward the centre along the middle row.
        for (int x = 1; x <= w / 2; ++x)
            ASSERT_GE(grey(b, x, h / 2), grey(b, x - 1, h / 2)) << style << " x " << x;
    }
    // Concentric rectangles: the border ring is colour 1 on every side.
    const TBitmap32 rects = paint(3, w, h);
    EXPECT_EQ(grey(rects, w - 1, h / 2), 0);
    EXPECT_EQ(grey(rects, w / 2, h - 1), 0);

    // Diagonal: colour 1 in the top-left and bottom-right corners, colour 2 along the
    // diagonal from the bottom-left to the top-right corner.
    const TBitmap32 diag = paint(12, 256, 256);
    EXPECT_EQ(grey(diag, 0, 0), 0);
    EXPECT_EQ(grey(diag, 255, 255), 0);
    for (int x = 16; x < 240; x += 16)
        EXPECT_GE(grey(diag, x, 255 - x), 250) << x;
}

TEST(PaintGradient, FansRunAlongEachEdge) {
    const int w = 510, h = 340;
    const TBitmap32 b = paint(10, w, h);
    // Top edge left to right, right edge bottom to top, bottom edge right to left, left edge
    // top to bottom: never darker along the way.
    for (int x = 1; x < w; ++x) {
        ASSERT_GE(grey(b, x, 0), grey(b, x - 1, 0)) << x;
        ASSERT_LE(grey(b, x, h - 1), grey(b, x - 1, h - 1)) << x;
    }
    for (int y = 1; y < h; ++y) {
        ASSERT_GE(grey(b, 0, y), grey(b, 0, y - 1)) << y;
        ASSERT_LE(grey(b, w - 1, y), grey(b, w - 1, y - 1)) << y;
    }
    // Step i of the top fan starts at x = MulDiv(i, W, 255) = 2i.
    EXPECT_EQ(grey(b, 100, 0), 50);
    EXPECT_LE(grey(b, 0, 0), 1);
    EXPECT_LE(grey(b, w - 1, h - 1), 1);
    EXPECT_GE(grey(b, 0, h - 1), 254);
    EXPECT_GE(grey(b, w - 1, 0), 254);
}

TEST(PaintGradient, MatchesPaintingEveryShapeInOrder) {
    for (auto [w, h] : {std::pair{97, 61}, {40, 90}, {33, 33}, {160, 120}}) {
        const double W = w, H = h;

        const TBitmap32 ellipses = overdraw(w, h, 156, 155, [&](int i, double x, double y) {
            const double x1 = -W / 4 + (i + 1) * ((W / 4 + W / 2) / 155);
            const double x2 = W + W / 4 + 4 - (i + 1) * ((W / 4 + W / 2) / 155);
            const double y1 = -H / 4 + (i + 1) * ((H / 4 + H / 2) / 155);
            const double y2 = H + H / 4 + 4 - (i + 1) * ((H / 4 + H / 2) / 155);
            const double l = std::trunc(x1), r = std::trunc(x2), t = std::trunc(y1),
                         b = std::trunc(y2);
            if (r <= l || b <= t) return false;
            const double u = (x - (l + r) / 2) / ((r - l) / 2),
                         v = (y - (t + b) / 2) / ((b - t) / 2);
            return u * u + v * v < 1;
        });
        expectCloseTo(paint(2, w, h), ellipses, "ellipses");

        const TBitmap32 rects = overdraw(w, h, 256, 255, [&](int i, double x, double y) {
            const double dx = W / 2 / 255 * i, dy = H / 2 / 255 * i;
            return x >= std::trunc(dx) && x < std::trunc(W - dx) && y >= std::trunc(dy) &&
                   y < std::trunc(H - dy);
        });
        expectCloseTo(paint(3, w, h), rects, "rectangles");

        const TBitmap32 quads = overdraw(w, h, 256, 255, [&](int i, double x, double y) {
            const double a = MulDiv(i, w / 2, 255), b = MulDiv(i, h / 2, 255);
            return insideConvex({{a, b}, {0, H}, {W - a, H - b}, {W, 0}}, x, y);
        });
        expectCloseTo(paint(12, w, h), quads, "diagonal");

        const double cx = w / 2, cy = h / 2;
        const TBitmap32 fans = overdraw(w, h, 256, 255, [&](int i, double x, double y) {
            const double xa = MulDiv(i, w, 255), xb = MulDiv(i + 1, w, 255);
            const double ya = MulDiv(i, h, 255), yb = MulDiv(i + 1, h, 255);
            return insideConvex({{cx, cy}, {0, ya}, {0, yb}}, x, y) ||
                   insideConvex({{cx, cy}, {W, H - ya}, {W, H - yb}}, x, y) ||
                   insideConvex({{cx, cy}, {xa, 0}, {xb, 0}}, x, y) ||
                   insideConvex({{cx, cy}, {W - xa, H}, {W - xb, H}}, x, y);
        });
        expectCloseTo(paint(10, w, h), fans, "fans");
    }
}

TEST(DrawBackgroundPicture, TilesAtNaturalSizeHonouringTransparency) {
    TBitmap32 surface = SolidBitmap(7, 5, 0xFF00FF00u);
    TBitmap32 tile = PatternBitmap(3, 2);
    tile.SetPixel(2, 1, 0x00FFFFFFu); // transparent: the surface shows through
    DrawBackgroundPicture(surface, 7, 5, 0, tile);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            const uint32_t expected =
                (x % 3 == 2 && y % 2 == 1) ? 0xFF00FF00u : PatternPixel(x % 3, y % 2);
            ASSERT_EQ(surface.Pixel(x, y), expected) << x << "," << y;
        }
    // A picture without pixels draws nothing and does not loop forever.
    DrawBackgroundPicture(surface, 7, 5, 0, TBitmap32(0, 4));
    DrawBackgroundPicture(surface, 7, 5, 0, TBitmap32(4, 0));
}

// A background picture is decoded only as far as the background shows it; tiles and a
// centred picture come out exactly as from the whole picture, a fitted one as the scaled
// whole, and none is held larger than the background needs.
TEST(DrawBackgroundPicture, DecodedOnlyAsFarAsTheBackgroundShowsIt) {
    // A pattern shows any shift; scaled, a smooth picture can be compared.
    const TBitmap32 pattern = PatternBitmap(60, 40);
    TBitmap32 smooth(60, 40);
    PaintGradient(smooth, 12, 0x00204080, smooth.BoundsRect(), 0x00F0C010);
    struct Case {
        int mode, width, height;
        bool exact;
    };
    for (const Case& c : {Case{0, 25, 15, true}, Case{0, 25, 90, true}, Case{0, 130, 90, true},
                          Case{2, 80, 50, true}, Case{2, 25, 15, false}, Case{1, 25, 15, false}}) {
        const TBitmap32& whole = c.exact ? pattern : smooth;
        const Bytes png = EncodePng(whole, false);
        const TDecodedPicture part = DecodePictureData(png, ".png", [&c](TSize natural) {
            return BackgroundPictureRequest(c.width, c.height, c.mode, natural);
        });
        EXPECT_EQ(part.natural, (TSize{60, 40}));
        EXPECT_LE(part.bitmap.Width(), std::max(c.width, 60 / 2 + 1)) << c.mode << " " << c.width;
        TBitmap32 expected = SolidBitmap(c.width, c.height, 0xFF00FF00u);
        TBitmap32 actual = expected;
        DrawBackgroundPicture(expected, c.width, c.height, c.mode, whole);
        DrawBackgroundPicture(actual, c.width, c.height, c.mode, part.bitmap, part.natural);
        if (c.exact)
            ExpectSamePixels(expected, actual);
        else
            expectCloseTo(actual, expected, "fitted background picture");
    }
}

TEST(DrawBackgroundPicture, CentresWhenItFitsAndFitsWhenItDoesNot) {
    TBitmap32 surface = SolidBitmap(10, 10, 0xFF00FF00u);
    DrawBackgroundPicture(surface, 10, 10, 2, SolidBitmap(4, 2, 0xFFFF0000u));
    EXPECT_EQ(surface.Pixel(3, 4), 0xFFFF0000u);
    EXPECT_EQ(surface.Pixel(2, 4), 0xFF00FF00u);
    EXPECT_EQ(surface.Pixel(3, 3), 0xFF00FF00u);

    // Larger than the surface: fitted, not cut.
    TBitmap32 fitted = SolidBitmap(10, 10, 0xFF00FF00u);
    DrawBackgroundPicture(fitted, 10, 10, 2, SolidBitmap(40, 20, 0xFFFF0000u));
    const TRect r = FitRect(10, 10, 40, 20);
    EXPECT_EQ(r, (TRect{0, 2, 10, 7}));
    EXPECT_EQ(fitted.Pixel(0, 2), 0xFFFF0000u);
    EXPECT_EQ(fitted.Pixel(9, 6), 0xFFFF0000u);
    EXPECT_EQ(fitted.Pixel(5, 1), 0xFF00FF00u);
    EXPECT_EQ(fitted.Pixel(5, 7), 0xFF00FF00u);

    // Scaled, transparent parts turn black; at natural size they let the surface show.
    TBitmap32 scaled = SolidBitmap(10, 10, 0xFF00FF00u);
    DrawBackgroundPicture(scaled, 10, 10, 1, SolidBitmap(2, 2, 0x00FFFFFFu));
    EXPECT_EQ(scaled.Pixel(5, 5), 0xFF000000u);
    TBitmap32 centred = SolidBitmap(10, 10, 0xFF00FF00u);
    DrawBackgroundPicture(centred, 10, 10, 2, SolidBitmap(2, 2, 0x00FFFFFFu));
    EXPECT_EQ(centred.Pixel(5, 5), 0xFF00FF00u);
}

TEST(RandomizeBackground, DrawsColoursAndStylesInRange) {
    RandomSeed(11);
    TBackgroundStyle style;
    style.backColor = 0x01020304;
    bool changed = false;
    for (int k = 0; k < 200; ++k) {
        RandomizeBackground(style, true, true);
        ASSERT_EQ(style.backColor & ~0x00FFFFFF, 0);
        ASSERT_GE(style.gradientStyle, 1);
        ASSERT_LE(style.gradientStyle, 8);
        changed = changed || style.backColor != style.backColor2;
    }
    EXPECT_TRUE(changed);
    const TBackgroundStyle before = style;
    RandomizeBackground(style, false, false);
    EXPECT_EQ(style.backColor, before.backColor);
    EXPECT_EQ(style.gradientStyle, before.gradientStyle);
}

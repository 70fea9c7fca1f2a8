#include "core/Bitmap32.h"
#include "core/Color.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace pictorelle;

namespace {

using Row = std::vector<uint32_t>;

TBitmap32 fromRows(const std::vector<Row>& rows) {
    TBitmap32 b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y, rows[y][x]);
    return b;
}

Row row(const TBitmap32& b, int y) {
    return {b.ScanLine(y), b.ScanLine(y) + b.Width()};
}

TBitmap32 randomBitmap(int w, int h, unsigned seed) {
    std::mt19937 gen(seed);
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, static_cast<uint32_t>(gen()));
    return b;
}

uint32_t channel(uint32_t p, int c) {
    return (p >> (8 * c)) & 0xFFu;
}

// Straightforward floating-point bilinear sample at pixel centres, clamped to the edges.
double referenceBilinear(const TBitmap32& s, int dw, int dh, int dx, int dy, int c) {
    const double sx = std::clamp((dx + 0.5) * s.Width() / dw - 0.5, 0.0, s.Width() - 1.0);
    const double sy = std::clamp((dy + 0.5) * s.Height() / dh - 0.5, 0.0, s.Height() - 1.0);
    const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
    const int x1 = std::min(x0 + 1, s.Width() - 1), y1 = std::min(y0 + 1, s.Height() - 1);
    const double fx = sx - x0, fy = sy - y0;
    auto at = [&](int x, int y) { return static_cast<double>(channel(s.Pixel(x, y), c)); };
    return (at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy) +
           (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy;
}

constexpr uint32_t A = 0xFF000001u, B = 0xFF000002u, C = 0xFF000003u, D = 0xFF000004u;

} // namespace

TEST(Bitmap32Draw, UnscaledCopyClipsAtEveryEdge) {
    const TBitmap32 src = fromRows({{A, B, C}, {D, A, B}, {C, D, A}});
    TBitmap32 dst(3, 3);
    dst.Draw(-1, -1, src);
    EXPECT_EQ(row(dst, 0), (Row{A, B, 0}));
    EXPECT_EQ(row(dst, 1), (Row{D, A, 0}));
    EXPECT_EQ(row(dst, 2), Row(3, 0u));

    TBitmap32 part(3, 1);
    part.Draw(0, 0, TRect{-1, 1, 2, 2}, src); // source rectangle reaches left of the source
    EXPECT_EQ(row(part, 0), (Row{0, D, A}));

    TBitmap32 untouched(2, 2);
    untouched.Draw(2, 0, src);
    untouched.Draw(INT_MAX, INT_MIN, src);
    untouched.Draw(INT_MIN, INT_MIN, TRect{0, 0, INT_MAX, INT_MAX}, src);
    untouched.Draw(0, 0, TRect{2, 2, 2, 3}, src);
    untouched.Draw(0, 0, TBitmap32{});
    EXPECT_EQ(row(untouched, 0), Row(2, 0u));
    EXPECT_EQ(row(untouched, 1), Row(2, 0u));
}

TEST(Bitmap32Draw, OpaqueCopyKeepsSourceAlpha) {
    const TBitmap32 src = fromRows({{0x00ABCDEFu, 0x80123456u}});
    TBitmap32 dst(2, 1);
    dst.Clear(0xFFFFFFFFu);
    dst.Draw(0, 0, src, TDrawMode::Opaque, 10);
    EXPECT_EQ(row(dst, 0), (Row{0x00ABCDEFu, 0x80123456u}));
}

TEST(Bitmap32Draw, DrawingOntoItselfBehavesLikeDrawingFromACopy) {
    TBitmap32 b = fromRows({{A, B, C, D}});
    b.Draw(1, 0, TRect{0, 0, 3, 1}, b);
    EXPECT_EQ(row(b, 0), (Row{A, A, B, C}));
    b.Draw(-1, 0, b);
    EXPECT_EQ(row(b, 0), (Row{A, B, C, C}));

    TBitmap32 col = fromRows({{A}, {B}, {C}, {D}});
    col.Draw(0, 1, col, TDrawMode::Blend);
    EXPECT_EQ(col.Pixel(0, 3), C);
    EXPECT_EQ(col.Pixel(0, 1), A);

    TBitmap32 big = randomBitmap(5, 4, 1);
    TBitmap32 expected = big;
    expected.DrawScaled({1, 1, 5, 3}, TBitmap32(big));
    big.DrawScaled({1, 1, 5, 3}, big);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(row(big, y), row(expected, y));
}

TEST(Bitmap32Draw, BlendMixesBySourceAlphaTimesMasterAlpha) {
    const uint32_t halfRed = 0x80FF0000u; // red at alpha 128
    const TBitmap32 src = fromRows({{halfRed, halfRed}});
    TBitmap32 dst = fromRows({{0xFF0000FFu, 0x00000000u}});
    TBitmap32 dst2 = dst;
    dst.Draw(0, 0, src, TDrawMode::Blend);
    // a = 128: red 255 * 128 / 255 = 128, blue 255 * 127 / 255 = 127.
    EXPECT_EQ(row(dst, 0), (Row{0xFF80007Fu, 0x80800000u}));
    // a = round(128 * 128 / 255) = 64 (64.25); onto transparent black alpha becomes 64.
    dst2.Draw(0, 0, src, TDrawMode::Blend, 128);
    EXPECT_EQ(row(dst2, 0), (Row{0xFF4000BFu, 0x40400000u}));

    TBitmap32 same = fromRows({{0xFF123456u}});
    same.Draw(0, 0, fromRows({{0xFFABCDEFu}}), TDrawMode::Blend, 0);
    same.Draw(0, 0, fromRows({{0x00ABCDEFu}}), TDrawMode::Blend, 255);
    EXPECT_EQ(same.Pixel(0, 0), 0xFF123456u);
    same.Draw(0, 0, fromRows({{0xFFABCDEFu}}), TDrawMode::Blend, 300); // clamped to 255
    EXPECT_EQ(same.Pixel(0, 0), 0xFFABCDEFu);
}

namespace {

// Blends src over background at several master alphas and checks every channel of every pixel
// against the exact formula, rounded to nearest.
void ExpectBlendFormula(const TBitmap32& src, const TBitmap32& background) {
    for (int master : {255, 254, 128, 77, 1}) {
        TBitmap32 dst = background;
        dst.Draw(0, 0, src, TDrawMode::Blend, master);
        for (int y = 0; y < src.Height(); ++y)
            for (int x = 0; x < src.Width(); ++x) {
                const uint32_t s = src.Pixel(x, y), d = background.Pixel(x, y);
                const int a = static_cast<int>(std::lround(channel(s, 3) * master / 255.0));
                const uint32_t got = dst.Pixel(x, y);
                auto mix = [&](int c, uint32_t sc) {
                    return std::lround((sc * a + channel(d, c) * (255 - a)) / 255.0);
                };
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(long{channel(got, c)}, mix(c, channel(s, c))) << x << "," << y;
                ASSERT_EQ(long{channel(got, 3)}, mix(3, 255)) << x << "," << y;
            }
    }
}

} // namespace

TEST(Bitmap32Draw, BlendMatchesExactRoundingForAllChannels) {
    // An odd width exercises both the vector loop and the leftover pixels.
    const TBitmap32 src = randomBitmap(131, 67, 7);
    const TBitmap32 background = randomBitmap(131, 67, 8);
    ExpectBlendFormula(src, background);
}

TEST(Bitmap32Draw, BlendOfOpaqueAndClearRunsMatchesTheFormulaToo) {
    // Runs of fully opaque and fully transparent pixels take the vector loop's short cuts;
    // shifted by a pixel per row, they also straddle its groups of four.
    TBitmap32 src = randomBitmap(131, 67, 7);
    for (int y = 0; y < src.Height(); ++y)
        for (int x = 0; x < src.Width(); ++x) {
            const int run = ((x + y) / 8) % 3;
            const uint32_t p = src.Pixel(x, y) & 0x00FFFFFFu;
            if (run == 0) src.SetPixel(x, y, p);
            if (run == 1) src.SetPixel(x, y, p | 0xFF000000u);
        }
    const TBitmap32 background = randomBitmap(131, 67, 8);
    ExpectBlendFormula(src, background);
}

TEST(Bitmap32Draw, NearestPicksThePixelUnderEachCentre) {
    const TBitmap32 src = fromRows({{A, B, C, D}});
    TBitmap32 half(2, 1);
    half.DrawScaled({0, 0, 2, 1}, src, TResampler::Nearest);
    EXPECT_EQ(row(half, 0), (Row{B, D}));
    TBitmap32 twoOfThree(2, 1);
    twoOfThree.DrawScaled({0, 0, 2, 1}, src, {0, 0, 3, 1}, TResampler::Nearest);
    EXPECT_EQ(row(twoOfThree, 0), (Row{A, C}));
    TBitmap32 doubled(5, 1);
    doubled.DrawScaled({-1, 0, 7, 1}, src, TResampler::Nearest);
    EXPECT_EQ(row(doubled, 0), (Row{A, B, B, C, C}));
}

TEST(Bitmap32Draw, BilinearSamplesAtPixelCentres) {
    const uint32_t left = MakePixel(0, 100, 200, 255), right = MakePixel(200, 20, 0, 55);
    const TBitmap32 src = fromRows({{left, right}});
    TBitmap32 dst(4, 1);
    dst.DrawScaled({0, 0, 4, 1}, src, TResampler::Bilinear);
    // Centres fall at -0.25, 0.25, 0.75 and 1.25 source pixels; the outer two clamp.
    EXPECT_EQ(row(dst, 0),
              (Row{left, MakePixel(50, 80, 150, 205), MakePixel(150, 40, 50, 105), right}));

    // Both axes: centre weights 0.75 / 0.25 of a 2x2 picture.
    const TBitmap32 square = fromRows({{0xFF000000u, 0xFF000040u}, {0xFF000080u, 0xFF0000FFu}});
    TBitmap32 big(4, 4);
    big.DrawScaled({0, 0, 4, 4}, square);
    EXPECT_EQ(big.Pixel(1, 1), 0xFF000034u); // 0.1875 * (64 + 128) + 0.0625 * 255 = 51.9
    EXPECT_EQ(big.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(big.Pixel(3, 3), 0xFF0000FFu);

    // Halving averages neighbouring pairs.
    TBitmap32 halved(2, 1);
    halved.DrawScaled({0, 0, 2, 1},
                      fromRows({{0xFF000000u, 0xFF000064u, 0xFF0000C8u, 0xFF0000FFu}}));
    EXPECT_EQ(row(halved, 0), (Row{0xFF000032u, 0xFF0000E4u}));
}

TEST(Bitmap32Draw, ScalingOneAxisKeepsTheOtherExact) {
    const TBitmap32 src = randomBitmap(7, 1, 3);
    for (TResampler r : {TResampler::Bilinear, TResampler::Nearest}) {
        TBitmap32 tall(7, 5);
        tall.DrawScaled({0, 0, 7, 5}, src, r);
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(row(tall, y), row(src, 0));
    }
    TBitmap32 same(7, 1);
    same.DrawScaled({0, 0, 7, 1}, src);
    EXPECT_EQ(row(same, 0), row(src, 0));
}

// 8-bit weights and a rounded intermediate row keep every channel within two levels of the
// exact value; a sampling position off by a pixel would miss by far more on random pixels.
TEST(Bitmap32Draw, BilinearFollowsTheReference) {
    const TBitmap32 src = randomBitmap(7, 5, 11);
    for (auto [dw, dh] : {std::pair{13, 11}, std::pair{5, 4}, std::pair{3, 9}, std::pair{29, 3}}) {
        TBitmap32 dst(dw, dh);
        dst.DrawScaled({0, 0, dw, dh}, src);
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_NEAR(channel(dst.Pixel(x, y), c),
                                referenceBilinear(src, dw, dh, x, y, c), 2.0)
                        << dw << "x" << dh << " at " << x << "," << y << " channel " << c;
    }
}

TEST(Bitmap32Draw, ScaledDrawsClipWithoutShiftingTheMapping) {
    const TBitmap32 src = fromRows({{A, B}});
    TBitmap32 dst(2, 1);
    // The rectangle starts two pixels left of the bitmap: only its right half lands.
    dst.DrawScaled({-2, 0, 2, 1}, src, TResampler::Nearest);
    EXPECT_EQ(row(dst, 0), (Row{B, B}));

    // A source rectangle reaching outside the source leaves those destination pixels alone.
    TBitmap32 partial(4, 1);
    partial.DrawScaled({0, 0, 4, 1}, src, {-2, 0, 2, 1}, TResampler::Nearest);
    EXPECT_EQ(row(partial, 0), (Row{0, 0, A, B}));

    TBitmap32 untouched(3, 3);
    for (TResampler r : {TResampler::Bilinear, TResampler::Nearest}) {
        untouched.DrawScaled({3, 0, 9, 9}, src, r);
        untouched.DrawScaled({0, 0, 0, 3}, src, r);
        untouched.DrawScaled({0, 0, 3, 3}, src, {1, 0, 1, 1}, r);
        untouched.DrawScaled({0, 0, 3, 3}, src, {5, 5, 9, 9}, r);
        untouched.DrawScaled({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, src, r);
        untouched.DrawScaled({0, 0, 3, 3}, TBitmap32{}, r, TDrawMode::Blend);
        untouched.DrawScaled({-1000000, -1000000, 1000000, 1000000}, src, r, TDrawMode::Blend, 0);
    }
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(row(untouched, y), Row(3, 0u));
}

TEST(Bitmap32Draw, ScaledBlendUsesTheSampledAlpha) {
    const TBitmap32 src = fromRows({{0x80FF0000u}});
    TBitmap32 dst(3, 2);
    dst.Clear(0xFF0000FFu);
    dst.DrawScaled({0, 0, 3, 2}, src, TResampler::Bilinear, TDrawMode::Blend, 128);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(row(dst, y), Row(3, 0xFF4000BFu));
}

#include "transitions/EffectHarness.h"
#include "transitions/zoomfade/ScaledDraw.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace pictorelle {
namespace {

using namespace pictorelle::testing;

// Draws the plan in bands cut at `cuts` (destination rows, ascending), as the helpers would.
void DrawInBands(const TScaledDraw& plan, const std::vector<int>& cuts, int dstWidth) {
    std::vector<uint32_t> line(2 * static_cast<std::size_t>(dstWidth));
    int top = -1000;
    for (const int cut : cuts) {
        plan.DrawRows(top, cut, line.data());
        top = cut;
    }
    plan.DrawRows(top, 1000, line.data());
}

::testing::AssertionResult SameAsDrawScaled(const TRect& dstRect, const TRect& srcRect,
                                            const std::vector<int>& cuts) {
    const TBitmap32 src = Noise(23, 31, 7);
    const TBitmap32 background = Noise(37, 29, 11);
    TBitmap32 expected = background;
    expected.DrawScaled(dstRect, src, srcRect, TResampler::Bilinear);
    TBitmap32 actual = background;
    TScaledDraw plan;
    plan.Reserve(actual.Width(), actual.Height());
    plan.Plan(actual, dstRect, src, srcRect);
    DrawInBands(plan, cuts, actual.Width());
    return SamePixels(actual, expected);
}

// The cases where the draw takes its shortcuts, and those around the edges.
TEST(TransitionScaledDraw, MatchesDrawScaledInItsShortcutsAndAtTheEdges) {
    const TRect src{0, 0, 23, 31};
    struct Case {
        const char* what;
        TRect dst, src;
    };
    const Case cases[] = {
        {"equal sizes", {5, 3, 28, 34}, src},
        {"equal widths, rows scaled down", {0, 0, 23, 9}, src},
        {"equal widths, rows scaled up", {2, -4, 25, 60}, src},
        {"equal heights, columns scaled", {-3, 0, 30, 31}, src},
        {"one source column", {0, 0, 17, 20}, {4, 0, 5, 31}},
        {"one source row", {0, 0, 17, 20}, {0, 6, 23, 7}},
        {"one source pixel", {3, 3, 20, 9}, {22, 30, 23, 31}},
        {"scaled both ways", {1, 2, 36, 12}, {3, 4, 20, 30}},
        {"source past the picture", {0, 0, 30, 25}, {-5, -3, 30, 40}},
        {"destination past the bitmap", {-40, -30, 60, 50}, src},
        {"quarter of the source", {6, 5, 12, 11}, {11, 15, 23, 31}},
        {"nothing: empty destination", {5, 5, 5, 20}, src},
        {"nothing: source outside the picture", {0, 0, 10, 10}, {30, 0, 40, 10}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(SameAsDrawScaled(c.dst, c.src, {})) << c.what;
        EXPECT_TRUE(SameAsDrawScaled(c.dst, c.src, {4, 5, 13})) << c.what << ", in bands";
    }
}

TEST(TransitionScaledDraw, MatchesDrawScaledOnRandomRectanglesAndBands) {
    std::mt19937 random(20261209);
    auto any = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 400; ++round) {
        const int dl = any(-10, 35), dt = any(-10, 27);
        const int sl = any(-3, 21), st = any(-3, 29);
        const TRect dst{dl, dt, dl + any(1, 45), dt + any(1, 40)};
        const TRect src{sl, st, sl + any(1, 26), st + any(1, 34)};
        std::vector<int> cuts;
        for (int cut = any(-2, 10); cut < 31; cut += any(1, 12))
            cuts.push_back(cut);
        ASSERT_TRUE(SameAsDrawScaled(dst, src, cuts)) << "round " << round;
    }
}

} // namespace
} // namespace pictorelle

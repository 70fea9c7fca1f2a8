#include "transitions/EffectHarness.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

using namespace pictorelle::testing;

constexpr uint32_t kOld = 0xFF102030;
constexpr uint32_t kNew = 0xFFC0D0E0;

class ShapeEffectTest : public ::testing::Test {
protected:
    EffectRun Run(int effect, int steps) { return RunEffect(effect, steps, from, to); }

    static int NewPixels(const TBitmap32& frame) {
        int n = 0;
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x)
                n += frame.Pixel(x, y) == kNew;
        return n;
    }
    // Pixels of row y (or column x) in [from, to) that show the new picture.
    static int NewInRow(const TBitmap32& f, int y, int from, int to) {
        int n = 0;
        for (int x = from; x < to; ++x)
            n += f.Pixel(x, y) == kNew;
        return n;
    }
    static int NewInColumn(const TBitmap32& f, int x, int from, int to) {
        int n = 0;
        for (int y = from; y < to; ++y)
            n += f.Pixel(x, y) == kNew;
        return n;
    }

    TBitmap32 from = Filled(64, 48, kOld);
    TBitmap32 to = Filled(64, 48, kNew);
};

// The members whose last region reaches every pixel show the whole new picture on their last
// frame, before the final paint; a wrong sign or base in a member's table leaves a gap.
TEST_F(ShapeEffectTest, LastFrameCoversThePictureWhereTheShapesReachEverywhere) {
    for (int effect = 71; effect <= 100; ++effect) {
        if (effect == 85) continue; // the star tumbles off-centre and need not cover
        const EffectRun run = Run(effect, 32);
        ASSERT_FALSE(run.frames.empty());
        EXPECT_EQ(NewPixels(run.frames.back()), 64 * 48) << "effect " << effect;
    }
}

TEST_F(ShapeEffectTest, ClockSweepsOneEdgePerQuarterOfTheSteps) {
    const EffectRun run = Run(83, 100);
    ASSERT_EQ(run.frames.size(), 101u);
    auto frame = [&](int i) -> const TBitmap32& { return run.frames[static_cast<std::size_t>(i)]; };
    // The corner pixels belong to the edge swept next, so each edge is checked without them.
    EXPECT_LT(NewInRow(frame(12), 0, 1, 63), 62) << "top edge half way";
    EXPECT_EQ(NewInRow(frame(25), 0, 1, 63), 62) << "top edge done at i = 25";
    EXPECT_EQ(NewInColumn(frame(25), 63, 1, 47), 0) << "right edge untouched";
    EXPECT_GT(NewInColumn(frame(26), 63, 1, 47), 0) << "right edge starts at i = 26";
    EXPECT_EQ(NewInColumn(frame(50), 63, 1, 47), 46);
    EXPECT_EQ(NewInRow(frame(50), 47, 1, 63), 0);
    EXPECT_GT(NewInRow(frame(51), 47, 1, 63), 0);
    EXPECT_EQ(NewInRow(frame(75), 47, 1, 63), 62);
    EXPECT_EQ(NewInColumn(frame(75), 0, 1, 47), 0);
    EXPECT_GT(NewInColumn(frame(76), 0, 1, 47), 0);
    EXPECT_EQ(NewPixels(frame(100)), 64 * 48);

    // Counter-clockwise starts down the left edge instead.
    const EffectRun ccw = Run(84, 100);
    EXPECT_EQ(NewInColumn(ccw.frames[25], 0, 1, 47), 46);
    EXPECT_EQ(NewInRow(ccw.frames[25], 0, 1, 63), 0);
}

TEST_F(ShapeEffectTest, TrianglesRunToHalfTheStepsThenJumpToTheEnd) {
    const EffectRun run = Run(87, 32);
    ASSERT_EQ(run.frames.size(), 18u) << "i = 0 .. 16, then i = 33";
    EXPECT_EQ(NewPixels(run.frames[17]), 64 * 48);
    // Growth is steady: every frame up to i = 16 uncovers more.
    for (std::size_t f = 1; f <= 16; ++f)
        EXPECT_GT(NewPixels(run.frames[f]), NewPixels(run.frames[f - 1])) << "frame " << f;
}

TEST_F(ShapeEffectTest, QuarterClocksPivotOnTheirOwnCorners) {
    // Half way, each hand has swept the part of the picture around its start edge: the two
    // members named alike start from different edges.
    struct Case {
        int effect;
        TPoint swept;   // uncovered after a quarter of the steps
        TPoint waiting; // still old then
    };
    const Case cases[] = {
        {88, {10, 1}, {62, 40}}, // from the top edge, pivot bottom left
        {89, {62, 46}, {2, 2}},  // from the bottom edge, pivot bottom left
        {90, {40, 46}, {2, 2}},  // from the bottom edge, pivot top right
        {91, {1, 10}, {62, 46}}, // from the left edge, pivot top right
    };
    for (const Case& c : cases) {
        const EffectRun run = Run(c.effect, 32);
        const TBitmap32& quarter = run.frames[8];
        EXPECT_EQ(quarter.Pixel(c.swept.x, c.swept.y), kNew) << "effect " << c.effect;
        EXPECT_EQ(quarter.Pixel(c.waiting.x, c.waiting.y), kOld) << "effect " << c.effect;
    }
}

TEST_F(ShapeEffectTest, EllipseOutGrowsFromTheCentreAndEllipseInClosesOnIt) {
    const EffectRun out = Run(71, 32);
    EXPECT_EQ(NewPixels(out.frames[0]), 0) << "no region on frame 0";
    EXPECT_EQ(out.frames[1].Pixel(31, 23), kNew);
    EXPECT_EQ(out.frames[1].Pixel(0, 0), kOld);
    const EffectRun in = Run(72, 32);
    EXPECT_EQ(in.frames[4].Pixel(0, 0), kNew) << "the corners go first";
    EXPECT_EQ(in.frames[4].Pixel(31, 23), kOld);
    EXPECT_EQ(NewPixels(in.frames[21]), 64 * 48) << "j = 0 leaves no ellipse";
}

TEST_F(ShapeEffectTest, RandomLinesUncoverOneWholeLinePerFrame) {
    const EffectRun run = Run(96, 16); // d = 16 lines of 3 rows
    ASSERT_EQ(run.frames.size(), 16u);
    for (std::size_t f = 0; f < run.frames.size(); ++f) {
        EXPECT_EQ(NewPixels(run.frames[f]), static_cast<int>(f + 1) * 64 * 3);
        for (int y = 0; y < 48; ++y) {
            const int n = NewInRow(run.frames[f], y, 0, 64);
            EXPECT_TRUE(n == 0 || n == 64) << "row " << y << " frame " << f;
        }
    }
}

TEST_F(ShapeEffectTest, SpiralBrushStartsAtTheCentreOrTheCorner) {
    const EffectRun inside = Run(101, 32);
    // An eighth of the picture (8 x 6) just above and left of the centre.
    EXPECT_EQ(NewPixels(inside.frames[0]), 8 * 6);
    EXPECT_EQ(inside.frames[0].Pixel(24, 18), kNew);
    EXPECT_EQ(inside.frames[0].Pixel(31, 23), kNew);
    EXPECT_EQ(inside.frames[0].Pixel(32, 24), kOld);
    EXPECT_LE(inside.frames.size(), 4u * 32 + 1);
    const EffectRun outside = Run(102, 32);
    EXPECT_EQ(outside.frames[0].Pixel(0, 0), kNew);
    EXPECT_EQ(NewPixels(outside.frames[0]), 8 * 6);
    EXPECT_LE(outside.frames.size(), 4u * 32 + 1);
}

} // namespace
} // namespace pictorelle

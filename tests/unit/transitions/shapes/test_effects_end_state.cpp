// Properties every effect of the zoom, fade and shape families must keep, whatever the picture
// size or step count: it ends on exactly the new picture, never paints outside the picture,
// and the effects that uncover the new picture in place never show anything but old or new
// pixels and never cover up again what they have uncovered.
#include "transitions/EffectHarness.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

using namespace pictorelle::testing;

struct Size {
    int width, height, steps;
};

constexpr Size kSizes[] = {{64, 48, 32}, {37, 23, 4}, {50, 9, 7}, {3, 2, 8}, {1, 1, 4}};

class EveryComposedEffect : public ::testing::TestWithParam<int> {};

TEST_P(EveryComposedEffect, EndsOnTheNewPictureAndPaintsOnlyInsideIt) {
    const int effect = GetParam();
    const bool inPlace = effect <= 102; // the shape, ellipse, random and spiral families
    for (const Size& size : kSizes) {
        SCOPED_TRACE(::testing::Message()
                     << size.width << "x" << size.height << ", " << size.steps << " steps");
        const TBitmap32 from = Noise(size.width, size.height, 1);
        const TBitmap32 to = Noise(size.width, size.height, 2);
        const EffectRun run = RunEffect(effect, size.steps, from, to, inPlace);
        EXPECT_TRUE(SamePixels(run.result, to));
        EXPECT_EQ(run.strayPaints, 0);
        EXPECT_GT(run.FrameCount(), 0);
        if (!inPlace) continue;
        for (std::size_t f = 0; f < run.frames.size(); ++f) {
            const TBitmap32& frame = run.frames[f];
            int wrong = 0, coveredAgain = 0;
            for (int y = 0; y < size.height; ++y)
                for (int x = 0; x < size.width; ++x) {
                    const uint32_t p = frame.Pixel(x, y);
                    wrong += p != from.Pixel(x, y) && p != to.Pixel(x, y);
                    coveredAgain += f > 0 && run.frames[f - 1].Pixel(x, y) == to.Pixel(x, y) &&
                                    p != to.Pixel(x, y);
                }
            ASSERT_EQ(wrong, 0) << "frame " << f + 1;
            ASSERT_EQ(coveredAgain, 0) << "frame " << f + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Effects71To120, EveryComposedEffect, ::testing::Range(71, 121));

// The frame counts each family's end rule gives for a 64 x 48 picture.
TEST(EffectFrameCounts, FollowEachFamilysEndRule) {
    struct Case {
        int effect, steps, frames;
    };
    const Case cases[] = {
        {71, 32, 23},                   // "Ellipse Out": done once i > s / 1.5, i = 0 .. 22
        {72, 32, 23},                   // "Ellipse In": done once round(s / 1.5 - j) > s / 1.5
        {73, 32, 50},                   // edge ellipses: done once i > 1.5 s, i = 0 .. 49
        {76, 32, 50},                   //
        {77, 32, 33},                   // shapes: i = 0 .. s
        {83, 100, 101},                 //
        {87, 32, 18},                   // "Triangles": i = 0 .. 16, then one last frame
        {96, 32, 32},                   // random lines: min(s, h) lines, one a frame
        {97, 100, 64},                  // min(s, w)
        {98, 32, 15},                   // d = min(32, 48 div 4) = 12: 169 cells, 12 a frame
        {99, 32, 13},                   // d = 6: 49 cells, 4 a frame
        {100, 4, 64},                   // 121 cells, one a frame, capped at s^3
        {100, 32, 121},  {103, 32, 32}, // zooms: s steps
        {114, 8, 8},                    //
        {115, 32, 11},                  // fades: 254 div (765 div s)
        {116, 100, 36},  {116, 4, 1},
        {116, 800, 254}, {117, 32, 32}, // fade unfolds: the fold window's steps
        {120, 32, 33},
    };
    const TBitmap32 from = Filled(64, 48, 0xFF000000), to = Filled(64, 48, 0xFFFFFFFF);
    for (const Case& c : cases)
        EXPECT_EQ(RunEffect(c.effect, c.steps, from, to, false).FrameCount(), c.frames)
            << "effect " << c.effect << " at " << c.steps << " steps";
}

// A skip request ends each family's loop right after the frame in progress.
TEST(EffectFrameCounts, SkipEndsEveryFamilyAfterTheCurrentFrame) {
    const TBitmap32 from = Noise(40, 30, 3), to = Noise(40, 30, 4);
    for (const int effect : {71, 72, 77, 87, 96, 100, 101, 103, 115, 116, 117}) {
        const EffectRun run = RunEffect(effect, 64, from, to, false, [](int frame, auto& state) {
            if (frame == 2) state.SkipTransition = true;
        });
        EXPECT_EQ(run.FrameCount(), 2) << "effect " << effect;
        EXPECT_TRUE(SamePixels(run.result, to)) << "effect " << effect;
    }
}

} // namespace
} // namespace pictorelle

#include "transitions/EffectHarness.h"
#include "transitions/zoomfade/FoldFade.h"
#include "transitions/zoomfade/Zoom.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

namespace pictorelle {
namespace {

using namespace pictorelle::testing;

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;

uint32_t Grey(int v) {
    const auto c = static_cast<uint32_t>(v);
    return 0xFF000000u | c << 16 | c << 8 | c;
}

// The pixel at (x, y) of every frame.
std::vector<uint32_t> PixelPerFrame(int effect, int steps, const TBitmap32& from,
                                    const TBitmap32& to, int x = 0, int y = 0) {
    const EffectRun run = RunEffect(effect, steps, from, to);
    std::vector<uint32_t> pixels;
    for (const TBitmap32& f : run.frames)
        pixels.push_back(f.Pixel(x, y));
    return pixels;
}

TEST(Fades, CrossfadeAtThirtyTwoStepsBlendsInElevenAlphaSteps) {
    // From black to white each channel shows the alpha itself: 23, 46, ..., 253.
    const auto pixels = PixelPerFrame(115, 32, Filled(8, 6, kBlack), Filled(8, 6, kWhite));
    ASSERT_EQ(pixels.size(), 11u);
    for (std::size_t k = 0; k < pixels.size(); ++k)
        EXPECT_EQ(pixels[k], Grey(23 * static_cast<int>(k + 1))) << "frame " << k + 1;
}

TEST(Fades, FadeToBlackTurnsAtTheMiddleAlpha) {
    // Above 765 steps the alpha step is 1, so frame v has alpha v: the old picture fades out
    // by 2v, the frame at v = 127 is black, and the new picture rises by 2v - 254. The fade
    // starts from transparent black, so alpha falls and rises with the colour.
    const auto pixels = PixelPerFrame(116, 800, Filled(4, 3, kWhite), Filled(4, 3, kWhite));
    ASSERT_EQ(pixels.size(), 254u);
    EXPECT_EQ(pixels[0], 0xFDFDFDFDu) << "v = 1";
    EXPECT_EQ(pixels[125], 0x03030303u) << "v = 126";
    EXPECT_EQ(pixels[126], 0x00000000u) << "v = 127";
    EXPECT_EQ(pixels[127], 0x02020202u) << "v = 128";
    EXPECT_EQ(pixels[253], 0xFEFEFEFEu) << "v = 254";
}

TEST(Fades, TreatPicturesAsOpaqueWhateverTheirAlpha) {
    // A picture with alpha 0 would otherwise never show through the blend.
    const auto pixels = PixelPerFrame(115, 32, Filled(4, 3, kBlack), Filled(4, 3, 0x00FFFFFF));
    EXPECT_EQ(pixels.back(), Grey(253));
}

TEST(Zooms, ZoomInEndsWithinAPixelOfThePicture) {
    for (const auto& [w, h, s] : {std::tuple{65, 47, 32}, {64, 48, 7}, {1919, 1081, 480}}) {
        const TBitmap32 picture(w, h);
        TZoom zoom;
        zoom.Init(picture, w / 2, h / 2, 0, 0, picture.BoundsRect(), -(w / 2.0) / s, (w / 2.0) / s,
                  -(h / 2.0) / s, (h / 2.0) / s, s);
        for (int k = 1; k < s; ++k)
            ASSERT_TRUE(zoom.Step());
        EXPECT_FALSE(zoom.Step()) << "the last step";
        const TRect end = zoom.DestinationRect();
        EXPECT_LE(std::abs(end.left), 1);
        EXPECT_LE(std::abs(end.top), 1);
        EXPECT_LE(std::abs(end.right - w), 1);
        EXPECT_LE(std::abs(end.bottom - h), 1);
        EXPECT_EQ(zoom.StepSourceRect(), picture.BoundsRect());
        EXPECT_FALSE(zoom.Step());
        EXPECT_EQ(zoom.DestinationRect(), end) << "a finished zoom stays put";
    }
}

// A smooth picture, so that a zoom ending a pixel off differs only a little from it.
TBitmap32 Gradient(int w, int h) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       0xFF000000u | static_cast<uint32_t>(64 + 2 * x) << 16 |
                           static_cast<uint32_t>(64 + 3 * y) << 8 | 0x80u);
    return b;
}

int ChannelDistance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int shift = 0; shift < 24; shift += 8)
        d = std::max(d, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                 static_cast<int>((b >> shift) & 0xFF)));
    return d;
}

// With a size and step count whose speeds are exact, every piece ends exactly in its place;
// a piece started or moved wrongly leaves black or displaced pixels.
TEST(Zooms, EveryZoomsLastFrameShowsTheNewPictureInPlace) {
    const TBitmap32 to = Gradient(64, 48);
    for (int effect = 103; effect <= 114; ++effect) {
        const EffectRun run = RunEffect(effect, 16, Filled(64, 48, kBlack), to);
        ASSERT_EQ(run.frames.size(), 16u);
        int worst = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                worst =
                    std::max(worst, ChannelDistance(run.frames.back().Pixel(x, y), to.Pixel(x, y)));
        EXPECT_LE(worst, 1) << "effect " << effect;
    }
}

TEST(Zooms, OnlyTheGrowingRectangleChanges) {
    // "Zoom From Up Left": after k of 16 steps the new picture fills (0, 0, 4k, 3k).
    const EffectRun run = RunEffect(104, 16, Filled(64, 48, kBlack), Gradient(64, 48));
    for (int k = 1; k <= 16; ++k) {
        const TBitmap32& f = run.frames[static_cast<std::size_t>(k - 1)];
        TRect painted{64, 48, 0, 0};
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
                if (f.Pixel(x, y) != kBlack)
                    painted = {std::min(painted.left, x), std::min(painted.top, y),
                               std::max(painted.right, x + 1), std::max(painted.bottom, y + 1)};
        EXPECT_EQ(painted, (TRect{0, 0, 4 * k, 3 * k})) << "frame " << k;
    }
}

// From black to white, the line across the travel direction through the middle of the band:
// white behind it, a falling ramp across it, black ahead.
TEST(FadeUnfolds, BandRampsFromTheNewPictureToTheOld) {
    struct Case {
        int effect;
        bool vertical, reversed; // travel along y; from the far edge
    };
    for (const Case& c : {Case{117, false, false}, Case{118, false, true}, Case{119, true, false},
                          Case{120, true, true}}) {
        const EffectRun run =
            RunEffect(c.effect, 32, Filled(64, 64, kBlack), Filled(64, 64, kWhite));
        const TBitmap32& mid = run.frames[15];
        std::vector<int> line;
        for (int k = 0; k < 64; ++k) {
            const int along = c.reversed ? 63 - k : k;
            const uint32_t p = c.vertical ? mid.Pixel(10, along) : mid.Pixel(along, 10);
            line.push_back(static_cast<int>(p & 0xFF));
        }
        SCOPED_TRACE(::testing::Message() << "effect " << c.effect);
        EXPECT_EQ(line.front(), 255);
        EXPECT_EQ(line.back(), 0);
        std::set<int> between;
        for (std::size_t k = 1; k < line.size(); ++k) {
            EXPECT_LE(line[k], line[k - 1]) << "at " << k;
            if (line[k] > 0 && line[k] < 255) between.insert(line[k]);
        }
        EXPECT_GE(between.size(), 4u) << "a soft edge, not a hard one";
    }
}

TEST(FadeUnfolds, BandOutsideThePicturePaintsNothing) {
    const TBitmap32 picture = Filled(20, 10, kWhite);
    TFoldFade band;
    band.Init(picture, 25, 0, 2, 10, 1, 0, 3, TFoldFade::kFallsRightward);
    EXPECT_TRUE(band.Step());
    EXPECT_EQ(band.ClippedRect(), TRect{});
    EXPECT_EQ(band.PaintRect(), TRect{});

    // Inside, the tile holds the new picture's colours under the ramp's alpha.
    band.Init(picture, 5, 0, 3, 10, 1, 0, 1, TFoldFade::kRisesRightward);
    EXPECT_FALSE(band.Step());
    EXPECT_EQ(band.PaintRect(), (TRect{5, 0, 8, 10}));
    EXPECT_EQ(band.Tile().Pixel(0, 4), 0x00FFFFFFu);
    EXPECT_EQ(band.Tile().Pixel(1, 4), 0x80FFFFFFu) << "ceil(255 / 2)";
    EXPECT_EQ(band.Tile().Pixel(2, 4), 0xFFFFFFFFu);
}

} // namespace
} // namespace pictorelle

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "imaging/Decode.h"
#include "imaging/GifAnimation.h"
#include "imaging/PictureItem.h"
#include "package/PackageLayout.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu,
                   kWhite = 0xFFFFFFFFu, kScreenBack = 0xFF808080u;

// Frames are drawn as text, one letter a pixel: R, G, B, W the palette's colours and '.' the
// transparent index.
uint8_t indexOf(char c) {
    switch (c) {
    case 'R':
        return 0;
    case 'G':
        return 1;
    case 'B':
        return 2;
    case 'W':
        return 3;
    default:
        return 9;
    }
}

TGifFrame frame(TRect rect, const std::vector<std::string>& rows,
                TGifDisposal disposal = TGifDisposal::Keep, bool transparent = true,
                int delayMs = 100) {
    TGifFrame f;
    f.rect = rect;
    for (const std::string& row : rows)
        for (char c : row)
            f.indices.push_back(indexOf(c));
    f.palette.fill(0xFF000000u);
    f.palette[0] = kRed;
    f.palette[1] = kGreen;
    f.palette[2] = kBlue;
    f.palette[3] = kWhite;
    f.palette[9] = 0xFF123456u;
    f.transparentIndex = transparent ? 9 : -1;
    f.delayMs = delayMs;
    f.disposal = disposal;
    return f;
}

TGifImage gif4x3(std::vector<TGifFrame> frames) {
    TGifImage g;
    g.screen = {4, 3};
    g.backgroundPixel = kScreenBack;
    g.frames = std::move(frames);
    return g;
}

// The image composed by hand: letters as in frames, '-' for an uncovered pixel (frame's
// transparent pixel with alpha 0, or the screen's background colour without one).
TBitmap32 expected(const std::vector<std::string>& rows, uint32_t uncovered) {
    TBitmap32 b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const char c = rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
            const uint32_t colours[] = {kRed, kGreen, kBlue, kWhite};
            b.SetPixel(x, y, c == '-' ? uncovered : colours[indexOf(c)]);
        }
    return b;
}

constexpr uint32_t kUncovered = 0x00123456u; // the transparent entry's colour, alpha 0

} // namespace

TEST(GifAnimator, KeepLaysEachFrameOverTheLastAndTransparentPixelsLeaveItAlone) {
    TGifAnimator a(gif4x3({
        frame({0, 0, 4, 3}, {"RRRR", "R..R", "RRRR"}),
        frame({1, 0, 3, 2}, {"G.", "GG"}),
        frame({2, 1, 4, 3}, {"B.", ".B"}, TGifDisposal::Unspecified),
        frame({0, 0, 1, 1}, {"W"}),
    }));
    ExpectSamePixels(a.Frame(0), expected({"RRRR", "R--R", "RRRR"}, kUncovered), "frame 0");
    ExpectSamePixels(a.Frame(0), GifFirstFrameImage(a.Gif()), "frame 0 as a still picture");
    ExpectSamePixels(a.Frame(1), expected({"RGRR", "RGGR", "RRRR"}, kUncovered), "frame 1");
    ExpectSamePixels(a.Frame(2), expected({"RGRR", "RGBR", "RRRB"}, kUncovered), "frame 2");
    ExpectSamePixels(a.Frame(3), expected({"WGRR", "RGBR", "RRRB"}, kUncovered), "frame 3");
}

TEST(GifAnimator, RestoreBackgroundUncoversTheFramesRectangleFromTheFirstFrameOn) {
    TGifAnimator a(gif4x3({
        frame({0, 0, 2, 2}, {"RR", "RR"}, TGifDisposal::RestoreBackground),
        frame({2, 0, 4, 3}, {"GG", "G.", "GG"}, TGifDisposal::RestoreBackground),
        frame({1, 1, 3, 2}, {"BB"}, TGifDisposal::Keep, false),
    }));
    ExpectSamePixels(a.Frame(0), expected({"RR--", "RR--", "----"}, kUncovered), "frame 0");
    ExpectSamePixels(a.Frame(1), expected({"--GG", "--G-", "--GG"}, kUncovered), "frame 1");
    // Frame 2 has no transparent colour: what is uncovered takes the screen's background.
    ExpectSamePixels(a.Frame(2), expected({"----", "-BB-", "----"}, kScreenBack), "frame 2");
}

TEST(GifAnimator, RestorePreviousPutsBackWhatTheFrameCovered) {
    TGifAnimator a(gif4x3({
        frame({0, 0, 2, 1}, {"WW"}, TGifDisposal::RestorePrevious), // restores to uncovered
        frame({0, 0, 4, 3}, {"RRRR", "R..R", "RRRR"}),
        frame({1, 0, 4, 2}, {"GGG", "G.G"}, TGifDisposal::RestorePrevious),
        frame({0, 2, 2, 3}, {"BB"}, TGifDisposal::RestorePrevious),
        frame({3, 2, 4, 3}, {"W"}),
    }));
    ExpectSamePixels(a.Frame(0), expected({"WW--", "----", "----"}, kUncovered), "frame 0");
    ExpectSamePixels(a.Frame(1), expected({"RRRR", "R--R", "RRRR"}, kUncovered), "frame 1");
    ExpectSamePixels(a.Frame(2), expected({"RGGG", "RG-G", "RRRR"}, kUncovered), "frame 2");
    ExpectSamePixels(a.Frame(3), expected({"RRRR", "R--R", "BBRR"}, kUncovered), "frame 3");
    ExpectSamePixels(a.Frame(4), expected({"RRRR", "R--R", "RRRW"}, kUncovered), "frame 4");
}

TEST(GifAnimator, AnyOrderGivesTheSameImagesAsPlayingThrough) {
    const TGifImage gif = gif4x3({
        frame({0, 0, 4, 3}, {"RRRR", "RRRR", "RRRR"}, TGifDisposal::Keep, false),
        frame({0, 0, 2, 2}, {"GG", "GG"}, TGifDisposal::RestorePrevious),
        frame({2, 1, 4, 3}, {"BB", "BB"}, TGifDisposal::RestoreBackground),
        frame({-2, -1, 2, 2}, {"WWWW", "WWWW", "WWWW"}), // partly off the screen
    });
    TGifAnimator inOrder(gif);
    std::vector<TBitmap32> images;
    for (int k = 0; k < 4; ++k)
        images.push_back(inOrder.Frame(k));
    ExpectSamePixels(images[3], expected({"WWRR", "WW--", "RR--"}, kUncovered), "clipped frame");

    TGifAnimator jumping(gif);
    for (int k : {3, 1, 2, 2, 0, 3, 0, 1})
        ExpectSamePixels(jumping.Frame(k), images[static_cast<size_t>(k)],
                         "frame " + std::to_string(k) + " out of order");
    EXPECT_THROW(jumping.Frame(4), std::out_of_range);
    EXPECT_THROW(jumping.Frame(-1), std::out_of_range);
}

TEST(GifTimer, NonLoopingGifStopsOnItsLastFrame) {
    TGifImage gif = gif4x3({frame({0, 0, 1, 1}, {"R"}, TGifDisposal::Keep, true, 50),
                            frame({0, 0, 1, 1}, {"G"}, TGifDisposal::Keep, true, 70),
                            frame({0, 0, 1, 1}, {"B"}, TGifDisposal::Keep, true, 90)});
    EXPECT_TRUE(GifAnimates(gif));
    EXPECT_EQ(GifTimerStep(gif, 0), (TGifTimerStep{1, true, 70}));
    EXPECT_EQ(GifTimerStep(gif, 1), (TGifTimerStep{2, true, 90}));
    EXPECT_EQ(GifTimerStep(gif, 2).enabled, false);
    EXPECT_EQ(GifTimerStep(gif, 2).nextIndex, 3);

    gif.frames.resize(1);
    EXPECT_FALSE(GifAnimates(gif)); // a still picture: the timer never starts
}

TEST(GifTimer, LoopingGifWaitsForTheFrameItDrawsNext) {
    TGifImage gif = gif4x3({frame({0, 0, 1, 1}, {"R"}, TGifDisposal::Keep, true, 100),
                            frame({0, 0, 1, 1}, {"G"}, TGifDisposal::Keep, true, 200),
                            frame({0, 0, 1, 1}, {"B"}, TGifDisposal::Keep, true, 300)});
    gif.loops = true;
    // The first tick (1 ms after the item is on screen) draws frame 0; the waits follow.
    int drawn = 0;
    std::vector<int> waits;
    std::vector<int> order{drawn};
    for (int tick = 0; tick < 5; ++tick) {
        const TGifTimerStep step = GifTimerStep(gif, drawn);
        ASSERT_TRUE(step.enabled);
        waits.push_back(step.interval);
        drawn = step.nextIndex;
        order.push_back(drawn);
    }
    EXPECT_EQ(waits, (std::vector<int>{200, 300, 100, 200, 300}));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0, 1, 2}));

    // A frame of delay 0 would get an interval that never fires: the animation stays put.
    gif.frames[2].delayMs = 0;
    EXPECT_EQ(GifTimerStep(gif, 1), (TGifTimerStep{2, false, 0}));
}

namespace {

// What a tick produces drawn the plain way: a copy of the background with the frame blended
// (or copied) into the item's rectangle, the whole copy then laid on the display.
TBitmap32 plainTick(const TBitmap32& image, bool transparency, TColor backColor,
                    const TBitmap32& background, const TRect& itemRect, TBitmap32 display) {
    TBitmap32 picture = image;
    if (transparency)
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                if (PixelAlpha(picture.Pixel(x, y)) == 0)
                    picture.SetPixel(x, y, ColorToPixel(backColor) & 0x00FFFFFFu);
    TBitmap32 work = background;
    work.DrawScaled(itemRect, picture, TResampler::Bilinear,
                    transparency ? TDrawMode::Blend : TDrawMode::Opaque);
    display.Draw(0, 0, work);
    return display;
}

// A frame with a transparent middle column over an opaque edge, as the animator gives it.
TBitmap32 holedImage() {
    TBitmap32 image = PatternBitmap(5, 4);
    for (int y = 0; y < 4; ++y)
        image.SetPixel(2, y, kUncovered);
    return image;
}

} // namespace

TEST(GifFramePainter, DrawsWhatThePlainTickDrawsAndTouchesOnlyTheItemsRectangle) {
    const TBitmap32 background = PatternBitmap(60, 40);
    const TBitmap32 image = holedImage();
    const TColor backColor = 0x00336699;
    struct Case {
        TRect itemRect;
        bool transparency;
    };
    for (const Case& c : {Case{{10, 5, 35, 25}, true}, Case{{10, 5, 35, 25}, false},
                          Case{{-7, 30, 50, 61}, true}, Case{{0, 0, 60, 40}, false}}) {
        // The display shows something else outside, so that a stray write would show.
        TBitmap32 display = SolidBitmap(60, 40, kWhite);
        TGifFramePainter painter;
        // The whole background; then only the part of it under the item, as a GIF item with
        // transparency keeps; then, for an opaque GIF, none.
        const TFramePart whole{background};
        const TRect under = c.itemRect.intersected(background.BoundsRect());
        TFramePart part{TBitmap32(under.width(), under.height()), under.left, under.top};
        part.bitmap.Draw(0, 0, under, background);
        const TFramePart* kept[] = {&whole, &whole, &part, c.transparency ? &part : nullptr};
        for (const TFramePart* bg : kept) { // later ticks reuse the work bitmaps
            const TRect changed =
                painter.Paint(image, c.transparency, backColor, bg, c.itemRect, display);
            const TRect visible = c.itemRect.intersected(display.BoundsRect());
            EXPECT_EQ(changed, visible);
            const TBitmap32 plain =
                plainTick(image, c.transparency, backColor, background, c.itemRect, display);
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 60; ++x) {
                    const uint32_t want = visible.contains(x, y) ? plain.Pixel(x, y) : kWhite;
                    ASSERT_EQ(display.Pixel(x, y), want) << "at (" << x << ", " << y << ")";
                }
        }
    }
}

TEST(GifFramePainter, TransparentPixelsShowTheBackgroundAndEdgesFadeTowardBackColor) {
    const TFramePart whole{SolidBitmap(50, 40, kBlue)};
    TBitmap32 image(2, 1);
    image.SetPixel(0, 0, kRed);
    image.SetPixel(1, 0, kUncovered);
    TBitmap32 display(50, 40);
    TGifFramePainter painter;
    // Scaled 20 times: the left part red, the right part the background, a blend in between.
    painter.Paint(image, true, 0x0000FF00 /* green */, &whole, {0, 0, 40, 20}, display);
    EXPECT_EQ(display.Pixel(0, 0), kRed);
    EXPECT_EQ(display.Pixel(39, 19), kBlue);
    const uint32_t middle = display.Pixel(20, 10);
    EXPECT_GT(PixelRed(middle), 0u);
    EXPECT_GT(PixelBlue(middle), 0u);
    EXPECT_GT(PixelGreen(middle), 0u) << "the fade goes through BackColor";
    EXPECT_EQ(display.Pixel(45, 30), 0u) << "outside the item's rectangle nothing changes";

    // Transparency is the alpha the animator gave, not a colour: a visible pixel of the
    // transparent entry's colour stays visible.
    image.SetPixel(1, 0, kUncovered | 0xFF000000u);
    painter.Paint(image, true, 0x0000FF00, &whole, {0, 0, 40, 20}, display);
    EXPECT_EQ(display.Pixel(39, 19), kUncovered | 0xFF000000u);
}

TEST(GifFramePainter, ABackgroundSmallerThanTheDisplayLimitsTheChange) {
    const TFramePart whole{SolidBitmap(30, 20, kBlue)};
    TBitmap32 display = SolidBitmap(60, 40, kWhite);
    TGifFramePainter painter;
    const TRect changed =
        painter.Paint(SolidBitmap(4, 4, kRed), false, 0, &whole, {20, 10, 50, 40}, display);
    EXPECT_EQ(changed, (TRect{20, 10, 30, 20}));
    EXPECT_EQ(display.Pixel(29, 19), kRed);
    EXPECT_EQ(display.Pixel(30, 19), kWhite);
    EXPECT_EQ(display.Pixel(29, 20), kWhite);
    const TFramePart none;
    EXPECT_TRUE(painter.Paint(SolidBitmap(4, 4, kRed), false, 0, &none, {0, 0, 9, 9}, display)
                    .isEmpty());
    EXPECT_TRUE(painter.Paint(SolidBitmap(4, 4, kRed), true, 0, nullptr, {0, 0, 9, 9}, display)
                    .isEmpty());
}

TEST(LoadGif, ReadsEveryFrameAndAGifItemKeepsItsAnimator) {
    GuiApp();
    std::vector<TBitmap32> frames{SolidBitmap(6, 4, kRed), SolidBitmap(6, 4, kGreen),
                                  SolidBitmap(6, 4, kBlue)};
    frames[1].SetPixel(0, 0, 0); // transparent: frame 0 shows through
    const std::string path = WriteTempFile("SSIMG.gif", EncodeGif(frames, true, 7));
    std::unique_ptr<TGifAnimator> gif = LoadGif(path);
    ASSERT_EQ(gif->FrameCount(), 3);
    EXPECT_TRUE(gif->Gif().loops);
    EXPECT_EQ(gif->Gif().frames[2].delayMs, 70);
    EXPECT_EQ(gif->Frame(1).Pixel(0, 0), kRed);
    EXPECT_EQ(gif->Frame(1).Pixel(1, 0), kGreen);

    ItemRecord item;
    item.Ext = ".GIF";
    item.MaskIndex = -1;
    const TBitmap32 background = SolidBitmap(60, 40, kWhite);
    TPictureItemInput in;
    in.item = &item;
    in.picturePath = path;
    in.paintBackground = [&background](TBitmap32& frame) { frame.Draw(0, 0, background); };
    in.frameWidth = 60;
    in.frameHeight = 40;
    in.sizeMode = 0;
    const TPictureItem composed = ComposePictureItem(in);
    ASSERT_TRUE(composed.gif);
    EXPECT_EQ(composed.gif->FrameCount(), 3);
    EXPECT_EQ(composed.picture.Pixel(3, 2), kRed);

    const std::string broken = WriteTempFile("broken.gif", Bytes(40, 0x47));
    EXPECT_THROW(LoadGif(broken), ImageError);
}

#include "imaging/Compose.h"

#include "ImagingFixtures.h"
#include "core/Color.h"

#include <gtest/gtest.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr uint32_t kBackground = 0xFF102030u;

TBitmap32 frameOf(int w, int h) {
    return SolidBitmap(w, h, kBackground);
}

// Every pixel of frame outside r still shows the background.
bool untouchedOutside(const TBitmap32& frame, const TRect& r) {
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            if (!r.contains(x, y) && frame.Pixel(x, y) != kBackground) return false;
    return true;
}

} // namespace

TEST(PictureFlags, MirrorThenFlipThenGrey) {
    TBitmap32 b = PatternBitmap(3, 2);
    const TBitmap32 original = b;
    ApplyPictureFlags(b, kFlagMirror | kFlagFlip);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(b.Pixel(x, y), original.Pixel(2 - x, 1 - y));
}

TEST(PictureFlags, GreyWeighsBlueGreenRedAndRoundsHalvesToEven) {
    TBitmap32 b(5, 1);
    b.SetPixel(0, 0, MakePixel(0, 0, 255));     // blue only: 0.3 * 255 = 76.5 -> 76
    b.SetPixel(1, 0, MakePixel(0, 255, 0));     // green only: 153
    b.SetPixel(2, 0, MakePixel(255, 0, 0));     // red only: 25.5 -> 26
    b.SetPixel(3, 0, MakePixel(10, 20, 30, 0)); // 9 + 12 + 1 = 22, alpha kept
    b.SetPixel(4, 0, MakePixel(5, 0, 0, 128));  // 0.5 -> 0
    ApplyPictureFlags(b, kFlagGrey);
    EXPECT_EQ(b.Pixel(0, 0), MakePixel(76, 76, 76));
    EXPECT_EQ(b.Pixel(1, 0), MakePixel(153, 153, 153));
    EXPECT_EQ(b.Pixel(2, 0), MakePixel(26, 26, 26));
    EXPECT_EQ(b.Pixel(3, 0), MakePixel(22, 22, 22, 0));
    EXPECT_EQ(b.Pixel(4, 0), MakePixel(0, 0, 0, 128));
}

TEST(ComposeItem, CopiesThePictureIntoDestAndNothingElse) {
    TBitmap32 frame = frameOf(40, 30);
    TBitmap32 picture = PatternBitmap(10, 8);
    const TRect dest{5, 7, 15, 15};
    ComposeItem(picture, frame, dest, true, nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(frame.Pixel(5 + x, 7 + y), PatternPixel(x, y));
    EXPECT_TRUE(untouchedOutside(frame, dest));
}

TEST(ComposeItem, MakeOpaqueIgnoresThePicturesAlpha) {
    TBitmap32 frame = frameOf(8, 8);
    TBitmap32 picture = SolidBitmap(4, 4, 0x00AABBCCu);
    ComposeItem(picture, frame, {0, 0, 4, 4}, true, nullptr);
    EXPECT_EQ(frame.Pixel(1, 1), 0xFFAABBCCu);
    EXPECT_EQ(picture.Pixel(0, 0), 0xFFAABBCCu); // the picture itself was made opaque
}

TEST(ComposeItem, TransparentPixelsShowTheFrameWhenNotMadeOpaque) {
    TBitmap32 frame = frameOf(8, 4);
    TBitmap32 picture(8, 4);
    picture.FillRect({0, 0, 4, 4}, 0xFFFF0000u);
    picture.FillRect({4, 0, 8, 4}, 0x00FFFFFFu);
    ComposeItem(picture, frame, frame.BoundsRect(), false, nullptr);
    EXPECT_EQ(frame.Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(frame.Pixel(6, 1), kBackground);
}

TEST(ComposeItem, MaskBlueByteIsThePicturesOpacity) {
    TBitmap32 frame = frameOf(20, 10);
    TBitmap32 picture = SolidBitmap(10, 10, 0xFFFFFFFFu);
    // A 2 x 1 mask: white on the left, black on the right, stretched over dest.
    TBitmap32 mask(2, 1);
    mask.SetPixel(0, 0, 0xFFFFFFFFu);
    mask.SetPixel(1, 0, 0xFF000000u);
    const TRect dest{5, 0, 15, 10};
    ComposeItem(picture, frame, dest, true, &mask);
    EXPECT_EQ(frame.Pixel(5, 5), 0xFFFFFFFFu);  // white mask: the picture
    EXPECT_EQ(frame.Pixel(14, 5), kBackground); // black mask: the frame
    const uint32_t mid = frame.Pixel(10, 5);    // bilinear seam: a blend of both
    EXPECT_GT(PixelRed(mid), PixelRed(kBackground));
    EXPECT_LT(PixelRed(mid), 255u);
    EXPECT_TRUE(untouchedOutside(frame, dest));
}

TEST(ComposeItem, OnlyTheBlueChannelOfTheMaskCounts) {
    for (uint32_t maskPixel : {0xFFFF0000u, 0xFF00FF00u}) {
        TBitmap32 frame = frameOf(6, 6);
        TBitmap32 picture = SolidBitmap(6, 6, 0xFFFFFFFFu);
        const TBitmap32 mask = SolidBitmap(3, 3, maskPixel);
        ComposeItem(picture, frame, frame.BoundsRect(), true, &mask);
        EXPECT_TRUE(untouchedOutside(frame, {})) << std::hex << maskPixel;
    }
    TBitmap32 frame = frameOf(6, 6);
    TBitmap32 picture = SolidBitmap(6, 6, 0xFFFFFFFFu);
    const TBitmap32 blue = SolidBitmap(3, 3, 0xFF0000FFu);
    ComposeItem(picture, frame, frame.BoundsRect(), true, &blue);
    EXPECT_EQ(frame.Pixel(3, 3), 0xFFFFFFFFu);
}

TEST(ComposeItem, AnEmptyMaskHidesTheWholePicture) {
    TBitmap32 frame = frameOf(6, 6);
    TBitmap32 picture = SolidBitmap(6, 6, 0xFFFFFFFFu);
    const TBitmap32 empty;
    ComposeItem(picture, frame, {1, 1, 5, 5}, true, &empty);
    EXPECT_TRUE(untouchedOutside(frame, {}));
}

TEST(ComposeItem, DestReachingOutsideTheFrameIsClipped) {
    TBitmap32 frame = frameOf(10, 10);
    TBitmap32 picture = PatternBitmap(20, 20);
    const TBitmap32 mask = SolidBitmap(1, 1, 0xFFFFFFFFu);
    ComposeItem(picture, frame, {-5, -5, 15, 15}, true, &mask);
    EXPECT_EQ(frame.Pixel(0, 0), PatternPixel(5, 5));
    EXPECT_EQ(frame.Pixel(9, 9), PatternPixel(14, 14));
    // Entirely outside: nothing happens.
    TBitmap32 other = frameOf(10, 10);
    ComposeItem(picture, other, {20, 20, 40, 40}, true, &mask);
    EXPECT_TRUE(untouchedOutside(other, {}));
}

TEST(ApplyMaskAlpha, TakesTheBlueByteAndScalesAMaskOfAnotherSize) {
    TBitmap32 target = SolidBitmap(4, 2, 0xFF123456u);
    TBitmap32 mask(2, 1);
    mask.SetPixel(0, 0, 0x00000080u);
    mask.SetPixel(1, 0, 0xFFFFFF00u);
    ApplyMaskAlpha(target, mask);
    EXPECT_EQ(target.Pixel(0, 0), 0x80123456u);
    EXPECT_EQ(target.Pixel(3, 1), 0x00123456u);
}

TEST(ReplaceTransparentColor, MatchesTheExactPixelValue) {
    TBitmap32 b(3, 1);
    b.SetPixel(0, 0, 0x00FF00FFu); // a transparent pixel as a GIF decodes it
    b.SetPixel(1, 0, 0xFFFF00FFu); // a visible pixel of the same colour
    b.SetPixel(2, 0, 0xFF000000u);
    ReplaceTransparentColor(b, 0x00FF00FFu, 0x00332211); // colour value 0x00BBGGRR
    EXPECT_EQ(b.Pixel(0, 0), 0x00112233u);
    EXPECT_EQ(b.Pixel(1, 0), 0xFFFF00FFu);
    EXPECT_EQ(b.Pixel(2, 0), 0xFF000000u);
}

#include "imaging/PictureItem.h"

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "imaging/Compose.h"
#include "imaging/Decode.h"
#include "imaging/Label.h"
#include "package/PackageLayout.h"

#include <gtest/gtest.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr uint32_t kBackground = 0xFF203040u;

class PictureItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        GuiApp();
        background = SolidBitmap(200, 200, kBackground);
        item.Ext = ".png";
    }

    TPictureItemInput input(const std::string& path, int mode = 2) {
        TPictureItemInput in;
        in.item = &item;
        in.picturePath = path;
        in.paintBackground = [this](TBitmap32& frame) { frame.Draw(0, 0, background); };
        in.frameWidth = 200;
        in.frameHeight = 200;
        in.sizeMode = mode;
        in.backColor = 0x00112233;
        return in;
    }

    ItemRecord item;
    TBitmap32 background;
};

} // namespace

TEST(ItemKind, ByExtensionInAnyCase) {
    for (const char* ext : {".swf", ".SWF", ".fla", ".Fla"})
        EXPECT_EQ(ItemKindOf(ext), TItemKind::Flash) << ext;
    for (const char* ext :
         {".asf", ".WMV", ".avi", ".mpeg", ".MPG", ".mp4", ".M4v", ".MOV", ".mkv", ".WebM"})
        EXPECT_EQ(ItemKindOf(ext), TItemKind::Video) << ext;
    for (const char* ext : {".jpg", ".gif", ".mp3", "", "swf", ".swff", "mp4", ".webm2"})
        EXPECT_EQ(ItemKindOf(ext), TItemKind::Picture) << ext;
    EXPECT_TRUE(IsGifExtension(".gif"));
    EXPECT_TRUE(IsGifExtension(".Gif"));
    EXPECT_FALSE(IsGifExtension("gif"));
}

TEST_F(PictureItemTest, BackgroundPictureLogoCaptionInThatOrder) {
    const TBitmap32 picture = PatternBitmap(100, 50);
    TPictureItemInput in = input(WriteTempFile("SSIMG.png", EncodePng(picture)));
    TLogo logo;
    logo.bitmap = SolidBitmap(20, 20, 0xFFFF0000u);
    logo.placement = 0;
    logo.marginX = 40;
    logo.marginY = 65;
    in.logo = &logo;
    item.CaptionText = "Top";
    item.CaptionBackColor = 0xFF0000; // blue box
    item.CaptionX = 58;
    item.CaptionY = 83;

    const TPictureItem out = ComposePictureItem(in);
    EXPECT_EQ(out.itemRect, (TRect{50, 75, 150, 125}));
    EXPECT_EQ(out.naturalSize, (TSize{100, 50}));
    EXPECT_FALSE(out.isGif);
    EXPECT_FALSE(out.gifBackground.has_value());
    EXPECT_EQ(out.frame.Pixel(10, 10), kBackground);
    EXPECT_EQ(out.frame.Pixel(140, 120), PatternPixel(90, 45)); // the picture
    EXPECT_EQ(out.frame.Pixel(42, 67), 0xFFFF0000u);            // the logo over the background
    EXPECT_EQ(out.frame.Pixel(52, 77), 0xFFFF0000u);            // the logo over the picture
    EXPECT_EQ(out.frame.Pixel(54, 79), 0xFF0000FFu);            // the caption box over both
}

TEST_F(PictureItemTest, FlagsAndMaskApply) {
    const TBitmap32 picture = PatternBitmap(100, 50);
    item.PictureFlags = kFlagMirror;
    item.MaskIndex = 0;
    TPictureItemInput in = input(WriteTempFile("SSIMG.png", EncodePng(picture)));
    in.loadMask = [](TBitmap32& mask, const TDecodePlan&) {
        mask = SolidBitmap(2, 1, 0xFFFFFFFFu);
        mask.SetPixel(1, 0, 0xFF000000u);
    };
    const TPictureItem out = ComposePictureItem(in);
    ASSERT_TRUE(out.mask.has_value());
    EXPECT_EQ(out.frame.Pixel(50, 100), PatternPixel(99, 25)); // mirrored, under white
    EXPECT_EQ(out.frame.Pixel(149, 100), kBackground);         // under black

    // A mask that could not be loaded hides the picture.
    in.loadMask = [](TBitmap32&, const TDecodePlan&) {};
    const TPictureItem hidden = ComposePictureItem(in);
    EXPECT_EQ(hidden.frame.Pixel(100, 100), kBackground);
}

// A picture with see-through pixels is laid on transparent black, in place, to the same
// pixels as drawing it onto a new black bitmap (then made opaque).
TEST_F(PictureItemTest, TranslucentPictureIsLaidOnBlack) {
    TBitmap32 picture = PatternBitmap(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            picture.SetPixel(x, y, (picture.Pixel(x, y) & 0x00FFFFFFu) | uint32_t(x * 6) << 24);
    TBitmap32 expected(40, 30);
    expected.Draw(0, 0, picture, TDrawMode::Blend);
    const TPictureItem out =
        ComposePictureItem(input(WriteTempFile("SSIMG.png", EncodePng(picture))));
    ASSERT_EQ(out.picture.Width(), 40);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(out.picture.Pixel(x, y), expected.Pixel(x, y) | 0xFF000000u) << x << "," << y;
}

TEST_F(PictureItemTest, GifTransparencyShowsTheBackground) {
    TBitmap32 picture = SolidBitmap(10, 10, 0xFF000000u);
    picture.FillRect({0, 0, 5, 10}, 0);
    item.Ext = ".GIF";
    TLogo logo;
    logo.bitmap = SolidBitmap(4, 4, 0xFFFF0000u);
    TPictureItemInput in = input(WriteTempFile("SSIMG.GIF", EncodeGif({picture})));
    in.logo = &logo;
    const TPictureItem out = ComposePictureItem(in);
    EXPECT_TRUE(out.isGif);
    EXPECT_EQ(out.itemRect, (TRect{95, 95, 105, 105}));
    EXPECT_EQ(out.frame.Pixel(96, 100), kBackground);  // transparent half
    EXPECT_EQ(out.frame.Pixel(103, 100), 0xFF000000u); // visible black
    EXPECT_EQ(out.picture.Pixel(0, 0), 0x00332211u);   // BackColor with alpha 0
    // One frame never animates: nothing is kept for later frames.
    EXPECT_FALSE(out.gif);
    EXPECT_FALSE(out.gifBackground.has_value());
}

// Later frames of a GIF are drawn over the frame without the picture; only the part under the
// picture is kept, pixel for pixel what the whole frame has there, overlays included.
TEST_F(PictureItemTest, AGifKeepsTheFrameWithoutThePictureOnlyUnderThePicture) {
    item.Ext = ".GIF";
    TLogo logo;
    logo.bitmap = SolidBitmap(6, 6, 0xFFFF0000u);
    logo.placement = 6;
    item.CaptionText = "Across the middle";
    item.CaptionPlacement = 6;
    item.CaptionColor = 0x0000FF00;
    TBitmap32 picture = SolidBitmap(10, 10, 0xFF0000FFu);
    picture.SetPixel(0, 0, 0); // a transparent pixel
    TPictureItemInput in = input(WriteTempFile("SSIMG.GIF", EncodeGif({picture, picture})));
    in.logo = &logo;
    const TPictureItem out = ComposePictureItem(in);
    TBitmap32 withoutPicture = background;
    DrawLogo(withoutPicture, &logo);
    DrawCaption(item, withoutPicture);
    ASSERT_TRUE(out.gif);
    ASSERT_TRUE(out.gifBackground.has_value());
    ASSERT_EQ(out.gifBackground->Rect(), (TRect{95, 95, 105, 105}));
    for (int y = 95; y < 105; ++y)
        for (int x = 95; x < 105; ++x)
            ASSERT_EQ(out.gifBackground->bitmap.Pixel(x - 95, y - 95), withoutPicture.Pixel(x, y))
                << x << "," << y;
    EXPECT_NE(withoutPicture.Pixel(100, 100), kBackground) << "the overlays reach the picture";
}

TEST_F(PictureItemTest, LargeJpegIsDecodedReducedButPlacedByItsTrueSize) {
    const TBitmap32 picture = SolidBitmap(2000, 1000, 0xFF808080u);
    item.Ext = ".jpg";
    TPictureItemInput in = input(WriteTempFile("SSIMG.jpg", EncodeJpeg(picture)), 0);
    const TPictureItem out = ComposePictureItem(in);
    EXPECT_EQ(out.naturalSize, (TSize{2000, 1000}));
    EXPECT_EQ(out.picture.Width(), 250);
    EXPECT_EQ(out.itemRect, (TRect{0, 50, 200, 150}));
    EXPECT_NEAR(static_cast<int>(PixelRed(out.frame.Pixel(100, 100))), 128, 3);
    EXPECT_EQ(out.frame.Pixel(100, 10), kBackground);
}

TEST_F(PictureItemTest, UndecodableFilesThrow) {
    EXPECT_THROW(ComposePictureItem(input(WriteTempFile("SSIMG.png", {1, 2, 3}))), ImageError);
    EXPECT_THROW(ComposePictureItem(input("/nonexistent/SSIMG.png")), ImageError);
}

// A picture larger than the frame at its own size is decoded only where the frame shows it, and
// the frame is exactly what the whole picture would give; fitted, it comes whole, reduced to no
// less than the size it is drawn at.
TEST_F(PictureItemTest, APictureLargerThanTheFrameCostsOnlyWhatTheFrameShows) {
    const TBitmap32 picture = PatternBitmap(500, 300);
    TPictureItemInput in = input(WriteTempFile("SSIMG.png", EncodePng(picture)));
    for (const int flags : {0, kFlagMirror | kFlagFlip}) {
        item.PictureFlags = flags;
        const TPictureItem out = ComposePictureItem(in);
        EXPECT_EQ(out.itemRect, (TRect{-150, -50, 350, 250}));
        EXPECT_EQ(out.naturalSize, (TSize{500, 300}));
        EXPECT_EQ(out.picture.Width(), 200); // not 500
        EXPECT_EQ(out.picture.Height(), 200);
        TBitmap32 whole = picture;
        ApplyPictureFlags(whole, flags);
        TBitmap32 expected = background;
        ComposeItem(whole, expected, out.itemRect, true, nullptr);
        ExpectSamePixels(expected, out.frame);
    }
    in.sizeMode = 0;
    const TPictureItem fitted = ComposePictureItem(in);
    EXPECT_EQ(fitted.itemRect, (TRect{0, 40, 200, 160}));
    EXPECT_GE(fitted.picture.Width(), 200);
    EXPECT_LT(fitted.picture.Width(), 400);
}

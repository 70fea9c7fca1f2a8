#include "imaging/ShowComposer.h"

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "core/Random.h"
#include "imaging/Decode.h"
#include "imaging/Gradient.h"
#include "imaging/Placement.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr uint32_t kDesktopPixel = 0xFF0A0B0Cu;

// A show file holding the package, read back as the show reads it.
class ShowComposerTest : public ::testing::Test {
protected:
    void SetUp() override {
        GuiApp();
        content.Header.BackColor = 0x00302010; // BGR
        content.Header.BackColor2 = 0x00302010;
        content.Header.GradientStyle = 1;
    }

    TShowComposer& Compose() {
        const std::vector<uint8_t> bytes = WritePackage(content);
        path = WriteTempFile("composer-show.scr", bytes);
        const FileSource file(path);
        package = ReadPackage(file);
        composer.emplace(path, package, [](TBitmap32& b) { b.Clear(kDesktopPixel); });
        return *composer;
    }

    void AddPicture(const TBitmap32& picture, int stretch = -1) {
        PackageEntry<ItemRecord> entry;
        entry.Record.Ext = ".png";
        entry.Record.ItemStretch = stretch;
        entry.Data = EncodePng(picture, false);
        content.Items.push_back(entry);
    }

    PackageContent content;
    Package package;
    std::string path;
    std::optional<TShowComposer> composer;
};

TEST_F(ShowComposerTest, BackgroundIsTheGradientTheDesktopOrThePictureOnTop) {
    TShowComposer& plain = Compose();
    plain.PrepareBackground(64, 48);
    EXPECT_EQ(plain.Background().Width(), 64);
    EXPECT_EQ(plain.Background().Pixel(10, 10), ColorToPixel(0x00302010));

    content.Header.DesktopSnapshot = true;
    TShowComposer& desktop = Compose();
    desktop.PrepareBackground(64, 48);
    EXPECT_EQ(desktop.Background().Pixel(63, 47), kDesktopPixel);

    // A fitted background picture covers the whole background.
    content.Header.DesktopSnapshot = false;
    content.Background = EncodePng(SolidBitmap(8, 6, 0xFF00FF00u), false);
    content.Header.BackgroundExt = ".png";
    content.Header.BackPictureMode = 1;
    TShowComposer& pictured = Compose();
    pictured.PrepareBackground(64, 48);
    EXPECT_EQ(pictured.Background().Pixel(32, 24), 0xFF00FF00u);
    EXPECT_EQ(pictured.BackgroundFrame(80, 60).Pixel(70, 50), 0u) << "outside the background";
}

TEST_F(ShowComposerTest, ABrokenBackgroundPictureFailsAndABrokenItemThrowsItsError) {
    content.Background.assign(200, 0x5A);
    content.Header.BackgroundExt = ".png";
    EXPECT_THROW(Compose().PrepareBackground(32, 32), ImageError);

    content.Background.clear();
    PackageEntry<ItemRecord> broken;
    broken.Record.Ext = ".png";
    broken.Data.assign(300, 0x5A);
    content.Items.push_back(broken);
    TShowComposer& c = Compose();
    c.PrepareBackground(32, 32);
    const std::string file = WriteTempFile("SSIMG.png", broken.Data);
    EXPECT_THROW(c.ComposePicture(0, file, 2, 32, 32), ImageError);
}

// Random colours are drawn in a fixed order (both colours' red, green and blue, then the
// gradient), at start and for each item alike, so a seeded run gives the same show everywhere.
TEST_F(ShowComposerTest, RandomColoursComeInTheirFixedOrderAtStartAndPerItem) {
    content.Header.RandomColors = true;
    content.Header.RandomGradient = true;
    content.Header.RepaintBackgroundPerItem = true;
    TShowComposer& c = Compose();

    RandomSeed(42);
    const TColor first = RandomColor(), second = RandomColor();
    const int style = 1 + RandomInt(8);
    const TColor third = RandomColor();

    RandomSeed(42);
    EXPECT_EQ(ChooseStartColors(package.Header), ColorToPixel(first));
    EXPECT_EQ(package.Header.BackColor, first);
    EXPECT_EQ(package.Header.BackColor2, second);
    EXPECT_EQ(package.Header.GradientStyle, style);

    c.PrepareBackground(16, 16);
    c.RepaintBackgroundForItem();
    EXPECT_EQ(package.Header.BackColor, third);
    // A gradient is painted anew into every frame, in the colours now chosen.
    TBitmap32 repainted(16, 16);
    const PackageHeader& h = package.Header;
    PaintBackground(repainted, {h.BackColor, h.BackColor2, h.GradientStyle}, 0, nullptr);
    ExpectSamePixels(repainted, c.BackgroundFrame(16, 16));

    // Never over the desktop copy.
    package.Header.DesktopSnapshot = true;
    const TColor kept = package.Header.BackColor;
    c.RepaintBackgroundForItem();
    EXPECT_EQ(package.Header.BackColor, kept);
}

TEST_F(ShowComposerTest, APictureIsComposedOverTheBackgroundWithTheLogo) {
    AddPicture(SolidBitmap(20, 10, 0xFFFF0000u), 2); // natural size, centred
    content.Logo = EncodePng(SolidBitmap(4, 4, 0xFF0000FFu), false);
    content.Header.LogoExt = ".png";
    content.Header.LogoTransparentColor = kNoColor;
    content.Header.LogoPlacement = 0; // top left
    TShowComposer& c = Compose();
    c.PrepareBackground(100, 50);
    c.LoadLogo();
    ASSERT_TRUE(c.Logo());

    const std::string file = WriteTempFile("SSIMG.png", content.Items[0].Data);
    const TPictureItem item = c.ComposePicture(0, file, 2, 100, 50);
    EXPECT_EQ(item.itemRect, (TRect{40, 20, 60, 30}));
    EXPECT_EQ(item.frame.Pixel(50, 25), 0xFFFF0000u);
    EXPECT_EQ(item.frame.Pixel(5, 45), ColorToPixel(0x00302010));
    const TRect logo =
        PlaceOverlay(item.frame, 4, 4, 0, package.Header.LogoX, package.Header.LogoY);
    EXPECT_EQ(item.frame.Pixel(logo.left, logo.top), 0xFF0000FFu);

    TBitmap32 movie = c.BackgroundFrame(100, 50);
    c.DrawMovieBackground(movie);
    EXPECT_EQ(movie.Pixel(logo.left, logo.top), 0xFF0000FFu);

    c.Free();
    EXPECT_TRUE(c.Background().Empty());
    EXPECT_FALSE(c.Logo());
}

} // namespace

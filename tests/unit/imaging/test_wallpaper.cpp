// The wallpaper file: where it goes, the picture item as stored written there (a Windows bitmap
// copied as it is, anything else converted), replaced whole or not at all, and the notice.
#include "ImagingFixtures.h"
#include "imaging/Decode.h"
#include "imaging/Wallpaper.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

namespace fs = std::filesystem;

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST(WallpaperPath, FollowsXdgDataHomeOrFallsBackToTheHomeFolder) {
    EXPECT_EQ(WallpaperFilePath("/data/me", "/home/me"),
              "/data/me/pictorelle/Screen Saver Wallpaper.bmp");
    EXPECT_EQ(WallpaperFilePath("/data/me//", "/home/me"),
              "/data/me/pictorelle/Screen Saver Wallpaper.bmp");
    // Unset, empty and relative values are ignored, as the XDG rules say.
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/share"})
        EXPECT_EQ(WallpaperFilePath(ignored, "/home/me"),
                  "/home/me/.local/share/pictorelle/Screen Saver Wallpaper.bmp");
    EXPECT_THROW(WallpaperFilePath(nullptr, nullptr), PictorelleError);
    EXPECT_THROW(WallpaperFilePath("", "home"), PictorelleError);
}

TEST(WindowsBitmap, HoldsEveryPixelBottomUpWithPaddedRowsAndBlendsAlphaOverBlack) {
    TBitmap32 picture(3, 2); // 9 bytes a row, padded to 12
    picture.SetPixel(0, 0, 0xFF102030u);
    picture.SetPixel(1, 0, 0xFFFFFFFFu);
    picture.SetPixel(2, 0, 0x80FF8040u); // half transparent
    picture.SetPixel(0, 1, 0xFF000000u);
    picture.SetPixel(1, 1, 0xFFA0B0C0u);
    picture.SetPixel(2, 1, 0x00FFFFFFu); // fully transparent
    const Bytes bmp = EncodeWindowsBitmap(picture);

    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 10), 54u);
    EXPECT_EQ(Le32(bmp, 18), 3u);
    EXPECT_EQ(Le32(bmp, 22), 2u); // positive: bottom-up
    EXPECT_EQ(bmp[28], 24);
    // The first row in the file is the bottom one, blue green red.
    EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.begin() + 66),
              (Bytes{0, 0, 0, 0xC0, 0xB0, 0xA0, 0, 0, 0, 0, 0, 0}));

    const TDecodedPicture back = DecodePictureData(bmp, ".bmp");
    ASSERT_EQ(back.bitmap.Width(), 3);
    ASSERT_EQ(back.bitmap.Height(), 2);
    EXPECT_EQ(back.bitmap.Pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(back.bitmap.Pixel(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(back.bitmap.Pixel(2, 0), 0xFF804020u);
    EXPECT_EQ(back.bitmap.Pixel(1, 1), 0xFFA0B0C0u);
    EXPECT_EQ(back.bitmap.Pixel(2, 1), 0xFF000000u);
}

class ItemWallpaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = TempFolder() + "wallpaper-test/";
        fs::remove_all(folder);
        destination = folder + "nested/Screen Saver Wallpaper.bmp";
    }

    void Add(const std::string& ext, Bytes data, int flags = 0) {
        PackageEntry<ItemRecord> entry;
        entry.Record.Ext = ext;
        entry.Record.PictureFlags = flags;
        entry.Record.ItemStretch = 0;
        entry.Data = std::move(data);
        content.Items.push_back(std::move(entry));
    }

    void Pack() {
        showFile = WriteTempFile("wallpaper-show.scr", WritePackage(content));
        package = ReadPackage(FileSource(showFile));
    }

    Bytes Written() const { return ReadWholeFile(destination); }

    PackageContent content;
    Package package;
    std::string folder, destination, showFile;
};

TEST_F(ItemWallpaperTest, AJpegBecomesABitmapOfItsFullSizeAsStoredWhateverItsFlags) {
    const Bytes jpeg = EncodeJpeg(PatternBitmap(300, 200));
    Add(".jpg", jpeg, 0xFF); // every flag: mirrored, flipped, grey
    Pack();
    WriteItemWallpaper(showFile, package, 0, destination);

    const TDecodedPicture written = DecodePictureData(Written(), ".bmp");
    const TDecodedPicture stored = DecodePictureData(jpeg, ".jpg");
    ASSERT_EQ(written.bitmap.Width(), 300);
    ASSERT_EQ(written.bitmap.Height(), 200);
    for (auto [x, y] : {std::pair{0, 0}, {299, 0}, {0, 199}, {150, 100}, {299, 199}})
        EXPECT_EQ(written.bitmap.Pixel(x, y), stored.bitmap.Pixel(x, y)) << x << "," << y;
    // Its extracted file has gone again, and nothing half-written stays beside the wallpaper.
    EXPECT_FALSE(fs::exists(TempFolder() + "SSWIMG.jpg"));
    EXPECT_FALSE(fs::exists(destination + ".part"));
}

TEST_F(ItemWallpaperTest, ABitmapItemIsCopiedByteForByteWhateverTheCaseOfItsExtension) {
    // A palette bitmap with a note after its pixels: a conversion would change both.
    Bytes bmp = EncodeWithQt(PatternBitmap(17, 9), "BMP");
    bmp.insert(bmp.end(), {'n', 'o', 't', 'e'});
    Add(".BMP", bmp);
    Pack();
    WriteItemWallpaper(showFile, package, 0, destination);
    EXPECT_EQ(Written(), bmp);
}

TEST_F(ItemWallpaperTest, EachWriteReplacesTheLastAndAFailedOneLeavesItAsItWas) {
    Add(".png", EncodePng(SolidBitmap(4, 4, 0xFF00FF00u)));
    Add(".png", EncodePng(SolidBitmap(6, 5, 0xFF0000FFu)));
    Add(".png", Bytes(400, 0x5A)); // cannot be decoded
    Add(".bmp", Bytes{});          // an empty entry: nothing to copy
    Add(".wmv", Bytes(100, 0x11)); // a video is no picture
    Pack();

    WriteItemWallpaper(showFile, package, 0, destination);
    WriteItemWallpaper(showFile, package, 1, destination);
    const Bytes second = Written();
    EXPECT_EQ(DecodePictureData(second, ".bmp").bitmap.Pixel(5, 4), 0xFF0000FFu);

    EXPECT_THROW(WriteItemWallpaper(showFile, package, 2, destination), ImageError);
    EXPECT_EQ(Written(), second);
    EXPECT_THROW(WriteItemWallpaper(showFile, package, 4, destination), PictorelleError);
    EXPECT_THROW(WriteItemWallpaper(showFile, package, 5, destination), PictorelleError);
    EXPECT_THROW(WriteItemWallpaper(showFile, package, -1, destination), PictorelleError);
    EXPECT_EQ(Written(), second);
    EXPECT_FALSE(fs::exists(destination + ".part"));
}

TEST(WallpaperNotice, IsBlackTextOnAWhiteBoxFromItsCorner) {
    GuiApp();
    TBitmap32 screen(640, 400);
    screen.Clear(0xFF336699u);
    DrawWallpaperNotice(screen);
    EXPECT_EQ(screen.Pixel(kWallpaperNoticeX, kWallpaperNoticeY), 0xFFFFFFFFu);
    EXPECT_EQ(screen.Pixel(kWallpaperNoticeX - 1, kWallpaperNoticeY), 0xFF336699u);
    EXPECT_EQ(screen.Pixel(kWallpaperNoticeX, kWallpaperNoticeY - 1), 0xFF336699u);
    int dark = 0, white = 0;
    for (int y = kWallpaperNoticeY; y < kWallpaperNoticeY + 10; ++y)
        for (int x = kWallpaperNoticeX; x < kWallpaperNoticeX + 150; ++x) {
            const uint32_t p = screen.Pixel(x, y);
            if (p == 0xFFFFFFFFu)
                ++white;
            else if ((p & 0xFFu) < 0x80 && ((p >> 8) & 0xFFu) < 0x80 && (p >> 16 & 0xFFu) < 0x80)
                ++dark;
        }
    EXPECT_GT(dark, 20);   // the text
    EXPECT_GT(white, 200); // its box
    EXPECT_EQ(screen.Pixel(600, 350), 0xFF336699u);
}

} // namespace

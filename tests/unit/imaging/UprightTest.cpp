// Pictures stored turned, as cameras write them, come out upright: whatever the EXIF
// orientation, the decoded picture, its size and the part a plan asks for are the upright
// picture's. The turned copies are made with ImageMagick and tagged with exiftool.
#include "ImagingFixtures.h"
#include "core/Color.h"
#include "imaging/Decode.h"
#include "package/TempFolder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pictorelle::test {
namespace {

// 8 x 8 patches of distinct flat colours: JPEG keeps them nearly exact, and any turn or mirror
// puts some patch where another should be.
TBitmap32 patches(int columns, int rows) {
    TBitmap32 b(columns * 8, rows * 8);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const int i = (y / 8) * columns + x / 8;
            b.SetPixel(x, y,
                       MakePixel(static_cast<uint32_t>(40 + i * 13 % 200),
                                 static_cast<uint32_t>(220 - i * 29 % 180),
                                 static_cast<uint32_t>(i * 71 % 256)));
        }
    return b;
}

// What ImageMagick does to the upright picture to store it the way orientation n describes.
const char* storedBy(int n) {
    static const char* kOps[9] = {"",          "",           "-flop",       "-rotate 180",
                                  "-flip",     "-transpose", "-rotate -90", "-transverse",
                                  "-rotate 90"};
    return kOps[n];
}

// The upright picture stored turned for each orientation in the list, in the format of
// extension, tagged by one run of exiftool (it starts slowly).
std::vector<std::string> storedCopies(const TBitmap32& upright, const std::vector<int>& list,
                                      const std::string& extension) {
    const std::string source = WriteTempFile("upright.png", EncodePng(upright, false));
    const std::string options = extension == ".jpg" ? " -quality 100 -sampling-factor 1x1 " : " ";
    std::vector<std::string> paths;
    std::string tagging = "exiftool";
    for (const int n : list) {
        paths.push_back(TempFolder() + "stored-" + std::to_string(n) + extension);
        EXPECT_EQ(RunTool("convert " + source + " " + storedBy(n) + options + paths.back()), 0);
        if (n != list.front()) tagging += " -execute";
        tagging += " -Orientation=" + std::to_string(n) + " " + paths.back();
    }
    EXPECT_EQ(RunTool(tagging + " -common_args -overwrite_original -n"), 0);
    return paths;
}

TEST(Upright, EveryOrientationComesOutAsTheUprightPicture) {
    const TBitmap32 upright = patches(5, 3);
    const std::vector<int> all = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<std::string> jpegs = storedCopies(upright, all, ".jpg");
    const std::vector<std::string> pngs = storedCopies(upright, all, ".png");
    // TIFF's own orientation tag, the one EXIF borrowed; libtiff alone only flips.
    const std::vector<std::string> tiffs = storedCopies(upright, all, ".tif");
    for (int n = 1; n <= 8; ++n) {
        const std::string what = "orientation " + std::to_string(n);
        const TDecodedPicture jpeg = DecodePicture(jpegs[static_cast<size_t>(n - 1)]);
        EXPECT_EQ(jpeg.natural, (TSize{40, 24})) << what;
        EXPECT_EQ(jpeg.source, (TRect{0, 0, 40, 24})) << what;
        ASSERT_EQ(jpeg.bitmap.Width(), 40) << what;
        EXPECT_LE(MaxChannelError(upright, jpeg.bitmap), 3) << what;
        // PNG carries its EXIF in an eXIf chunk; lossless, so exactly the picture.
        const TDecodedPicture png = DecodePicture(pngs[static_cast<size_t>(n - 1)]);
        ExpectSamePixels(upright, png.bitmap, what + " (PNG)");
        const TDecodedPicture tiff = DecodePicture(tiffs[static_cast<size_t>(n - 1)]);
        EXPECT_EQ(tiff.natural, (TSize{40, 24})) << what;
        ExpectSamePixels(upright, tiff.bitmap, what + " (TIFF)");
    }
}

// A plan sees the upright picture and asks for a part of it; the decoder reads the matching
// part of the stored picture, reduced as the plan wants, and hands it back upright.
class UprightPlan : public ::testing::TestWithParam<const char*> {};

TEST_P(UprightPlan, APlanAsksAboutTheUprightPicture) {
    const TBitmap32 upright = patches(20, 40); // 160 x 320, stored 320 x 160
    const std::string path = storedCopies(upright, {6}, GetParam()).front();
    const TRect part{16, 48, 144, 304};
    TSize seen;
    const TDecodedPicture cut = DecodePicture(path, [&](TSize natural) {
        seen = natural;
        return TDecodeRequest{part, {}, {}};
    });
    EXPECT_EQ(seen, (TSize{160, 320}));
    EXPECT_EQ(cut.natural, (TSize{160, 320}));
    EXPECT_EQ(cut.source, part);
    TBitmap32 expected(part.width(), part.height());
    expected.Draw(0, 0, part, upright);
    EXPECT_LE(MaxChannelError(expected, cut.bitmap), 3);

    // Reduced to a quarter, once by the size wanted and once by a limit; the stored picture's
    // sides are the other way round, so either swapped wrongly gives another size.
    for (const TDecodeRequest& request :
         {TDecodeRequest{{}, {40, 80}, {}}, TDecodeRequest{{}, {}, {1000, 80}}}) {
        const TDecodedPicture small = DecodePicture(path, [&](TSize) { return request; });
        EXPECT_EQ(small.natural, (TSize{160, 320}));
        EXPECT_EQ(small.source, (TRect{0, 0, 160, 320}));
        ASSERT_EQ(small.bitmap.Width(), 40);
        ASSERT_EQ(small.bitmap.Height(), 80);
        // The first patch at the top left, the last at the bottom right.
        EXPECT_LE(MaxChannelError(SolidBitmap(1, 1, upright.Pixel(4, 4)),
                                  SolidBitmap(1, 1, small.bitmap.Pixel(0, 0))),
                  4);
        EXPECT_LE(MaxChannelError(SolidBitmap(1, 1, upright.Pixel(155, 315)),
                                  SolidBitmap(1, 1, small.bitmap.Pixel(39, 79))),
                  4);
    }
}

INSTANTIATE_TEST_SUITE_P(JpegAndTiff, UprightPlan, ::testing::Values(".jpg", ".tif"));

} // namespace
} // namespace pictorelle::test

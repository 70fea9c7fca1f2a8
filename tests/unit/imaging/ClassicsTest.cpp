// The kinds of files cameras, scanners and editors still write, made with ImageMagick (or
// libjpeg where ImageMagick cannot make them), each decoded to the colours it holds.
#include "ImagingFixtures.h"
#include "core/Color.h"
#include "imaging/Decode.h"
#include "package/TempFolder.h"

#include <gtest/gtest.h>
#include <string>

namespace pictorelle::test {
namespace {

// A file made by ImageMagick's convert from the arguments; its path.
std::string convert(const std::string& arguments, const std::string& name) {
    const std::string path = TempFolder() + name;
    EXPECT_EQ(RunTool("convert " + arguments + " " + path), 0) << arguments;
    return path;
}

void expectPixel(const TDecodedPicture& d, int x, int y, uint32_t want, int levels,
                 const std::string& what) {
    ASSERT_FALSE(d.bitmap.Empty()) << what;
    EXPECT_LE(MaxChannelError(SolidBitmap(1, 1, want), SolidBitmap(1, 1, d.bitmap.Pixel(x, y))),
              levels)
        << what << std::hex << ": want " << want << ", got " << d.bitmap.Pixel(x, y);
}

TEST(Classics, CmykAndYcckJpegsInEveryStorage) {
    // Magenta and yellow ink make red; a quarter black darkens it. (YCCK is only ever told
    // apart by the Adobe marker, so there is no plain YCCK.)
    for (const TCmykJpeg& kind :
         {TCmykJpeg{}, TCmykJpeg{false, false, {}}, TCmykJpeg{true, true, {}}}) {
        const std::string what =
            std::string(kind.adobe ? "Adobe " : "plain ") + (kind.ycck ? "YCCK" : "CMYK");
        const TDecodedPicture d =
            DecodePictureData(EncodeCmykJpeg(16, 16, 0, 255, 255, 64, kind), ".jpg");
        expectPixel(d, 8, 8, 0xFFBF0000u, 6, what);
    }
    // What ImageMagick writes for a CMYK picture.
    const TDecodedPicture magick =
        DecodePicture(convert("-size 16x16 xc:'cmyk(0,0,255,0)' -quality 95", "cmyk.jpg"));
    expectPixel(magick, 4, 4, 0xFFFFFF00u, 6, "ImageMagick CMYK");
}

TEST(Classics, PngsOfEveryKind) {
    expectPixel(DecodePicture(convert("-size 8x8 xc:'rgb(200,100,50)' -depth 16", "PNG48:d16.png")),
                3, 3, 0xFFC86432u, 0, "16-bit RGB");
    expectPixel(
        DecodePicture(convert("-size 8x8 xc:'rgba(200,100,50,0.5)' -depth 16", "PNG64:d16a.png")),
        3, 3, 0x80C86432u, 1, "16-bit RGBA");
    const TDecodedPicture greyAlpha = DecodePicture(
        convert("-size 8x8 xc:'graya(40%,0.25)' -define png:color-type=4 -define png:bit-depth=8",
                "grey-alpha.png"));
    expectPixel(greyAlpha, 1, 1, 0x40666666u, 1, "grey with alpha");
    // A palette with one transparent entry: the left half transparent, the right red.
    const TDecodedPicture palette = DecodePicture(
        convert("-size 8x8 xc:none -fill red -draw 'rectangle 4,0 7,7'", "PNG8:palette.png"));
    EXPECT_EQ(PixelAlpha(palette.bitmap.Pixel(1, 1)), 0u);
    expectPixel(palette, 6, 6, 0xFFFF0000u, 0, "palette with transparency");
    // Interlaced (Adam7), with rows and columns that differ.
    const TDecodedPicture interlaced =
        DecodePicture(convert("-size 13x11 gradient:red-blue -interlace PNG", "interlaced.png"));
    const TDecodedPicture plain =
        DecodePicture(convert("-size 13x11 gradient:red-blue", "plain.png"));
    ExpectSamePixels(plain.bitmap, interlaced.bitmap, "interlaced");
}

TEST(Classics, ProgressiveJpegMultiPageTiffAndBmpWithAlpha) {
    const TDecodedPicture progressive = DecodePicture(
        convert("-size 64x48 xc:'rgb(30,120,210)' -interlace JPEG -quality 95", "prog.jpg"));
    expectPixel(progressive, 40, 30, 0xFF1E78D2u, 3, "progressive JPEG");

    // Several pages: the first is the picture.
    const TDecodedPicture pages =
        DecodePicture(convert("-size 8x6 xc:red xc:blue xc:lime", "pages.tif"));
    EXPECT_EQ(pages.natural, (TSize{8, 6}));
    expectPixel(pages, 2, 2, 0xFFFF0000u, 0, "first TIFF page");

    const TDecodedPicture bmp = DecodePicture(
        convert("-size 8x8 xc:'rgba(0,0,255,0.5)' -define bmp:format=bmp4", "alpha.bmp"));
    expectPixel(bmp, 5, 5, 0x800000FFu, 1, "BMP with alpha");
}

} // namespace
} // namespace pictorelle::test

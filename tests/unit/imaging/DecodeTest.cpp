#include "imaging/Decode.h"

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "imaging/GifImage.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

// A smooth picture that survives JPEG compression almost unchanged.
TBitmap32 smooth(int w, int h) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       MakePixel(x * 255 / std::max(w - 1, 1), y * 255 / std::max(h - 1, 1), 128));
    return b;
}

// A picture with a spread of alpha values, for the formats that carry alpha.
TBitmap32 translucent(int w, int h) {
    TBitmap32 b = PatternBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       (b.Pixel(x, y) & 0x00FFFFFFu) | (uint32_t((x * 40 + y * 7) & 0xFF) << 24));
    return b;
}

void putBigEndian16(Bytes& b, size_t at, unsigned v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

void putBigEndian32(Bytes& b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (24 - 8 * k));
}

void putLittleEndian16(Bytes& b, size_t at, unsigned v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void expectRefused(const Bytes& bytes, const char* ext) {
    EXPECT_THROW(DecodePictureData(bytes, ext), ImageError) << ext;
}

} // namespace

TEST(Decode, PngKeepsEveryPixelAndItsAlpha) {
    const TBitmap32 picture = translucent(13, 9);
    ExpectSamePixels(picture, DecodePictureData(EncodePng(picture), ".png").bitmap);
    ExpectSamePixels(picture, DecodePictureData(EncodePng(picture, true, true), "PNG").bitmap);
    // Without an alpha channel the pixels come out opaque.
    const TBitmap32 opaque = PatternBitmap(5, 4);
    const TDecodedPicture d = DecodePictureData(EncodePng(opaque, false), ".png");
    ExpectSamePixels(opaque, d.bitmap);
    EXPECT_EQ(d.natural, (TSize{5, 4}));
}

TEST(Decode, JpegDecodesOpaqueAndCloseToTheOriginal) {
    const TBitmap32 picture = smooth(64, 48);
    const TDecodedPicture d = DecodePictureData(EncodeJpeg(picture, 98), ".JPG");
    ASSERT_EQ(d.natural, (TSize{64, 48}));
    EXPECT_LE(MaxChannelError(picture, d.bitmap), 8);

    // Adobe CMYK: pure magenta + yellow is red.
    const TBitmap32 red = DecodePictureData(EncodeCmykJpeg(16, 16, 0, 255, 255, 0), ".jpeg").bitmap;
    EXPECT_LE(MaxChannelError(SolidBitmap(16, 16, 0xFFFF0000u), red), 6);
}

// A progressive file padded with copies of its last scan, which cost a pass over the whole
// picture each while carrying a few bytes: a large picture is refused before it has paid for
// them all, a small one with as many scans still decodes.
TEST(Decode, ProgressiveScansAreCappedByThePictureSize) {
    auto padded = [](int side, int copies) {
        Bytes jpeg = EncodeJpeg(SolidBitmap(side, side, 0xFF3080C0u), 90, true);
        size_t last = 0;
        for (size_t i = 0; i + 1 < jpeg.size(); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
        const Bytes scan(jpeg.begin() + static_cast<std::ptrdiff_t>(last), jpeg.end() - 2);
        for (int k = 0; k < copies; ++k)
            jpeg.insert(jpeg.end() - 2, scan.begin(), scan.end());
        return jpeg;
    };
    auto near = [](uint32_t p) {
        return MaxChannelError(SolidBitmap(1, 1, p), SolidBitmap(1, 1, 0xFF3080C0u)) <= 2;
    };
    EXPECT_TRUE(near(DecodePictureData(padded(3000, 0), ".jpg").bitmap.Pixel(1500, 1500)));
    try {
        DecodePictureData(padded(3000, 200), ".jpg");
        ADD_FAILURE() << "200 extra scans over 9 megapixels were decoded";
    } catch (const ImageError& e) {
        EXPECT_NE(std::string(e.what()).find("too many progressive scans"), std::string::npos)
            << e.what();
    }
    const TDecodedPicture small = DecodePictureData(padded(64, 200), ".jpg");
    EXPECT_TRUE(near(small.bitmap.Pixel(10, 10)));
}

TEST(Decode, JpegUsesTheSmallestScaleThatCoversTheTarget) {
    const Bytes jpeg = EncodeJpeg(smooth(800, 600));
    TSize seen;
    auto want = [&seen](TSize size) {
        return [&seen, size](TSize natural) {
            seen = natural;
            return TDecodeRequest{{}, size, {}};
        };
    };
    TDecodedPicture d = DecodePictureData(jpeg, ".jpg", want({190, 140}));
    EXPECT_EQ(seen, (TSize{800, 600}));
    EXPECT_EQ(d.natural, (TSize{800, 600}));
    EXPECT_EQ(d.bitmap.Width(), 200);
    EXPECT_EQ(d.bitmap.Height(), 150);
    // Just above a quarter: only half scale covers it.
    d = DecodePictureData(jpeg, ".jpg", want({201, 10}));
    EXPECT_EQ(d.bitmap.Width(), 400);
    d = DecodePictureData(jpeg, ".jpg", want({1, 1}));
    EXPECT_EQ(d.bitmap.Width(), 100);
    d = DecodePictureData(jpeg, ".jpg", want({801, 600}));
    EXPECT_EQ(d.bitmap.Width(), 800);
    // The reduced picture still looks like the original.
    d = DecodePictureData(jpeg, ".jpg", want({100, 75}));
    EXPECT_LE(PixelRed(d.bitmap.Pixel(0, 0)), 8u);
    EXPECT_GE(PixelRed(d.bitmap.Pixel(99, 74)), 247u);
}

TEST(Decode, TiffWithAndWithoutAlpha) {
    const TBitmap32 rgb = PatternBitmap(11, 7);
    ExpectSamePixels(rgb, DecodePictureData(EncodeTiff(rgb), ".tif").bitmap);
    // libtiff premultiplies unassociated alpha; straight colour comes back within rounding.
    const TBitmap32 rgba = translucent(11, 7);
    const TBitmap32 back = DecodePictureData(EncodeTiff(rgba, true), ".TIFF").bitmap;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 11; ++x) {
            const uint32_t want = rgba.Pixel(x, y), got = back.Pixel(x, y);
            ASSERT_EQ(PixelAlpha(got), PixelAlpha(want));
            if (PixelAlpha(want) < 64) continue; // colour precision goes with the alpha
            ASSERT_NEAR(static_cast<int>(PixelRed(got)), static_cast<int>(PixelRed(want)), 4);
            ASSERT_NEAR(static_cast<int>(PixelBlue(got)), static_cast<int>(PixelBlue(want)), 4);
        }
}

TEST(Decode, GifTransparencyIsTheDecodersNotTheColours) {
    TBitmap32 picture = SolidBitmap(4, 3, 0xFF000000u); // visible black
    picture.SetPixel(1, 1, 0x00000000u);                // transparent, palette colour black
    picture.SetPixel(2, 1, 0xFFFF8000u);
    const TDecodedPicture d = DecodePictureData(EncodeGif({picture}), ".gif");
    ASSERT_TRUE(d.transparentPixel.has_value());
    EXPECT_EQ(*d.transparentPixel, 0x00000000u);
    EXPECT_EQ(d.bitmap.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(d.bitmap.Pixel(1, 1), 0x00000000u);
    EXPECT_EQ(d.bitmap.Pixel(2, 1), 0xFFFF8000u);
}

TEST(Decode, GifFramesDelaysLoopingAndInterlace) {
    const TBitmap32 a = PatternBitmap(9, 19), b = SolidBitmap(9, 19, 0xFF00FF00u);
    const TGifImage gif = ReadGif(EncodeGif({a, b, a}, true, 25, true));
    ASSERT_EQ(gif.frames.size(), 3u);
    EXPECT_TRUE(gif.loops);
    EXPECT_EQ(gif.frames[1].delayMs, 250);
    EXPECT_EQ(gif.screen, (TSize{9, 19}));
    // Interlaced rows come back in picture order.
    ExpectSamePixels(a, GifFirstFrameImage(gif));
    EXPECT_FALSE(ReadGif(EncodeGif({a})).loops);
    EXPECT_EQ(ReadGif(EncodeGif({a, b, a}), 2).frames.size(), 2u);
}

TEST(Decode, GifFirstFrameFillsWhatTheFrameLeavesUncovered) {
    TGifImage gif;
    gif.screen = {4, 3};
    gif.backgroundPixel = 0xFF0000FFu;
    TGifFrame frame;
    frame.rect = {1, 1, 6, 2}; // reaches past the screen's right edge
    frame.indices = {0, 1, 0, 0, 0};
    frame.palette[0] = 0xFFFF0000u;
    frame.palette[1] = 0xFF00FF00u;
    gif.frames.push_back(frame);
    TBitmap32 image = GifFirstFrameImage(gif);
    EXPECT_EQ(image.Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(image.Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(image.Pixel(2, 1), 0xFF00FF00u);
    EXPECT_EQ(image.Pixel(3, 1), 0xFFFF0000u);

    gif.frames[0].transparentIndex = 1;
    image = GifFirstFrameImage(gif);
    EXPECT_EQ(image.Pixel(0, 0), 0x0000FF00u);
    EXPECT_EQ(image.Pixel(2, 1), 0x0000FF00u);
    EXPECT_EQ(image.Pixel(1, 1), 0xFFFF0000u);
}

TEST(Decode, BmpAndIcoThroughQt) {
    const TBitmap32 picture = PatternBitmap(7, 5);
    ExpectSamePixels(picture, DecodePictureData(EncodeWithQt(picture, "bmp"), ".Bmp").bitmap);
    // Icons keep their alpha; the writer loses colour precision where alpha is low.
    TBitmap32 icon = translucent(16, 16);
    const TDecodedPicture d = DecodePictureData(EncodeWithQt(icon, "ico"), ".ico");
    EXPECT_EQ(d.natural, (TSize{16, 16}));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(PixelAlpha(d.bitmap.Pixel(x, y)), PixelAlpha(icon.Pixel(x, y)));
            if (PixelAlpha(icon.Pixel(x, y)) < 128) icon.SetPixel(x, y, d.bitmap.Pixel(x, y));
        }
    EXPECT_LE(MaxChannelError(icon, d.bitmap), 2);
}

TEST(Decode, ByFileExtensionInAnyCase) {
    const TBitmap32 picture = PatternBitmap(3, 2);
    const std::string path = WriteTempFile("picture.PnG", EncodePng(picture));
    ExpectSamePixels(picture, DecodePicture(path).bitmap);
    // The content does not choose the decoder: PNG bytes named .jpg fail.
    EXPECT_THROW(DecodePicture(WriteTempFile("picture.jpg", EncodePng(picture))), ImageError);
    EXPECT_THROW(DecodePicture(WriteTempFile("picture.wmf", {1, 2, 3})), ImageError);
    EXPECT_THROW(DecodePicture(WriteTempFile("picture.EMF", {1, 2, 3})), ImageError);
    EXPECT_THROW(DecodePicture(WriteTempFile("picture.xyz", {1, 2, 3})), ImageError);
    EXPECT_THROW(DecodePicture(WriteTempFile("noextension", {1, 2, 3})), ImageError);
    EXPECT_THROW(DecodePicture("/nonexistent/picture.png"), ImageError);
    EXPECT_EQ(FormatOfExtension("jpe"), TPictureFormat::Jpeg);
    EXPECT_EQ(FormatOfExtension(".Tif"), TPictureFormat::Tiff);
}

TEST(Decode, DamagedFilesFailCleanly) {
    struct Sample {
        const char* ext;
        Bytes bytes;
    };
    const TBitmap32 picture = translucent(23, 17);
    TBitmap32 few = PatternBitmap(23, 17);
    for (int y = 0; y < few.Height(); ++y)
        for (int x = 0; x < few.Width(); ++x)
            few.SetPixel(x, y, few.Pixel(x, y) & 0xFFC0C0C0u); // 64 colours at most
    few.SetPixel(3, 3, 0);
    const std::vector<Sample> samples = {
        {".jpg", EncodeJpeg(picture)},          {".png", EncodePng(picture, true, true)},
        {".tif", EncodeTiff(picture, true)},    {".gif", EncodeGif({few, PatternBitmap(7, 5)})},
        {".bmp", EncodeWithQt(picture, "bmp")}, {".ico", EncodeWithQt(picture, "ico")},
    };
    std::mt19937 gen(1234);
    for (const Sample& s : samples) {
        const size_t n = s.bytes.size();
        auto attempt = [&](const Bytes& bytes, const std::string& what) {
            try {
                const TDecodedPicture d = DecodePictureData(bytes, s.ext);
                EXPECT_FALSE(d.bitmap.Empty()) << s.ext << " " << what;
            } catch (const ImageError&) {
            }
        };
        for (size_t len :
             {size_t{0}, size_t{1}, size_t{8}, size_t{20}, n / 4, n / 2, n - 10, n - 1})
            attempt(Bytes(s.bytes.begin(), s.bytes.begin() + static_cast<long>(std::min(len, n))),
                    "truncated to " + std::to_string(len));
        for (int round = 0; round < 40; ++round) {
            Bytes bytes = s.bytes;
            for (int k = 0; k < 4; ++k)
                bytes[gen() % n] = static_cast<uint8_t>(gen());
            attempt(bytes, "corrupted, round " + std::to_string(round));
        }
    }
}

TEST(Decode, HugeDimensionsAreRefusedBeforeDecoding) {
    // PNG: 40000 x 40000 in the header, with a valid checksum.
    Bytes png = EncodePng(PatternBitmap(2, 2));
    putBigEndian32(png, 16, 40000);
    putBigEndian32(png, 20, 40000);
    putBigEndian32(png, 29, static_cast<uint32_t>(crc32(0, png.data() + 12, 17)));
    expectRefused(png, ".png");
    // Within the side limit but over the pixel budget.
    putBigEndian32(png, 16, 20000);
    putBigEndian32(png, 20, 20000);
    putBigEndian32(png, 29, static_cast<uint32_t>(crc32(0, png.data() + 12, 17)));
    expectRefused(png, ".png");

    // JPEG: the frame header says 30000 x 30000.
    Bytes jpeg = EncodeJpeg(PatternBitmap(8, 8));
    size_t at = 0;
    while (at + 1 < jpeg.size() && !(jpeg[at] == 0xFF && jpeg[at + 1] == 0xC0))
        ++at;
    ASSERT_LT(at + 9, jpeg.size());
    putBigEndian16(jpeg, at + 5, 30000);
    putBigEndian16(jpeg, at + 7, 30000);
    expectRefused(jpeg, ".jpg");

    // GIF: a 65535 x 65535 screen and image.
    Bytes gif = EncodeGif({PatternBitmap(2, 2)});
    putLittleEndian16(gif, 6, 65535);
    putLittleEndian16(gif, 8, 65535);
    const auto desc = std::find(gif.begin() + 13 + 8, gif.end(), uint8_t{0x2C});
    ASSERT_NE(desc, gif.end());
    const auto d = static_cast<size_t>(desc - gif.begin());
    putLittleEndian16(gif, d + 5, 65535);
    putLittleEndian16(gif, d + 7, 65535);
    expectRefused(gif, ".gif");

    // TIFF: the width and length tags of the first directory say 50000.
    Bytes tif = EncodeTiff(PatternBitmap(2, 2));
    ASSERT_EQ(tif[0], 'I');
    const uint32_t ifd = tif[4] | (tif[5] << 8) | (tif[6] << 16) | (uint32_t(tif[7]) << 24);
    const unsigned entries = tif[ifd] | (tif[ifd + 1] << 8);
    for (unsigned e = 0; e < entries; ++e) {
        const size_t entry = ifd + 2 + 12 * e;
        const unsigned tag = tif[entry] | (tif[entry + 1] << 8);
        if (tag == 256 || tag == 257) putLittleEndian16(tif, entry + 8, 50000);
    }
    expectRefused(tif, ".tif");

    // BMP: a bare header claiming 50000 x 50000 pixels.
    Bytes bmp(54, 0);
    bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[14] = 40, bmp[26] = 1, bmp[28] = 24;
    bmp[18] = 0x50, bmp[19] = 0xC3; // 50000, little-endian
    bmp[22] = 0x50, bmp[23] = 0xC3;
    expectRefused(bmp, ".bmp");
}

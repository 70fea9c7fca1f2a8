// TIFF and GIF decoded at a reduced size: the result must be what the full decode gives, box
// averaged (TIFF) or sampled on the grid (GIF), and a header's claims must not cost memory.
#include "ImagingFixtures.h"
#include "core/IntMath.h"
#include "imaging/Decode.h"
#include "imaging/GifAnimation.h"
#include "imaging/GifImage.h"
#include "imaging/RowReducer.h"
#include "package/TempFolder.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <tiffio.h>
#include <vector>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

TDecodePlan plan(TRect source, TSize wanted) {
    return [=](TSize) { return TDecodeRequest{source, wanted, {}}; };
}

// The oracle: the box average of part of a full-size picture.
TBitmap32 reduced(const TBitmap32& full, TRect part, int factor) {
    TRowReducer reducer(part, factor);
    for (int y = 0; y < full.Height(); ++y)
        reducer.AddRow(y, full.ScanLine(y));
    return reducer.Finish();
}

struct TiffLayout {
    uint32_t rowsPerStrip;
    uint16_t orientation;
    uint16_t compression;
};

// A gray or RGB TIFF whose row y (in file order) is row(y, samples).
Bytes writeTiff(uint32_t width, uint32_t height, uint16_t samples, TiffLayout layout,
                const std::function<void(uint32_t, uint8_t*)>& row) {
    // The process's own folder: tests run side by side in several processes.
    const std::string path = TempFolder() + "reduced-fixture.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) throw std::runtime_error("cannot write the TIFF fixture");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, layout.rowsPerStrip);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, layout.orientation);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, layout.compression);
    if (layout.compression == COMPRESSION_ADOBE_DEFLATE) TIFFSetField(tif, TIFFTAG_ZIPQUALITY, 1);
    std::vector<uint8_t> line(size_t{width} * samples);
    for (uint32_t y = 0; y < height; ++y) {
        row(y, line.data());
        TIFFWriteScanline(tif, line.data(), y, 0);
    }
    TIFFClose(tif);
    std::ifstream in(path, std::ios::binary);
    Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    return bytes;
}

TEST(DecodeReducedTiff, EveryLayoutGivesTheBoxAverageOfTheFullPicture) {
    // Tall enough for several bands: strips that fit a band, and one strip cut into bands.
    const TBitmap32 picture = PatternBitmap(2048, 1100);
    const std::vector<TiffLayout> layouts = {
        {16, ORIENTATION_TOPLEFT, COMPRESSION_LZW},
        {16, ORIENTATION_BOTLEFT, COMPRESSION_LZW},
        {1100, ORIENTATION_TOPLEFT, COMPRESSION_ADOBE_DEFLATE},
        {1100, ORIENTATION_BOTLEFT, COMPRESSION_ADOBE_DEFLATE},
    };
    for (const TiffLayout& layout : layouts) {
        const std::string what = "rows per strip " + std::to_string(layout.rowsPerStrip) +
                                 ", orientation " + std::to_string(layout.orientation);
        const bool bottomUp = layout.orientation == ORIENTATION_BOTLEFT;
        const Bytes tif = writeTiff(2048, 1100, 3, layout, [&](uint32_t y, uint8_t* s) {
            const uint32_t* p = picture.ScanLine(bottomUp ? 1099 - static_cast<int>(y) : y);
            for (int x = 0; x < 2048; ++x, s += 3) {
                s[0] = static_cast<uint8_t>(p[x] >> 16);
                s[1] = static_cast<uint8_t>(p[x] >> 8);
                s[2] = static_cast<uint8_t>(p[x]);
            }
        });
        const TDecodedPicture full = DecodePictureData(tif, ".tif");
        ExpectSamePixels(picture, full.bitmap, what + ", full size");

        const TRect whole{0, 0, 2048, 1100}, part{301, 517, 1999, 1093};
        TDecodedPicture d = DecodePictureData(tif, ".tif", plan({}, {1024, 550}));
        EXPECT_EQ(d.natural, (TSize{2048, 1100}));
        EXPECT_EQ(d.source, whole);
        ExpectSamePixels(reduced(picture, whole, 2), d.bitmap, what + ", halved");

        d = DecodePictureData(tif, ".tif", plan(part, {CeilDiv(1698, 3), CeilDiv(576, 3)}));
        EXPECT_EQ(d.source, part);
        ExpectSamePixels(reduced(picture, part, 3), d.bitmap, what + ", cropped and reduced by 3");
    }
}

TEST(DecodeReducedTiff, AlphaIsStraightenedBeforeItIsAveraged) {
    TBitmap32 picture = PatternBitmap(37, 29);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x)
            picture.SetPixel(x, y,
                             (picture.Pixel(x, y) & 0x00FFFFFFu) |
                                 (static_cast<uint32_t>((x * 40 + y * 7) & 0xFF) << 24));
    const Bytes tif = EncodeTiff(picture, true);
    const TBitmap32 full = DecodePictureData(tif, ".tif").bitmap;
    const TRect part{3, 2, 36, 29};
    ExpectSamePixels(reduced(full, part, 2),
                     DecodePictureData(tif, ".tif", plan(part, {17, 14})).bitmap, "alpha, halved");
}

TEST(DecodeReducedTiff, AGiantStripCostsNoMoreThanItsLimit) {
    // 30000 x 3000 gray in one deflate strip of zeros: a few hundred kilobytes of file whose
    // strip alone would take 90 MB.
    const Bytes tif =
        writeTiff(30000, 3000, 1, {3000, ORIENTATION_TOPLEFT, COMPRESSION_ADOBE_DEFLATE},
                  [](uint32_t, uint8_t* s) { std::fill_n(s, 30000, 0); });
    try {
        const TDecodedPicture d = DecodePictureData(tif, ".tif", plan({}, {1920, 1080}));
        EXPECT_LE(d.bitmap.Width(), 1920 * 2);
        EXPECT_LE(d.bitmap.Height(), 1080 * 2);
    } catch (const ImageError&) {
    }
}

TEST(DecodeReducedTiff, AbandonedBetweenBands) {
    const Bytes tif = EncodeTiff(PatternBitmap(20, 20));
    std::atomic<bool> cancelled{true};
    const TDecodeCancelScope scope(&cancelled);
    EXPECT_THROW(DecodePictureData(tif, ".tif"), TDecodeCancelled);
}

// GIF files with frames placed anywhere on the screen, as giflib writes them.
struct FrameSpec {
    TRect rect;
    TGifDisposal disposal = TGifDisposal::Keep;
    int transparentIndex = -1;
    bool interlaced = false;
};

int gifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// Frame k's pixel (x, y) of its rectangle has palette index (x * 3 + y * 5 + k * 7) % 16, so
// every frame has some of its transparent index and the frames differ from one another.
Bytes encodeGif(TSize screen, const std::vector<FrameSpec>& frames) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWrite, &error);
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours(16);
    for (int i = 0; i < 16; ++i)
        colours[static_cast<size_t>(i)] = {static_cast<GifByteType>(i * 16),
                                           static_cast<GifByteType>(255 - i * 8),
                                           static_cast<GifByteType>(i * 5)};
    ColorMapObject* map = GifMakeMapObject(16, colours.data());
    EGifPutScreenDesc(gif, screen.width, screen.height, 4, 3, map);
    for (size_t k = 0; k < frames.size(); ++k) {
        const FrameSpec& f = frames[k];
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = static_cast<int>(f.disposal);
        gcb.DelayTime = 5;
        gcb.TransparentColor = f.transparentIndex;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
        const int w = f.rect.width(), h = f.rect.height();
        EGifPutImageDesc(gif, f.rect.left, f.rect.top, w, h, f.interlaced, nullptr);
        std::vector<int> order;
        for (auto [start, step] :
             f.interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                          : std::vector<std::pair<int, int>>{{0, 1}})
            for (int y = start; y < h; y += step)
                order.push_back(y);
        std::vector<GifPixelType> line(static_cast<size_t>(w));
        for (int y : order) {
            for (int x = 0; x < w; ++x)
                line[static_cast<size_t>(x)] =
                    static_cast<GifPixelType>((x * 3 + y * 5 + static_cast<int>(k) * 7) % 16);
            EGifPutLine(gif, line.data(), w);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// The full-size image seen through the canvas grid of factor f.
TBitmap32 sampled(const TBitmap32& full, int f) {
    TBitmap32 out(CeilDiv(full.Width(), f), CeilDiv(full.Height(), f));
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x)
            out.SetPixel(x, y,
                         full.Pixel(std::min(x * f + f / 2, full.Width() - 1),
                                    std::min(y * f + f / 2, full.Height() - 1)));
    return out;
}

TEST(DecodeReducedGif, EveryFrameIsTheFullCompositionSampledOnTheGrid) {
    const TSize screen{37, 23};
    const Bytes file = encodeGif(
        screen, {
                    {{0, 0, 37, 23}, TGifDisposal::Keep, -1, false},
                    {{5, 3, 20, 15}, TGifDisposal::RestoreBackground, 4, true},
                    {{10, 8, 36, 22}, TGifDisposal::RestorePrevious, 9, false},
                    {{0, 0, 7, 5}, TGifDisposal::Unspecified, -1, true},
                    {{30, 18, 37, 23}, TGifDisposal::RestoreBackground, 2, false},
                    {{1, 1, 2, 2}, TGifDisposal::Keep, 0, false},     // between the sample points
                    {{12, 6, 40, 25}, TGifDisposal::Keep, 11, false}, // past the screen
                });
    TGifAnimator full(ReadGif(file));
    ASSERT_EQ(full.FrameCount(), 7);
    for (int f : {2, 3}) {
        const TSize canvas{CeilDiv(37, f), CeilDiv(23, f)};
        const TGifImage gif = ReadGif(file, 100, plan({}, canvas));
        ASSERT_EQ(gif.factor, f);
        EXPECT_EQ(gif.screen, screen);
        EXPECT_EQ(gif.Canvas(), canvas);
        EXPECT_LE(gif.frames[0].indices.size(), size_t(canvas.width * canvas.height));
        TGifAnimator small(gif);
        for (int k = 0; k < full.FrameCount(); ++k)
            ExpectSamePixels(sampled(full.Frame(k), f), small.Frame(k),
                             "factor " + std::to_string(f) + ", frame " + std::to_string(k));

        const TDecodedPicture first = DecodePictureData(file, ".gif", plan({}, canvas));
        EXPECT_EQ(first.natural, screen);
        EXPECT_EQ(first.source, (TRect{0, 0, 37, 23}));
        ExpectSamePixels(sampled(full.Frame(0), f), first.bitmap, "first frame alone");
    }
}

TEST(DecodeReducedGif, AHugeScreenWithATinyFrameCostsOnlyTheCanvas) {
    const Bytes file = encodeGif({10000, 10000}, {{{5000, 5000, 5001, 5001}}});
    const TDecodedPicture d = DecodePictureData(file, ".gif", plan({}, {1080, 1080}));
    EXPECT_EQ(d.natural, (TSize{10000, 10000}));
    EXPECT_GE(d.bitmap.Width(), 1080);
    EXPECT_LE(d.bitmap.Width(), 1300);
    EXPECT_EQ(d.bitmap.Width(), d.bitmap.Height());

    const std::string path = WriteTempFile("huge-screen.gif", file);
    const auto animator = LoadGif(path, [](TSize) { return TDecodeRequest{{}, {}, {1920, 1080}}; });
    EXPECT_EQ(animator->Gif().screen, (TSize{10000, 10000}));
    EXPECT_LE(animator->Frame(0).Width(), 1920);
    EXPECT_LE(animator->Frame(0).Height(), 1080);
}

TEST(DecodeReducedGif, AbandoningALaterFrameIsNotTakenForADamagedTail) {
    // The plan runs once the first frame is described; abandoning there stops the reading in the
    // second frame, which must not pass for the end of the file.
    const Bytes file = encodeGif({10, 70}, {{{0, 0, 10, 10}}, {{0, 0, 10, 70}}});
    std::atomic<bool> cancelled{false};
    const TDecodeCancelScope scope(&cancelled);
    EXPECT_THROW(ReadGif(file, 100,
                         [&](TSize) {
                             cancelled = true;
                             return TDecodeRequest{};
                         }),
                 TDecodeCancelled);
}

} // namespace

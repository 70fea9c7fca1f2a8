// Pictures decoded only as far as the screen shows them: the reduction rules, the row reducer,
// JPEG and PNG parts and reductions against their full decodes, and the memory a progressive
// JPEG may claim.
#include "ImagingFixtures.h"
#include "imaging/Compose.h"
#include "imaging/Decode.h"
#include "imaging/RowReducer.h"
#include "package/PackageLayout.h"

#include <gtest/gtest.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

TDecodePlan ask(TRect source, TSize wanted, TSize limit = {}) {
    return [=](TSize) { return TDecodeRequest{source, wanted, limit}; };
}

// The part of a bitmap, as a bitmap of its own.
TBitmap32 partOf(const TBitmap32& b, const TRect& r) {
    TBitmap32 out(r.width(), r.height());
    out.Draw(0, 0, r, b);
    return out;
}

// The full decode reduced by the reducer itself: what every decoder's reduced output must be.
TBitmap32 reducedFull(const TBitmap32& full, const TRect& part, int factor) {
    TRowReducer reducer(part, factor);
    for (int y = 0; y < full.Height(); ++y)
        reducer.AddRow(y, full.ScanLine(y));
    return reducer.Finish();
}

} // namespace

TEST(DecodePlan, FactorsCoverWhatIsWantedAndKeepWithinTheLimit) {
    EXPECT_EQ(ReductionFactor({800, 600}, {800, 600}, {}), 1);
    EXPECT_EQ(ReductionFactor({800, 600}, {200, 150}, {}), 4);
    EXPECT_EQ(ReductionFactor({800, 600}, {201, 10}, {}), 3); // ceil(800 / 4) = 200 < 201
    EXPECT_EQ(ReductionFactor({10000, 10000}, {1080, 1080}, {}), 9);
    // The limit wins: natural size asked for, but no more than twice a 1920 x 1080 frame.
    EXPECT_EQ(ReductionFactor({10000, 10000}, {10000, 10000}, {3840, 2160}), 5);
    EXPECT_EQ(LimitFactor({3841, 100}, {3840, 2160}), 2);
    EXPECT_EQ(LimitFactor({3840, 2160}, {3840, 2160}), 1);
    // Requests are clipped to the picture and filled in.
    const TDecodeRequest r = ResolveRequest(ask({-5, 10, 50, 500}, {}), {40, 30});
    EXPECT_EQ(r.source, (TRect{0, 10, 40, 30}));
    EXPECT_EQ(r.wanted, (TSize{40, 20}));
    EXPECT_EQ(ResolveRequest({}, {40, 30}).source, (TRect{0, 0, 40, 30}));
}

TEST(DecodePlan, TheReducerAveragesByAlphaAndCrops) {
    // Two opaque pixels and two invisible bright ones: the invisible colour must not bleed in.
    const uint32_t row0[] = {0xFF000000u, 0x00FFFFFFu, 0xFF102030u};
    const uint32_t row1[] = {0xFF204060u, 0x00FFFFFFu, 0xFF102030u};
    TRowReducer reducer({0, 0, 3, 2}, 2);
    reducer.AddRow(0, row0);
    reducer.AddRow(1, row1);
    const TBitmap32 out = reducer.Finish();
    ASSERT_EQ(out.Width(), 2);
    ASSERT_EQ(out.Height(), 1);
    EXPECT_EQ(out.Pixel(0, 0), 0x80102030u); // half covered, colour of the two visible pixels
    EXPECT_EQ(out.Pixel(1, 0), 0xFF102030u); // a partial block at the edge
    // Only the part's rows and columns; rows that never come are opaque black.
    TRowReducer crop({1, 1, 3, 3}, 1);
    crop.AddRow(0, row0);
    crop.AddRow(1, row1);
    const TBitmap32 part = crop.Finish();
    EXPECT_EQ(part.Pixel(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(part.Pixel(1, 0), 0xFF102030u);
    EXPECT_EQ(part.Pixel(0, 1), 0xFF000000u);
}

TEST(DecodePlan, JpegPartsAndFurtherReductionsMatchTheFullDecode) {
    const TBitmap32 picture = PatternBitmap(300, 200);
    for (const bool progressive : {false, true}) {
        const Bytes jpeg = EncodeJpeg(picture, 90, progressive);
        const TBitmap32 full = DecodePictureData(jpeg, ".jpg").bitmap;
        const TRect part{37, 51, 237, 151};
        const TDecodedPicture cropped = DecodePictureData(jpeg, ".jpg", ask(part, part.size()));
        EXPECT_EQ(cropped.source, part);
        EXPECT_EQ(cropped.natural, (TSize{300, 200}));
        ExpectSamePixels(cropped.bitmap, partOf(full, part));
        // A limit tighter than libjpeg's halves: the half-scale decode, reduced again. (A
        // progressive file may not keep its whole-picture buffer within so small a limit.)
        if (progressive) continue;
        const TBitmap32 half = DecodePictureData(jpeg, ".jpg", ask({}, {150, 100})).bitmap;
        ASSERT_EQ(half.Width(), 150);
        const TDecodedPicture small =
            DecodePictureData(jpeg, ".jpg", ask({}, {300, 200}, {100, 67}));
        ExpectSamePixels(small.bitmap, reducedFull(half, {0, 0, 150, 100}, 2));
    }
}

TEST(DecodePlan, AProgressiveJpegMayNotClaimMoreThanItsLimitAllows) {
    const Bytes jpeg = EncodeJpeg(PatternBitmap(1000, 1000), 90, true);
    // A megapixel's coefficients do not fit the memory of a 100 x 100 picture's pixels.
    try {
        DecodePictureData(jpeg, ".jpg", ask({}, {50, 50}, {100, 100}));
        FAIL() << "decoded within too little memory";
    } catch (const ImageError& e) {
        EXPECT_NE(std::string(e.what()).find("needs more memory than the screen allows"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(DecodePictureData(jpeg, ".jpg", ask({}, {50, 50}, {2000, 2000})).bitmap.Width(), 125);
}

TEST(DecodePlan, PngPartsAndReductionsMatchTheFullDecodeInterlacedOrNot) {
    const TBitmap32 picture = PatternBitmap(203, 101);
    for (const bool interlaced : {false, true}) {
        const Bytes png = EncodePng(picture, true, interlaced);
        const TRect part{13, 7, 190, 99};
        const TDecodedPicture cropped = DecodePictureData(png, ".png", ask(part, part.size()));
        EXPECT_EQ(cropped.source, part);
        ExpectSamePixels(cropped.bitmap, partOf(picture, part));
        const TBitmap32 reduced = DecodePictureData(png, ".png", ask({}, {68, 34})).bitmap;
        ASSERT_EQ(reduced.Width(), 68); // by 3
        if (!interlaced) {
            ExpectSamePixels(reduced, reducedFull(picture, {0, 0, 203, 101}, 3));
        } else {
            // An interlaced picture is sampled on the same grid instead of averaged.
            EXPECT_EQ(reduced.Pixel(0, 0), picture.Pixel(0, 0));
            EXPECT_EQ(reduced.Pixel(67, 33), picture.Pixel(201, 99));
        }
    }
}

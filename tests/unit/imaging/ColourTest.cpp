// True colours: pixels in the space of an embedded profile come out as their sRGB equivalent,
// as Little CMS itself computes it; a profile that cannot be used changes nothing. Profiles are
// Debian's (colord's Adobe RGB) or made here with Little CMS.
#include "ImagingFixtures.h"
#include "core/Color.h"
#include "imaging/ColourProfile.h"
#include "imaging/Decode.h"
#include "package/TempFolder.h"

#include <gtest/gtest.h>
#include <lcms2.h>
#include <thread>
#include <vector>

namespace pictorelle::test {
namespace {

const char* const kAdobeRgb = "/usr/share/color/icc/colord/AdobeRGB1998.icc";

Bytes saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    if (size == 0 || !cmsSaveProfileToMem(profile, bytes.data(), &size)) bytes.clear();
    cmsCloseProfile(profile);
    return bytes;
}

// What Little CMS makes of one pixel's colour, computed apart from the code under test.
uint32_t expectedSrgb(const Bytes& profile, cmsUInt32Number format, const uint8_t* in) {
    cmsHPROFILE source =
        cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t = cmsCreateTransform(source, format, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    uint8_t rgb[3] = {};
    cmsDoTransform(t, in, rgb, 1);
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    return MakePixel(rgb[0], rgb[1], rgb[2]);
}

// A CMYK printer profile whose cyan is a teal, unlike the plain formula's: sampled from a
// made-up press into Lab.
Bytes cmykProfile() {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab =
        cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) -> cmsInt32Number {
            auto ink = [&](int i) { return 1.0 - in[i] / 65535.0; };
            const double k = ink(3);
            const cmsUInt16Number rgb[3] = {
                static_cast<cmsUInt16Number>(65535 * ink(0) * k),
                static_cast<cmsUInt16Number>(65535 * (1 - 0.4 * (1 - ink(0))) * ink(1) * k),
                static_cast<cmsUInt16Number>(65535 * (1 - 0.4 * (1 - ink(0))) * ink(2) * k)};
            cmsDoTransform(cargo, rgb, out, 1);
            return TRUE;
        },
        toLab, 0);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 4, 3);
    // The tag's layout wants curves on both sides of the table; identities here.
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(pipeline, cmsAT_END, clut);
    cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return saved(profile);
}

void expectNear(uint32_t expected, uint32_t actual, int levels, const std::string& what) {
    EXPECT_LE(MaxChannelError(SolidBitmap(1, 1, expected), SolidBitmap(1, 1, actual)), levels)
        << what << std::hex << ": expected " << expected << ", got " << actual;
}

TEST(Colour, AdobeRgbComesOutAsItsSrgbEquivalent) {
    const Bytes adobe = ReadTestFile(kAdobeRgb);
    ASSERT_GT(adobe.size(), 132u) << kAdobeRgb;
    const std::vector<uint32_t> colours = {0xFF00FF00u, 0xFFFF0000u, 0xFF0000FFu, 0xFF808080u,
                                           0x80C04020u, 0xFF3080C0u, 0x00FFFFFFu, 0xFFFFFFFFu};
    TBitmap32 picture(static_cast<int>(colours.size()), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < picture.Width(); ++x)
            picture.SetPixel(x, y, colours[static_cast<size_t>(x)]);
    ASSERT_TRUE(ConvertToSrgb(picture, adobe));
    for (int x = 0; x < picture.Width(); ++x) {
        const uint32_t in = colours[static_cast<size_t>(x)];
        const uint8_t rgb[3] = {static_cast<uint8_t>(PixelRed(in)),
                                static_cast<uint8_t>(PixelGreen(in)),
                                static_cast<uint8_t>(PixelBlue(in))};
        const uint32_t want =
            (expectedSrgb(adobe, TYPE_RGB_8, rgb) & 0xFFFFFFu) | (in & 0xFF000000u);
        expectNear(want, picture.Pixel(x, 2), 2, "Adobe RGB");
    }
    // Not a conversion that leaves colours as they were: a mid blue changes visibly.
    EXPECT_GT(
        MaxChannelError(SolidBitmap(1, 1, colours[5]), SolidBitmap(1, 1, picture.Pixel(5, 0))), 10);
}

// The fast path's tables against Little CMS over the whole cube, dark colours (where sRGB's
// curve is steepest) at every level.
TEST(Colour, AdobeRgbWithinTwoLevelsAcrossTheCube) {
    const Bytes adobe = ReadTestFile(kAdobeRgb);
    ASSERT_GT(adobe.size(), 132u) << kAdobeRgb;
    std::vector<int> levels;
    for (int v = 0; v < 24; ++v)
        levels.push_back(v);
    for (int v = 24; v < 256; v += 7)
        levels.push_back(v);
    levels.push_back(255);
    const int n = static_cast<int>(levels.size());
    TBitmap32 picture(n * n, n);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                picture.SetPixel(g * n + b, r, MakePixel(levels[r], levels[g], levels[b]));
    TBitmap32 expected = picture;
    ASSERT_TRUE(ConvertToSrgb(picture, adobe));

    cmsHPROFILE source =
        cmsOpenProfileFromMem(adobe.data(), static_cast<cmsUInt32Number>(adobe.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t =
        cmsCreateTransform(source, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, 0);
    for (int y = 0; y < expected.Height(); ++y)
        cmsDoTransform(t, expected.ScanLine(y), expected.ScanLine(y),
                       static_cast<cmsUInt32Number>(expected.Width()));
    cmsDeleteTransform(t);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    EXPECT_LE(MaxChannelError(expected, picture), 2);
}

// A camera's JPEG with its profile in an APP2 marker right after the start of the file.
Bytes withProfile(Bytes jpeg, const Bytes& icc) {
    Bytes app2 = {0xFF, 0xE2, 0, 0, 'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    app2.insert(app2.end(), icc.begin(), icc.end());
    app2[2] = static_cast<uint8_t>((app2.size() - 2) >> 8);
    app2[3] = static_cast<uint8_t>(app2.size() - 2);
    jpeg.insert(jpeg.begin() + 2, app2.begin(), app2.end());
    return jpeg;
}

// The JPEG decoder converts rows as it decodes them; whole, reduced or cropped, the colours
// are those of converting the decoded picture afterwards, and a useless profile changes
// nothing.
TEST(Colour, JpegRowsConvertedWhileDecodingMatchTheWholePicture) {
    const Bytes adobe = ReadTestFile(kAdobeRgb);
    const Bytes plain = EncodeJpeg(PatternBitmap(96, 40));
    const Bytes tagged = withProfile(plain, adobe);
    const TDecodePlan half = [](TSize natural) {
        return TDecodeRequest{{}, {natural.width / 2, natural.height / 2}, {}};
    };
    const TDecodePlan cropped = [](TSize) { return TDecodeRequest{{8, 4, 72, 30}, {}, {}}; };
    for (const TDecodePlan& plan : {TDecodePlan{}, half, cropped}) {
        TDecodedPicture expected = DecodePictureData(plain, ".jpg", plan);
        ASSERT_TRUE(ConvertToSrgb(expected.bitmap, adobe));
        const TDecodedPicture converted = DecodePictureData(tagged, ".jpg", plan);
        EXPECT_EQ(converted.iccProfile, adobe);
        ExpectSamePixels(expected.bitmap, converted.bitmap);
    }
    const TDecodedPicture asStored = DecodePictureData(plain, ".jpg");
    ExpectSamePixels(asStored.bitmap,
                     DecodePictureData(withProfile(plain, Bytes(600, 0x5A)), ".jpg").bitmap);
    EXPECT_GT(MaxChannelError(asStored.bitmap, DecodePictureData(tagged, ".jpg").bitmap), 10);
}

// A photo whose profile is sRGB under its own name keeps its pixels exactly.
TEST(Colour, AnSrgbProfileChangesNothing) {
    const Bytes srgb = saved(cmsCreate_sRGBProfile());
    const TBitmap32 original = PatternBitmap(33, 9);
    TBitmap32 picture = original;
    EXPECT_TRUE(ConvertToSrgb(picture, srgb));
    ExpectSamePixels(original, picture);
}

TEST(Colour, GreyPicturesGoThroughAGreyProfile) {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    const Bytes grey = saved(cmsCreateGrayProfile(cmsD50_xyY(), linear));
    cmsFreeToneCurve(linear);
    TBitmap32 picture = SolidBitmap(4, 2, 0xC0404040u);
    ASSERT_TRUE(ConvertToSrgb(picture, grey));
    const uint8_t level = 0x40;
    const uint32_t want = (expectedSrgb(grey, TYPE_GRAY_8, &level) & 0xFFFFFFu) | 0xC0000000u;
    expectNear(want, picture.Pixel(3, 1), 2, "linear grey");
    EXPECT_GT(PixelRed(picture.Pixel(3, 1)), 0x60u); // a linear 25 % is far lighter in sRGB
}

TEST(Colour, AProfileThatCannotBeUsedLeavesThePixelsAlone) {
    const Bytes adobe = ReadTestFile(kAdobeRgb);
    const Bytes truncated(adobe.begin(),
                          adobe.begin() + static_cast<std::ptrdiff_t>(adobe.size() / 2));
    const Bytes garbage(600, 0x5A);
    Bytes grown = adobe;
    grown.resize(kMaxIccProfileBytes + 1);
    const Bytes oversized = std::move(grown);
    const Bytes cmyk = cmykProfile(); // for CMYK pixels, not RGB ones
    const TBitmap32 original = PatternBitmap(7, 5);
    int i = 0;
    for (const Bytes* profile : {&truncated, &garbage, &oversized, &cmyk}) {
        TBitmap32 picture = original;
        EXPECT_FALSE(ConvertToSrgb(picture, *profile)) << "profile " << i;
        ExpectSamePixels(original, picture);
        ++i;
    }
}

// Many decoding threads meeting the same profile build one transform and share it.
TEST(Colour, OneTransformPerProfileSharedBetweenThreads) {
    const Bytes adobe = ReadTestFile(kAdobeRgb);
    TBitmap32 reference = PatternBitmap(64, 16);
    ASSERT_TRUE(ConvertToSrgb(reference, adobe));
    const size_t before = CachedColourTransforms();
    std::vector<TBitmap32> results(4, PatternBitmap(64, 16));
    std::vector<std::thread> threads;
    for (TBitmap32& picture : results)
        threads.emplace_back([&picture, &adobe] {
            for (int round = 0; round < 5; ++round) {
                TBitmap32 copy = PatternBitmap(64, 16);
                ConvertToSrgb(copy, adobe);
                picture = std::move(copy);
            }
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(CachedColourTransforms(), before);
    for (const TBitmap32& picture : results)
        ExpectSamePixels(reference, picture);
}

TEST(Colour, CmykGoesThroughItsProfileOrThePlainFormula) {
    const Bytes profile = cmykProfile();
    ASSERT_FALSE(profile.empty());
    // Full cyan ink, stored as Adobe does (inverted) and plainly.
    const uint8_t inverted[4] = {0, 255, 255, 255};
    const uint8_t plain[4] = {255, 0, 0, 0};
    const uint32_t want = expectedSrgb(profile, TYPE_CMYK_8, plain);
    uint32_t out = 0;
    const TCmykToSrgb adobe(profile, true);
    ASSERT_TRUE(adobe.UsesProfile());
    adobe.Convert(inverted, &out, 1);
    expectNear(want, out, 2, "inverted CMYK through the profile");
    TCmykToSrgb(profile, false).Convert(plain, &out, 1);
    expectNear(want, out, 2, "CMYK through the profile");
    EXPECT_GT(PixelGreen(out), 80u); // the press's teal, not the formula's cyan

    // Without a profile, or with one for RGB pixels: R = (1 - C)(1 - K), ...
    const TCmykToSrgb naive({}, true);
    EXPECT_FALSE(naive.UsesProfile());
    naive.Convert(inverted, &out, 1);
    EXPECT_EQ(out, 0xFF00FFFFu);
    const TCmykToSrgb wrongKind(ReadTestFile(kAdobeRgb), false);
    EXPECT_FALSE(wrongKind.UsesProfile());
    const uint8_t halfBlack[4] = {0, 0, 0, 128};
    wrongKind.Convert(halfBlack, &out, 1);
    EXPECT_EQ(out, 0xFF7F7F7Fu);
}

// The profile travels in the file: APP2 pieces of a JPEG, a PNG's iCCP chunk, a CMYK JPEG's
// press profile.
TEST(Colour, ProfilesEmbeddedInFilesAreApplied) {
    const Bytes adobe = ReadTestFile(kAdobeRgb);
    const uint8_t rgb[3] = {0x30, 0x80, 0xC0};
    const uint32_t want = expectedSrgb(adobe, TYPE_RGB_8, rgb);
    for (const char* name : {"adobe.png", "adobe.jpg"}) {
        // Assigned, not converted to: the file has no profile before.
        const std::string path = TempFolder() + name;
        ASSERT_EQ(RunTool(std::string("convert -size 16x16 xc:'rgb(48,128,192)' -quality 100 "
                                      "-profile ") +
                          kAdobeRgb + " " + path),
                  0);
        const TDecodedPicture d = DecodePicture(path);
        expectNear(want, d.bitmap.Pixel(8, 8), 2, name);
    }

    const Bytes press = cmykProfile();
    const uint8_t cyan[4] = {255, 0, 0, 0};
    const uint32_t teal = expectedSrgb(press, TYPE_CMYK_8, cyan);
    for (const bool adobeStorage : {true, false}) {
        const TDecodedPicture d = DecodePictureData(
            EncodeCmykJpeg(16, 16, 255, 0, 0, 0, {adobeStorage, false, press}), ".jpg");
        expectNear(teal, d.bitmap.Pixel(8, 8), 3, adobeStorage ? "Adobe CMYK" : "plain CMYK");
    }
}

} // namespace
} // namespace pictorelle::test

#include "imaging/Overlays.h"

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr uint32_t kWhitePixel = 0xFFFFFFFFu;

// A player file: some bytes standing for the program, then the package.
struct PackageFile {
    std::string path;
    Package package;
};

PackageFile WritePlayerFile(const PackageContent& content) {
    Bytes file(64, 0x90);
    const Bytes package = WritePackage(content);
    file.insert(file.end(), package.begin(), package.end());
    PackageFile out;
    out.path = WriteTempFile("player.bin", file);
    out.package = ReadPackage(FileSource(out.path));
    return out;
}

PackageEntry<MaskRecord> MaskEntry(int type, Bytes data) {
    PackageEntry<MaskRecord> entry;
    entry.Record.MaskType = type;
    entry.Data = std::move(data);
    return entry;
}

} // namespace

TEST(Logo, KeyColourBecomesFullyTransparentAndNothingElse) {
    TBitmap32 picture = SolidBitmap(4, 2, kWhitePixel);
    picture.SetPixel(1, 0, 0xFFFEFEFEu); // near white stays
    picture.SetPixel(2, 0, 0xFF102030u);
    const TBitmap32 logo = PrepareLogo(picture, 0x00FFFFFF);
    EXPECT_EQ(logo.Pixel(0, 0), 0x00000000u);
    EXPECT_EQ(logo.Pixel(3, 1), 0x00000000u);
    EXPECT_EQ(logo.Pixel(1, 0), 0xFFFEFEFEu);
    EXPECT_EQ(logo.Pixel(2, 0), 0xFF102030u);
    // A system colour is resolved first: the window colour is white.
    EXPECT_EQ(PrepareLogo(picture, SystemColor(TSystemColor::Window)).Pixel(0, 0), 0u);
}

TEST(Logo, WithoutKeyTransparentAreasComeOutWhite) {
    TBitmap32 picture = SolidBitmap(3, 1, 0xFF00FF00u);
    picture.SetPixel(0, 0, 0x00000000u);
    picture.SetPixel(1, 0, 0x80FF0000u);
    const TBitmap32 logo = PrepareLogo(picture, kNoColor);
    EXPECT_EQ(logo.Pixel(0, 0), kWhitePixel);
    EXPECT_EQ(logo.Pixel(1, 0), MakePixel(255, 127, 127)); // half red over white, opaque
    EXPECT_EQ(logo.Pixel(2, 0), 0xFF00FF00u);
}

TEST(Logo, DrawnAtItsPlacementLeavingKeyedPixelsAlone) {
    TLogo logo;
    logo.bitmap = SolidBitmap(100, 50, 0xFFFF0000u);
    logo.bitmap.SetPixel(0, 0, 0);
    logo.placement = 4;
    logo.marginX = 10;
    logo.marginY = 10;
    TBitmap32 frame = SolidBitmap(1024, 768, 0xFF000080u);
    DrawLogo(frame, &logo);
    EXPECT_EQ(frame.Pixel(914, 708), 0xFF000080u); // the keyed corner
    EXPECT_EQ(frame.Pixel(915, 708), 0xFFFF0000u);
    EXPECT_EQ(frame.Pixel(1013, 757), 0xFFFF0000u);
    EXPECT_EQ(frame.Pixel(1014, 757), 0xFF000080u);
    EXPECT_EQ(frame.Pixel(1013, 758), 0xFF000080u);
    EXPECT_EQ(frame.Pixel(913, 720), 0xFF000080u);
    DrawLogo(frame, nullptr); // no logo: nothing happens
}

TEST(Logo, LoadedFromThePackageOrNotAtAll) {
    TBitmap32 picture = SolidBitmap(6, 4, 0xFF204060u);
    picture.SetPixel(0, 0, kWhitePixel);
    PackageContent content;
    content.Logo = EncodePng(picture);
    content.Header.LogoExt = ".png";
    content.Header.LogoPlacement = 2;
    content.Header.LogoX = 3;
    content.Header.LogoY = 4;
    content.Header.LogoTransparentColor = 0x00FFFFFF;
    const PackageFile file = WritePlayerFile(content);
    const auto logo = LoadLogo(file.path, file.package);
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(logo->bitmap.Pixel(0, 0), 0u);
    EXPECT_EQ(logo->bitmap.Pixel(1, 0), 0xFF204060u);
    EXPECT_EQ(logo->placement, 2);
    EXPECT_EQ(logo->marginX, 3);
    EXPECT_EQ(logo->marginY, 4);
    EXPECT_FALSE(std::filesystem::exists(TempFilePath("SSLG", ".png")));
    // Never larger than the screen, whatever its header says; a screen it fits changes nothing.
    const auto reduced = LoadLogo(file.path, file.package, {3, 3});
    ASSERT_TRUE(reduced.has_value());
    EXPECT_EQ(reduced->bitmap.Width(), 3);
    EXPECT_EQ(reduced->bitmap.Height(), 2);
    EXPECT_EQ(LoadLogo(file.path, file.package, {6, 4})->bitmap.Width(), 6);

    content.Logo = {1, 2, 3, 4, 5};
    const PackageFile broken = WritePlayerFile(content);
    EXPECT_FALSE(LoadLogo(broken.path, broken.package).has_value());
    content.Logo.clear();
    const PackageFile none = WritePlayerFile(content);
    EXPECT_FALSE(LoadLogo(none.path, none.package).has_value());
}

TEST(Mask, EachTypeDecodedByItsExtension) {
    TBitmap32 withHole = SolidBitmap(5, 5, kWhitePixel);
    withHole.SetPixel(2, 2, 0x00FFFFFFu); // transparent: stays black, made opaque
    const TBitmap32 grey = SolidBitmap(3, 3, 0xFF808080u);
    PackageContent content;
    content.Masks.push_back(MaskEntry(0, EncodeWithQt(grey, "bmp")));
    content.Masks.push_back(MaskEntry(1, EncodePng(withHole)));
    content.Masks.push_back(MaskEntry(7, EncodeGif({withHole}))); // any other type is GIF
    content.Masks.push_back(MaskEntry(1, {9, 9, 9, 9}));
    const PackageFile file = WritePlayerFile(content);

    TBitmap32 bmp;
    LoadMask(file.path, file.package, 0, bmp);
    ASSERT_EQ(bmp.Width(), 3);
    EXPECT_EQ(bmp.Pixel(1, 1), 0xFF808080u);
    for (int index : {1, 2}) {
        TBitmap32 mask;
        LoadMask(file.path, file.package, index, mask);
        ASSERT_EQ(mask.Width(), 5) << index;
        EXPECT_EQ(mask.Pixel(0, 0), kWhitePixel) << index;
        EXPECT_EQ(mask.Pixel(2, 2), 0xFF000000u) << index;
    }
    EXPECT_FALSE(std::filesystem::exists(TempFilePath("SSMASK", ".gif")));

    // A broken entry or a missing record leaves the target as it was.
    TBitmap32 kept = SolidBitmap(2, 2, 0xFF123456u);
    LoadMask(file.path, file.package, 3, kept);
    LoadMask(file.path, file.package, 4, kept);
    LoadMask(file.path, file.package, -1, kept);
    LoadMask("/nonexistent/player", file.package, 0, kept);
    EXPECT_EQ(kept.Width(), 2);
    EXPECT_EQ(kept.Pixel(0, 0), 0xFF123456u);
}

namespace {

// What call writes on standard error.
template <class Call> std::string StderrOf(Call call) {
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

} // namespace

TEST(Overlays, ASkippedMaskOrLogoSaysWhyInOneLine) {
    PackageContent content;
    content.Masks.push_back(MaskEntry(1, EncodePng(SolidBitmap(2, 2, kWhitePixel))));
    content.Masks.push_back(MaskEntry(1, {9, 9, 9, 9}));
    content.Logo = {1, 2, 3, 4, 5};
    content.Header.LogoExt = ".png";
    const PackageFile file = WritePlayerFile(content);
    auto expectOneLine = [](const std::string& said, const std::string& start) {
        EXPECT_TRUE(said.starts_with(start) && said.size() > start.size()) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_TRUE(said.ends_with('\n')) << said;
    };
    TBitmap32 mask;
    for (int index : {1, 2}) {
        const std::string said = StderrOf([&] { LoadMask(file.path, file.package, index, mask); });
        expectOneLine(said, "Skipping mask " + std::to_string(index) + ": ");
    }
    EXPECT_TRUE(mask.Empty());
    expectOneLine(StderrOf([&] { LoadLogo(file.path, file.package); }), "Skipping the logo: ");

    // Nothing to skip, nothing said.
    EXPECT_EQ(StderrOf([&] { LoadMask(file.path, file.package, 0, mask); }), "");
    EXPECT_EQ(mask.Width(), 2);
    EXPECT_EQ(StderrOf([&] { LoadMask(file.path, file.package, -1, mask); }), "");
    content.Logo.clear();
    const PackageFile none = WritePlayerFile(content);
    EXPECT_EQ(StderrOf([&] { LoadLogo(none.path, none.package); }), "");
}

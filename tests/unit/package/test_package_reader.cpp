#include "package/ByteOrder.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pictorelle {
namespace {

// A file of the given length whose last 230 bytes are a header and the magic.
std::vector<uint8_t> FileWithTrailer(size_t length, const PackageHeader& header) {
    std::vector<uint8_t> file(length, 0);
    uint8_t* trailer = file.data() + length - kTrailerSize;
    EncodeFields(trailer, header, HeaderFields());
    std::memcpy(trailer + kHeaderSize, kPackageMagic.data(), kPackageMagic.size());
    return file;
}

Package Read(const std::vector<uint8_t>& bytes) { return ReadPackage(MemorySource(bytes)); }

TEST(PackageReader, WorkedLayoutLocatesEverySectionAndEntry) {
    PackageHeader h;
    h.PackageSize = 6000;
    h.PreviewSize = 500;
    h.BannerSize = 300;
    h.ItemSectionSize = 840;
    h.ItemCount = 1;
    h.MelodySectionSize = 840;
    h.MelodyCount = 1;
    auto file = FileWithTrailer(100000, h);
    // One item record at the item section, one melody record at the melody section; the
    // string block of 18 empty strings follows the melodies.
    StoreInt32LE(&file[94800], 2600);
    StoreInt32LE(&file[95640], 900);

    const Package p = Read(file);
    EXPECT_EQ(p.Header.FileLength, 100000);
    EXPECT_EQ(p.PackageStart, 94000);
    EXPECT_EQ(p.SectionStart(SectionId::Items), 94800);
    EXPECT_EQ(p.SectionStart(SectionId::Melodies), 95640);
    EXPECT_EQ(p.SectionStart(SectionId::Strings), 96480);
    ASSERT_EQ(p.Items.size(), 1u);
    ASSERT_EQ(p.Melodies.size(), 1u);
    EXPECT_EQ(p.EntryOffset(p.Melodies[0]), 96540);
    EXPECT_EQ(p.EntryOffset(p.Items[0]), 96600);
}

TEST(PackageReader, OffsetZeroCountsFromEachRecordKindsOwnBase) {
    PackageContent c;
    c.Items.push_back({ItemRecord{}, {}});
    c.Melodies.push_back({MelodyRecord{}, {}});
    Package p = Read(WritePackage(c));
    p.Items[0].Offset = 0;
    p.Melodies[0].Offset = 0;
    EXPECT_EQ(p.EntryOffset(p.Items[0]), p.PackageStart);
    EXPECT_EQ(p.EntryOffset(p.Melodies[0]), p.SectionStart(SectionId::Melodies));
    EXPECT_NE(p.SectionStart(SectionId::Melodies), p.PackageStart);
}

// Random bytes drawn from `values` different ones: what deflate saves depends on how few.
std::vector<uint8_t> RandomBytes(size_t n, unsigned values) {
    std::vector<uint8_t> v(n);
    uint32_t seed = 1;
    for (auto& b : v) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>((seed >> 16) % values);
    }
    return v;
}

TEST(PackageWriter, DeflatesAnEntryOnlyWhenThatSavesMoreThanAnEighth) {
    const auto dense = RandomBytes(100000, 192); // deflate saves about 4 %, like a JPEG
    ASSERT_LT(DeflateBytes(dense).size(), dense.size());
    PackageContent c;
    c.Items.push_back({ItemRecord{}, dense});
    c.Items.push_back({ItemRecord{}, RandomBytes(100000, 64)}); // saves about a quarter
    c.Melodies.push_back({MelodyRecord{}, dense});
    const Package p = Read(WritePackage(c));
    EXPECT_EQ(p.Items[0].StoredSize, 0);
    EXPECT_GT(p.Items[1].StoredSize, 0);
    EXPECT_EQ(p.Melodies[0].StoredSize, 0);
}

TEST(PackageReader, HeaderFieldsSitAtTheirByteOffsets) {
    std::vector<uint8_t> raw(kHeaderSize, 0);
    StoreInt32LE(&raw[20], 7);       // Seconds
    StoreInt32LE(&raw[88], 0x123456); // BackColor
    raw[104] = 2;                    // DesktopSnapshot: any non-zero byte is true
    StoreInt32LE(&raw[108], 3);      // Stretch
    raw[123] = 1;                    // ExitESC
    raw[129] = 1;                    // HideBehaviorTab
    StoreInt32LE(&raw[132], 9);      // EffectSpeed
    std::memcpy(&raw[136], ".jpeg", 5); // BackgroundExt, all five bytes used
    std::memcpy(&raw[141], ".png", 4);  // ExitBannerExt
    StoreInt32LE(&raw[200], 6);      // LogoPlacement
    StoreInt32LE(&raw[212], kNoColorValue);
    raw[216] = 1; // AllowStandalone
    PackageHeader h;
    DecodeFields(raw.data(), h, HeaderFields());
    EXPECT_EQ(h.Seconds, 7);
    EXPECT_EQ(h.BackColor, 0x123456);
    EXPECT_TRUE(h.DesktopSnapshot);
    EXPECT_FALSE(h.RandomColors);
    EXPECT_EQ(h.Stretch, 3);
    EXPECT_TRUE(h.ExitESC);
    EXPECT_FALSE(h.ExitKeyboard);
    EXPECT_TRUE(h.HideBehaviorTab);
    EXPECT_EQ(h.EffectSpeed, 9);
    EXPECT_EQ(h.BackgroundExt, ".jpeg");
    EXPECT_EQ(h.ExitBannerExt, ".png");
    EXPECT_EQ(h.LogoExt, "");
    EXPECT_EQ(h.LogoPlacement, 6);
    EXPECT_EQ(h.LogoTransparentColor, kNoColorValue);
    EXPECT_TRUE(h.AllowStandalone);
}

TEST(PackageReader, RecordTextsDecodeByTheirOwnRules) {
    std::vector<uint8_t> sound(kEnterSoundRecordSize, 0);
    sound[12] = 4;
    std::memcpy(&sound[13], ".wavXYZ", 7); // only the counted four characters belong to Ext
    EnterSoundRecord s;
    DecodeFields(sound.data(), s, EnterSoundFields());
    EXPECT_EQ(s.Ext, ".wav");

    sound[12] = 200; // a count past the field's room is clamped to the seven bytes there are
    DecodeFields(sound.data(), s, EnterSoundFields());
    EXPECT_EQ(s.Ext, ".wavXYZ");

    std::vector<uint8_t> item(kItemRecordSize, 0);
    std::memcpy(&item[12], ".tiff", 5);
    item[300] = 255; // caption count beyond 251 stops at the field's end
    std::memset(&item[301], 'a', 251);
    StoreInt32LE(&item[552], 5); // CaptionTransparent, right behind the caption
    ItemRecord r;
    DecodeFields(item.data(), r, ItemFields());
    EXPECT_EQ(r.Ext, ".tiff");
    EXPECT_EQ(r.CaptionText, std::string(251, 'a'));
    EXPECT_EQ(r.CaptionTransparent, 5);
}

TEST(PackageReader, StringBlockCountsEveryByte) {
    PackageContent c;
    c.Strings[StringId::SaverTitle] = "";
    c.Strings[StringId::AboutText] = std::string(kMaxStringLength, 'x');
    c.Strings[StringId::InterfaceTexts] = "[Screen Saver]\r\nbtnClose=Shut";
    const Package p = Read(WritePackage(c));
    EXPECT_EQ(p.Strings[StringId::SaverTitle], "");
    EXPECT_EQ(p.Strings[StringId::AboutText].size(), 65535u);
    EXPECT_EQ(p.Strings[StringId::InterfaceTexts], "[Screen Saver]\r\nbtnClose=Shut");

    c.Strings[StringId::AboutText] += 'y';
    EXPECT_THROW(WritePackage(c), std::length_error);
}

TEST(PackageReader, EmptyPackageReadsWithNothingToShow) {
    const Package p = Read(WritePackage(PackageContent{}));
    EXPECT_TRUE(p.Items.empty());
    EXPECT_TRUE(p.Melodies.empty());
    EXPECT_EQ(p.Header.PackageSize, kTrailerSize + 2 * kStringCount);
}

TEST(PackageReader, NegativeCountsReadNoRecords) {
    PackageContent c;
    c.Items.push_back({ItemRecord{}, {1, 2, 3}});
    auto bytes = WritePackage(c);
    StoreInt32LE(&bytes[bytes.size() - kTrailerSize + 8], -5); // ItemCount
    EXPECT_TRUE(Read(bytes).Items.empty());
}

// Every way a package can be broken must end in PackageError, never in a crash or a read
// outside the data.
TEST(PackageReader, RejectsBrokenPackages) {
    PackageContent c;
    c.Items.push_back({ItemRecord{}, std::vector<uint8_t>(100, 7)});
    c.Strings[StringId::SaverTitle] = "Show";
    const auto good = WritePackage(c);
    ASSERT_NO_THROW(Read(good));
    const size_t header = good.size() - kTrailerSize;

    auto patched = [&](size_t at, int32_t value) {
        auto bytes = good;
        StoreInt32LE(&bytes[header + at], value);
        return bytes;
    };
    EXPECT_THROW(Read(std::vector<uint8_t>(5000, 0)), PackageError) << "bare program";
    EXPECT_THROW(Read(std::vector<uint8_t>(good.end() - 100, good.end())), PackageError)
        << "truncated";
    auto wrongMagic = good;
    wrongMagic.back() = 'y';
    EXPECT_THROW(Read(wrongMagic), PackageError);
    EXPECT_THROW(Read(patched(0, static_cast<int32_t>(good.size()) + 1)), PackageError)
        << "package larger than the file";
    EXPECT_THROW(Read(patched(0, 10)), PackageError) << "package smaller than its trailer";
    EXPECT_THROW(Read(patched(0, -1)), PackageError);
    EXPECT_THROW(Read(patched(44, -1)), PackageError) << "negative preview size";
    EXPECT_THROW(Read(patched(44, 0x7FFFFFFF)), PackageError) << "section past the end";
    EXPECT_THROW(Read(patched(8, 2)), PackageError) << "records overrun their section";
    EXPECT_THROW(Read(patched(8, 0x7FFFFFFF)), PackageError) << "huge count";
    EXPECT_THROW(Read(patched(28, 0)), PackageError) << "record with no section";
    // Moving the string block so that its counts run into the trailer.
    EXPECT_THROW(Read(patched(44, static_cast<int32_t>(header) - 840 - 30)), PackageError);
}

} // namespace
} // namespace pictorelle

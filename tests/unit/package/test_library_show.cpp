// A library show's description in the reserved strings: it survives a package of either code
// page byte for byte, a damaged one is refused as a corrupt package, and an ordinary package
// is no library.
#include "package/CodePage.h"
#include "package/LibraryShow.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace pictorelle {
namespace {

// A folder whose name is no UTF-8 (Latin-1 bytes from an old disk) and holds every character
// the description's own syntax uses.
const std::string kOddFolder = std::string("/media/old disk/F\xE9te %41=B\nC/") + "\xFF\x01~.x";
const std::string kCaptionTemplate = "{taken:%e %B %Y} \u00B7 {folder}";

TLibraryShow FullShow() {
    TLibraryShow show;
    show.Folder = kOddFolder;
    show.Recursive = true;
    ItemRecord& t = show.Template;
    t.CaptionPlacement = 3;
    t.CaptionColor = 0x00FF8000;
    t.CaptionX = -4;
    t.CaptionY = 44;
    t.CaptionBackColor = kNoColorValue;
    t.CaptionFont = "Caf\u00E9 Sans";
    t.CaptionStyle = 6;
    t.CaptionSize = 31;
    t.CaptionText = "\u041F\u043E\u0435\u0437\u0434\u043A\u0430 \U0001F30A";
    t.CaptionTransparent = 0;
    t.CaptionSmooth = 0;
    t.CaptionShadow = 1;
    t.ItemSeconds = 17;
    t.ItemStretch = 4;
    t.MaskIndex = 2;
    t.EnterSoundIndex = 1;
    t.PictureFlags = 5;
    t.ItemEffect = "\x03\x04\x78";
    t.ItemEffectSpeed = 9;
    show.CaptionTemplate = kCaptionTemplate;
    return show;
}

void ExpectSameShow(const TLibraryShow& read, const TLibraryShow& written) {
    EXPECT_EQ(read.Folder, written.Folder);
    EXPECT_EQ(read.Recursive, written.Recursive);
    EXPECT_EQ(read.CaptionTemplate, written.CaptionTemplate);
    for (const auto& f : ItemFields()) {
        const std::string name = f.name;
        if (f.int32Member && name != "Offset" && name != "DataSize" && name != "StoredSize") {
            EXPECT_EQ(read.Template.*f.int32Member, written.Template.*f.int32Member) << name;
        }
        if (f.textMember && f.role != TextRole::Extension) {
            EXPECT_EQ(read.Template.*f.textMember, written.Template.*f.textMember) << name;
        }
    }
}

// Writes a package of no items carrying the show, its texts stored as the packer stores them
// in the given code page, and reads it back.
Package RoundTrip(const TLibraryShow& show, bool utf8) {
    PackageContent c;
    c.Strings[StringId::SaverTitle] = "Library";
    StoreLibraryShow(show, c.Strings);
    c.Header.TextCodePage = utf8 ? kCodePageUtf8 : 0;
    if (!utf8) {
        auto stored = Utf8ToCp1252(c.Strings[StringId::Reserved6]);
        EXPECT_TRUE(stored);
        c.Strings[StringId::Reserved6] = stored.value_or("");
    }
    return ReadPackage(MemorySource(WritePackage(c)));
}

TEST(LibraryShow, RoundTripsThroughAPackageOfEitherCodePage) {
    const TLibraryShow show = FullShow();
    for (const bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8 ? "UTF-8" : "Windows-1252");
        const Package p = RoundTrip(show, utf8);
        EXPECT_EQ(p.Header.ItemCount, 0);
        EXPECT_TRUE(p.Items.empty());
        // What a reader that knows nothing of libraries sees is plain ASCII in slots 4 and 5.
        for (const StringId id : {StringId::Reserved4, StringId::Reserved5})
            for (const char ch : p.Strings[id])
                EXPECT_TRUE(ch == '\n' || (ch >= 0x20 && ch <= 0x7E)) << static_cast<int>(ch);
        EXPECT_EQ(p.Strings[StringId::Reserved4].rfind(kLibraryShowMagic, 0), 0u);
        EXPECT_EQ(p.Strings[StringId::Reserved5].size(), 2u * kItemRecordSize);
        const auto read = ReadLibraryShow(p.Strings);
        ASSERT_TRUE(read);
        ExpectSameShow(*read, show);
    }

    // The smallest description: the root folder, nothing else set.
    TLibraryShow plain;
    plain.Folder = "/";
    const auto read = ReadLibraryShow(RoundTrip(plain, false).Strings);
    ASSERT_TRUE(read);
    ExpectSameShow(*read, plain);
}

TEST(LibraryShow, EscapingKeepsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string escaped = EscapeBytes(all);
    for (const char ch : escaped)
        EXPECT_TRUE(ch >= 0x21 && ch <= 0x7E && ch != '=');
    EXPECT_EQ(UnescapeBytes(escaped), all);
    EXPECT_EQ(UnescapeBytes("%e9%E9"), "\xE9\xE9");
    for (const char* bad : {"%", "%4", "a%4", "%G1", "%1G", "a b", "caf\xC3\xA9", "tab\there"})
        EXPECT_FALSE(UnescapeBytes(bad)) << bad;
}

TEST(LibraryShow, AnOrdinaryPackageIsNoLibrary) {
    StringBlock strings;
    EXPECT_FALSE(ReadLibraryShow(strings));
    // Reserved strings an author filled for his own ends.
    strings[StringId::Reserved4] = "r4";
    strings[StringId::Reserved5] = "r5";
    EXPECT_FALSE(ReadLibraryShow(strings));
    for (const char* other : {"Pictorelle library", "Pictorelle library 10\nFolder=/x\nRecursive=0",
                              "pictorelle library 1\nFolder=/x\nRecursive=0",
                              " Pictorelle library 1\nFolder=/x\nRecursive=0"}) {
        strings[StringId::Reserved4] = other;
        EXPECT_FALSE(ReadLibraryShow(strings)) << other;
    }
}

TEST(LibraryShow, ADamagedDescriptionIsACorruptPackage) {
    StringBlock good;
    StoreLibraryShow(FullShow(), good);
    ASSERT_TRUE(ReadLibraryShow(good));
    const std::string magic(kLibraryShowMagic);
    const std::string record = good[StringId::Reserved5];

    const std::vector<std::string> descriptions = {
        magic,
        magic + "\nRecursive=1",
        magic + "\nFolder=\nRecursive=1",
        magic + "\nFolder=photos\nRecursive=1",
        magic + "\nFolder=%2Fphotos%00x\nRecursive=1",
        magic + "\nFolder=/photos%4\nRecursive=1",
        magic + "\nFolder=/photos%ZZ\nRecursive=1",
        magic + "\nFolder=/pho tos\nRecursive=1",
        magic + "\nFolder=/photos",
        magic + "\nFolder=/photos\nRecursive=yes",
        magic + "\nFolder=/photos\nRecursive=",
    };
    for (const auto& description : descriptions) {
        StringBlock damaged = good;
        damaged[StringId::Reserved4] = description;
        EXPECT_THROW(ReadLibraryShow(damaged), PackageError) << description;
    }

    const std::vector<std::string> records = {
        "",
        record.substr(1),
        record + "00",
        "G" + record.substr(1),
        record.substr(0, 100) + " " + record.substr(101),
    };
    for (const auto& bad : records) {
        StringBlock damaged = good;
        damaged[StringId::Reserved5] = bad;
        EXPECT_THROW(ReadLibraryShow(damaged), PackageError) << bad.size();
    }
}

// A record whose text bytes were changed is still a show: its texts are made valid UTF-8.
TEST(LibraryShow, ABrokenTextOfTheRecordIsMadeValid) {
    TLibraryShow show = FullShow();
    show.Template.CaptionText = "ab";
    StringBlock strings;
    StoreLibraryShow(show, strings);
    std::string& hex = strings[StringId::Reserved5];
    size_t at = hex.find("6162"); // "ab", the caption's bytes, at a whole byte
    while (at != std::string::npos && at % 2 != 0)
        at = hex.find("6162", at + 1);
    ASSERT_NE(at, std::string::npos);
    hex.replace(at, 4, "FF62");
    const auto read = ReadLibraryShow(strings);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Template.CaptionText, "\uFFFDb");
}

TEST(LibraryShow, WhatCannotBeStoredIsRefusedBeforeAnythingIsWritten) {
    auto refused = [](const TLibraryShow& show) {
        StringBlock strings;
        strings[StringId::Reserved4] = "before";
        try {
            StoreLibraryShow(show, strings);
        } catch (...) {
            EXPECT_EQ(strings[StringId::Reserved4], "before") << "nothing half stored";
            throw;
        }
    };
    TLibraryShow show = FullShow();
    show.Template.CaptionText = std::string(252, 'x');
    EXPECT_THROW(refused(show), std::length_error);
    show = FullShow();
    // 126 Cyrillic letters: 252 bytes as the record stores them, one too many.
    show.Template.CaptionFont.clear();
    for (int i = 0; i < 126; ++i)
        show.Template.CaptionFont += "\u0436";
    EXPECT_THROW(refused(show), std::length_error);
    show = FullShow();
    show.CaptionTemplate = std::string(kMaxStringLength + 1, 'x');
    EXPECT_THROW(refused(show), std::length_error);
    show = FullShow();
    // Every byte of this name takes three once escaped.
    show.Folder = "/" + std::string(kMaxStringLength / 3, ' ');
    EXPECT_THROW(refused(show), std::length_error);

    for (const std::string& folder :
         std::vector<std::string>{"", "photos", "./photos", std::string("/a\0b", 4)}) {
        show = FullShow();
        show.Folder = folder;
        EXPECT_THROW(refused(show), std::invalid_argument) << folder;
    }
}

} // namespace
} // namespace pictorelle

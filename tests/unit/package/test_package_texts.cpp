// The code page of a package's texts: Windows-1252 unless the header marks UTF-8, and either
// way the reader hands every text on as UTF-8 while selections and extensions stay bytes.
#include "package/ByteOrder.h"
#include "package/CodePage.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

#include <string_view>
#include <cstring>
#include <gtest/gtest.h>

namespace pictorelle {
namespace {

Package Read(const std::vector<uint8_t>& bytes) {
    return ReadPackage(MemorySource(bytes));
}

size_t HeaderAt(const std::vector<uint8_t>& package) {
    return package.size() - kTrailerSize;
}

bool Holds(const std::vector<uint8_t>& bytes, std::string_view text) {
    const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return all.find(text) != std::string_view::npos;
}

const std::string kCyrillic = "\u041F\u043E\u0435\u0437\u0434\u043A\u0430"; // Poezdka
const std::string kCjk = "\u65C5\u884C\u306E\u5199\u771F";
const std::string kEmoji = "\U0001F30A\U0001F3D6";

PackageContent TextsIn(const std::string& title, const std::string& caption) {
    PackageContent c;
    c.Strings[StringId::SaverTitle] = title;
    c.Strings[StringId::AboutText] = "About " + title;
    c.Strings[StringId::Effect] = "\x01\x78";
    c.Strings[StringId::InterfaceTexts] = "Screen Saver\r\nClose=" + title;
    ItemRecord item;
    item.Ext = ".jpg";
    item.CaptionText = caption;
    item.CaptionFont = "Font " + title;
    item.ItemEffect = "\x05";
    c.Items.push_back({item, {1, 2, 3}});
    return c;
}

TEST(PackageTexts, AWindows1252PackageReadsAsItAlwaysDid) {
    const auto bytes = WritePackage(TextsIn("Caf\xE9 \x80", "Stra\xDF"
                                                            "e \x93q\x94"));
    // Without a mark the texts are single bytes, the header's two spare bytes stay zero.
    EXPECT_TRUE(Holds(bytes, "Caf\xE9 \x80"));
    EXPECT_EQ(LoadUInt16LE(&bytes[HeaderAt(bytes) + 130]), 0);

    const Package p = Read(bytes);
    EXPECT_FALSE(p.Header.HasUtf8Texts());
    EXPECT_EQ(p.Strings[StringId::SaverTitle], "Caf\u00E9 \u20AC");
    EXPECT_EQ(p.Strings[StringId::AboutText], "About Caf\u00E9 \u20AC");
    EXPECT_EQ(p.Strings[StringId::InterfaceTexts], "Screen Saver\r\nClose=Caf\u00E9 \u20AC");
    EXPECT_EQ(p.Items[0].CaptionText, "Stra\u00DFe \u201Cq\u201D");
    EXPECT_EQ(p.Items[0].CaptionFont, "Font Caf\u00E9 \u20AC");

    // Bytes that happen to spell UTF-8 are still Windows-1252 text without the mark.
    EXPECT_EQ(Read(WritePackage(TextsIn("\xC3\xA9", ""))).Strings[StringId::SaverTitle],
              "\u00C3\u00A9");
}

TEST(PackageTexts, AMarkedPackageCarriesAnyTextBothWays) {
    PackageContent c = TextsIn(kCyrillic + " " + kCjk, kEmoji + " " + kCyrillic);
    c.Header.TextCodePage = kCodePageUtf8;
    const auto bytes = WritePackage(c);
    EXPECT_EQ(LoadUInt16LE(&bytes[HeaderAt(bytes) + 130]), 65001);

    const Package p = Read(bytes);
    EXPECT_TRUE(p.Header.HasUtf8Texts());
    EXPECT_EQ(p.Header.TextCodePage, kCodePageUtf8);
    EXPECT_EQ(p.Strings[StringId::SaverTitle], kCyrillic + " " + kCjk);
    EXPECT_EQ(p.Strings[StringId::InterfaceTexts],
              "Screen Saver\r\nClose=" + kCyrillic + " " + kCjk);
    EXPECT_EQ(p.Items[0].CaptionText, kEmoji + " " + kCyrillic);
    EXPECT_EQ(p.Items[0].CaptionFont, "Font " + kCyrillic + " " + kCjk);
    // Selections and extensions are bytes, whatever the texts are.
    EXPECT_EQ(p.Strings[StringId::Effect], "\x01\x78");
    EXPECT_EQ(p.Items[0].ItemEffect, "\x05");
    EXPECT_EQ(p.Items[0].Ext, ".jpg");
}

TEST(PackageTexts, OnlyTheExactMarkMeansUtf8) {
    PackageContent c = TextsIn("Caf\xE9", "");
    for (const int32_t other : {1, kCodePageWindows1252, 0xFDE8, 0xFFFF}) {
        c.Header.TextCodePage = other;
        const Package p = Read(WritePackage(c));
        EXPECT_FALSE(p.Header.HasUtf8Texts()) << other;
        EXPECT_EQ(p.Strings[StringId::SaverTitle], "Caf\u00E9") << other;
    }
}

TEST(PackageTexts, ADamagedUtf8TextReadsWithReplacementCharacters) {
    PackageContent c = TextsIn("ok\xFF", "");
    c.Header.TextCodePage = kCodePageUtf8;
    auto bytes = WritePackage(c);
    EXPECT_EQ(Read(bytes).Strings[StringId::SaverTitle], "ok\uFFFD");

    // A caption count that ends inside a character: the half character is replaced, nothing
    // past the field is read.
    c.Items[0].Record.CaptionText = kCyrillic;
    bytes = WritePackage(c);
    const Package whole = Read(bytes);
    const size_t caption = static_cast<size_t>(whole.SectionStart(SectionId::Items)) + 300;
    ASSERT_EQ(bytes[caption], kCyrillic.size());
    bytes[caption] = static_cast<uint8_t>(kCyrillic.size() - 1);
    const std::string cut = Read(bytes).Items[0].CaptionText;
    EXPECT_EQ(cut, kCyrillic.substr(0, kCyrillic.size() - 2) + "\uFFFD");
}

TEST(PackageTexts, TheWriterRefusesATextItsFieldCannotHold) {
    // 126 two-byte characters are 252 bytes, one more than a caption's room: cutting would
    // split the last one.
    std::string caption;
    for (int i = 0; i < 126; ++i)
        caption += "\u0436";
    PackageContent c = TextsIn("t", caption);
    c.Header.TextCodePage = kCodePageUtf8;
    try {
        WritePackage(c);
        FAIL() << "a caption past its room was written";
    } catch (const std::length_error& e) {
        EXPECT_NE(std::string(e.what()).find("CaptionText"), std::string::npos) << e.what();
    }
    c.Items[0].Record.CaptionText.resize(250);
    EXPECT_EQ(Read(WritePackage(c)).Items[0].CaptionText, c.Items[0].Record.CaptionText);
}

} // namespace
} // namespace pictorelle

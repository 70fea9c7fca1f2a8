#include "package/CodePage.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const auto back = Utf8ToCp1252(Cp1252ToUtf8(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(CodePage, MapsTheWindowsOnlyCharacters) {
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(Cp1252ToUtf8("caf\xE9"), "caf\u00E9");
    EXPECT_EQ(Utf8ToCp1252("\u201Cq\u201D"), std::optional<std::string>("\x93q\x94"));
}

TEST(CodePage, RefusesWhatItCannotStore) {
    EXPECT_FALSE(Utf8ToCp1252("\u4E2D").has_value());
    EXPECT_FALSE(Utf8ToCp1252("\xC3").has_value()) << "truncated sequence";
    EXPECT_FALSE(Utf8ToCp1252("\xFF").has_value());
}

TEST(CodePage, ValidUtf8KeepsEveryCharacterAndReplacesEachBrokenSequence) {
    const std::string text = "\u041F\u043E\u0435\u0437\u0434\u043A\u0430 \u65C5\u884C \U0001F30A";
    EXPECT_TRUE(IsValidUtf8(text));
    EXPECT_EQ(ValidUtf8(text), text);
    const std::string bad[] = {
        "\xC3",             // cut after its lead byte
        "\xE6\x97",         // cut inside a three-byte character
        "\x80",             // a continuation byte alone
        "\xC1\x81",         // an overlong "A"
        "\xE0\x80\x80",     // an overlong NUL
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // past U+10FFFF
        "\xFF",
    };
    for (const std::string& b : bad) {
        EXPECT_FALSE(IsValidUtf8(b)) << b;
        EXPECT_FALSE(Utf8ToCp1252(b).has_value()) << b;
        const std::string fixed = ValidUtf8("a" + b + "z");
        EXPECT_TRUE(IsValidUtf8(fixed)) << b;
        EXPECT_EQ(fixed.front(), 'a');
        EXPECT_EQ(fixed.back(), 'z') << "the character after a broken one survives";
        EXPECT_NE(fixed.find("\uFFFD"), std::string::npos);
    }
    // A lead byte followed by a new character loses only itself.
    EXPECT_EQ(ValidUtf8("\xD0\u0444"), "\uFFFD\u0444");
}

} // namespace
} // namespace pictorelle

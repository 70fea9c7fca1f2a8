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

} // namespace
} // namespace pictorelle

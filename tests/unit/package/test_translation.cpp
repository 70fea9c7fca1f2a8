#include "package/Translation.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

std::string Lookup(std::string_view table, std::string_view caption,
                   std::string_view section = "Screen Saver") {
    TranslationTable t;
    t.Build(table, section);
    return t.Translate(caption);
}

TEST(Translation, OnlyTheNamedSectionCounts) {
    const std::string table = "Close=Before\r\n[Screen Saver]\r\nClose=Bracketed\r\n"
                              "Screen Saver\r\nClose=Shut\r\nClose=Second\r\n";
    EXPECT_EQ(Lookup(table, "Close"), "Shut") << "first of duplicates wins";
    EXPECT_EQ(Lookup("Close=Before\nScreen Saver\rAbout=Info", "About"), "Info")
        << "LF and CR end lines too";
    EXPECT_EQ(Lookup("Close=Before\r\nOther\r\nClose=Other", "Close", ""), "Before")
        << "an empty section name accepts every section";
    EXPECT_EQ(Lookup("screen saver\r\nClose=Shut", "Close"), "Close") << "section is case-sensitive";
}

TEST(Translation, AnEmptyLineEndsTheSection) {
    EXPECT_EQ(Lookup("Screen Saver\r\n\r\nAbout=Info", "About"), "About");
    EXPECT_EQ(Lookup("Screen Saver\r\nAbout=Info\r\n", "About"), "Info");
}

TEST(Translation, KeysAndValuesAreTakenLiterally) {
    const std::string table = "Screen Saver\r\nA=b=c\r\nFast=\r\n Close =x\r\n"
                              "Two#13lines=Deux#13lignes\r\n&Mute sounds=&Silence";
    EXPECT_EQ(Lookup(table, "A"), "b=c");
    EXPECT_EQ(Lookup(table, "Fast"), "") << "an empty value empties the caption";
    EXPECT_EQ(Lookup(table, "Close"), "Close") << "nothing is trimmed";
    EXPECT_EQ(Lookup(table, "Two\r\nlines"), "Deux\r\nlignes");
    EXPECT_EQ(Lookup(table, "&Mute sounds"), "&Silence");
    EXPECT_EQ(Lookup(table, "&mute sounds"), "&mute sounds") << "case-sensitive keys";
    EXPECT_EQ(Lookup(table, "Two#13lines"), "Deux\r\nlignes");
}

TEST(Translation, ProcessTableIsUsableBeforeAndAfterItExists) {
    FreeTranslationTable();
    EXPECT_EQ(Translate("Close"), "Close");
    BuildTranslationTable("Screen Saver\r\nClose=Shut", "Screen Saver");
    EXPECT_EQ(Translate("Close"), "Shut");
    EXPECT_EQ(Translate("About"), "About");
    FreeTranslationTable();
    EXPECT_EQ(Translate("Close"), "Close");
}

TEST(Translation, ControlCaptionsCarryTheirSuffixes) {
    int general = 0;
    for (const auto& c : FormControlCaptions()) {
        if (std::string(c.key) == "General") ++general;
        if (std::string(c.control) == "btnWebsite") {
            EXPECT_STREQ(c.suffix, "...");
        }
        if (std::string(c.control) == "rbSizeResize") {
            EXPECT_STREQ(c.suffix, " *");
        }
    }
    EXPECT_EQ(general, 2) << "one key serves the tab and the sound group";
    EXPECT_EQ(FormControlCaptions().size(), 47u);
}

} // namespace
} // namespace pictorelle

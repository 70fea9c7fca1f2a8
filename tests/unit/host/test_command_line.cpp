#include "host/CommandLine.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

using Args = std::vector<std::string>;

TEST(ModeLetter, TakesTheCharacterAfterTheFirstInUpperCase) {
    EXPECT_EQ(ModeLetter({"/s"}), 'S');
    EXPECT_EQ(ModeLetter({"-S"}), 'S');
    EXPECT_EQ(ModeLetter({"/s:99"}), 'S');
    EXPECT_EQ(ModeLetter({"/c:4711"}), 'C');
    EXPECT_EQ(ModeLetter({"/p", "1234"}), 'P');
    // Whatever the first character is, it is dropped unread.
    EXPECT_EQ(ModeLetter({"xa"}), 'A');
}

TEST(ModeLetter, NoArgumentOrOneCharacterGivesNoLetter) {
    EXPECT_EQ(ModeLetter({}), '\0');
    EXPECT_EQ(ModeLetter({"s"}), '\0');
    EXPECT_EQ(ModeLetter({""}), '\0');
}

TEST(ModeLetter, OnlyTheLetterDecidesTheMode) {
    EXPECT_EQ(ModeForLetter(ModeLetter({"/s"})), TSaverMode::MainSaver);
    EXPECT_EQ(ModeForLetter(ModeLetter({"-p:1234"})), TSaverMode::Preview);
    EXPECT_EQ(ModeForLetter(ModeLetter({"/a", "99"})), TSaverMode::PasswordSet);
    EXPECT_EQ(ModeForLetter(ModeLetter({"/c"})), TSaverMode::ConfigBox);
    EXPECT_EQ(ModeForLetter(ModeLetter({"s"})), TSaverMode::ConfigBox);
    EXPECT_EQ(ModeForLetter(ModeLetter({"/x"})), TSaverMode::ConfigBox);
    EXPECT_EQ(ModeForLetter(ModeLetter({})), TSaverMode::ConfigBox);
}

TEST(HostWindow, DecimalAndHexadecimalIds) {
    EXPECT_EQ(HostWindowArgument({"/p", "1234"}), 1234u);
    EXPECT_EQ(HostWindowArgument({"/p", "0x1e00007"}), 0x1e00007u);
    EXPECT_EQ(HostWindowArgument({"/p", "0XABCDEF"}), 0xABCDEFu);
    EXPECT_EQ(HostWindowArgument({"/p", "4294967295"}), 4294967295u);
}

TEST(HostWindow, MissingMalformedOrNoWindowGivesNone) {
    // The handle in the same argument as the letter is not read.
    EXPECT_EQ(HostWindowArgument({"/p:1234"}), std::nullopt);
    for (const char* bad :
         {"", "-1", "0", "0x0", "0x", "12a", "0x12g", " 12", "+12", "4294967296", "99999999999"})
        EXPECT_EQ(HostWindowArgument({"/p", bad}), std::nullopt) << bad;
}

TEST(HackTarget, XScreenSaversWordsOnly) {
    EXPECT_EQ(HackTarget(Args{"-window-id", "0x2a"}, nullptr)->window, 42u);
    EXPECT_EQ(HackTarget(Args{"-root"}, "12345")->window, 12345u);
    EXPECT_EQ(HackTarget(Args{"--root"}, "12345")->window, 12345u);
    EXPECT_EQ(HackTarget(Args{"--window-id", "7"}, nullptr)->window, 7u);
    EXPECT_FALSE(HackTarget(Args{"-root"}, nullptr)->window) << "the root window itself";
    EXPECT_FALSE(HackTarget(Args{"-root"}, "junk")->window);
    for (const Args& other : {Args{"/s"}, Args{"-r"}, Args{"/root"}, Args{"-window-id"},
                              Args{"-window-id", "0"}, Args{"-window-idx", "5"}, Args{}})
        EXPECT_FALSE(HackTarget(other, "77")) << (other.empty() ? "" : other[0]);
}

TEST(PresentationName, ExeExtensionInAnyCase) {
    EXPECT_TRUE(IsPresentationFileName("/home/u/show.exe"));
    EXPECT_TRUE(IsPresentationFileName("/home/u/show.Exe"));
    EXPECT_TRUE(IsPresentationFileName("SHOW.EXE"));
    EXPECT_TRUE(IsPresentationFileName("/a.b/show.tar.exe"));
    EXPECT_FALSE(IsPresentationFileName("/home/u/show.scr"));
    EXPECT_FALSE(IsPresentationFileName("/home/u/show.exe.scr"));
    EXPECT_FALSE(IsPresentationFileName("/home/u/show.exec"));
    EXPECT_FALSE(IsPresentationFileName("/home/u/exe"));
    // A dot in a folder name is not the file's extension.
    EXPECT_FALSE(IsPresentationFileName("/opt/x.exe/pictorelle"));
}

TEST(ProgramRequest, OnlyExactLongOptionsAreOurs) {
    EXPECT_EQ(ProgramRequest({"--help"}), TProgramRequest::Help);
    EXPECT_EQ(ProgramRequest({"--version"}), TProgramRequest::Version);
    EXPECT_EQ(ProgramRequest({}), TProgramRequest::Run);
    EXPECT_EQ(ProgramRequest({"-h"}), TProgramRequest::Run);
    EXPECT_EQ(ProgramRequest({"/s", "--help"}), TProgramRequest::Run);
}

} // namespace
} // namespace pictorelle

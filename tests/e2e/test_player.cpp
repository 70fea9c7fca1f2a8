// The player as a user meets it: shows made from the real player, run on a private X server
// with no window manager, driven with xdotool and checked by what is on the screen, what the
// program prints, and what it leaves behind.
#include "PlayerFixture.h"
#include "package/ByteSource.h"
#include "package/PackageWriter.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace pictorelle::test {
namespace {

namespace fs = std::filesystem;

TEST_F(PlayerOnDisplay, FullScreenCoversTheScreenAndEndsOnASixPixelMove) {
    x.MoveMouse(400, 300);
    auto show = Start(MakeShow(ShowContent()), {"/s"});
    const std::string window = WaitForWindow(kTitleRegex);
    ASSERT_FALSE(window.empty()) << show->Err();
    const auto info = x.Info(window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->x, 0);
    EXPECT_EQ(info->y, 0);
    EXPECT_EQ(info->width, 1024);
    EXPECT_EQ(info->height, 768);
    EXPECT_TRUE(info->overrideRedirect);
    EXPECT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) == Rgb{0x20, 0x30, 0x60}; }));
    EXPECT_EQ(x.Pixel(1, 766), (Rgb{0x20, 0x30, 0x60}));

    x.MoveMouse(405, 300);
    x.MoveMouse(395, 295);
    EXPECT_TRUE(KeepsRunning(*show)) << "a move of 5 pixels ended the show";
    x.MoveMouse(400, 306);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    EXPECT_TRUE(x.FindWindows(kTitleRegex).empty());
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, WithOnlyEscOnOnlyEscEndsTheShow) {
    PackageContent content = ShowContent();
    content.Header.ExitMouseMove = false;
    content.Header.ExitMouseButton = false;
    content.Header.ExitKeyboard = false;
    Process other("xmessage", {"-geometry", "300x200+0+0", "-name", "e2eother", "other"},
                  {"DISPLAY=" + x.Display()});
    x.MoveMouse(100, 100);
    auto show = Start(MakeShow(content), {"-S"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
    // The show holds the keyboard: keys reach it even while another window has the focus.
    std::string otherId;
    ASSERT_TRUE(WaitUntil([&] {
        const RunResult r = x.Tool("xdotool", {"search", "--classname", "e2eother"});
        otherId = r.out.substr(0, r.out.find('\n'));
        return !otherId.empty();
    }));
    x.Tool("xdotool", {"windowfocus", otherId});

    x.MoveMouse(700, 500);
    x.Click(1);
    x.Click(3);
    x.Key("a");
    x.Key("F2");
    x.Key("Return");
    EXPECT_TRUE(KeepsRunning(*show));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, OptionsModeShowsACentredWindow) {
    auto options = Start(MakeShow(ShowContent()), {"/c"});
    const std::string window = WaitForWindow(kTitleRegex);
    ASSERT_FALSE(window.empty()) << options->Err();
    const auto info = x.Info(window);
    ASSERT_TRUE(info);
    // Without a banner the panel drops its banner strip (69) and the unused link strip (15).
    EXPECT_EQ(info->width, 513);
    EXPECT_EQ(info->height, 297);
    EXPECT_EQ(info->x, (1024 - 513) / 2);
    EXPECT_EQ(info->y, (768 - 297) / 2);
    EXPECT_FALSE(info->overrideRedirect);
    // The options window is an ordinary window: input does not close it.
    x.MoveMouse(10, 10);
    x.Key("Escape");
    EXPECT_TRUE(KeepsRunning(*options));
    options->Kill(SIGTERM);
    ASSERT_TRUE(options->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, PreviewIsASmallChildOfTheHostWindowAndEndsWithIt) {
    const auto [host, hostId] = HostWindow("400x300+20+20", "e2ehost");
    ASSERT_FALSE(hostId.empty());

    auto preview = Start(MakeShow(ShowContent()), {"/p", hostId});
    std::string tree;
    EXPECT_TRUE(WaitUntil([&] {
        tree = x.Tool("xwininfo", {"-children", "-id", hostId}).out;
        return tree.find("152x112+0+0") != std::string::npos;
    })) << tree
        << preview->Err();
    // The preview takes no input: a click on it leaves it running.
    x.MoveMouse(60, 60);
    x.Click(1);
    EXPECT_TRUE(KeepsRunning(*preview));

    host->Kill(SIGTERM);
    ASSERT_TRUE(preview->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(preview->Status(), 0);
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, ExeCopyRunsTheShowIgnoringTheCommandLine) {
    x.MoveMouse(200, 200);
    auto show = Start(MakeShow(ShowContent(), "show.Exe"), {"/c"});
    const std::string window = WaitForWindow(kTitleRegex);
    ASSERT_FALSE(window.empty()) << show->Err();
    const auto info = x.Info(window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 1024);
    EXPECT_EQ(info->height, 768);
    EXPECT_TRUE(info->overrideRedirect);
    // A presentation ends only by Esc.
    x.MoveMouse(600, 600);
    x.Key("space");
    EXPECT_TRUE(KeepsRunning(*show));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, ExeCopyOfAScreenSaverOnlyShowEndsWithoutAWindow) {
    PackageContent content = ShowContent();
    content.Header.AllowStandalone = false;
    auto show = Start(MakeShow(content, "show.exe"), {});
    // No window of the show: only a message that says why, which the user closes.
    const std::string message = WaitForWindow(kTitleRegex);
    ASSERT_FALSE(message.empty()) << show->Err();
    const auto info = x.Info(message);
    ASSERT_TRUE(info);
    EXPECT_LT(info->width, 1024);
    EXPECT_NE(show->Err().find("only run as a screen saver"), std::string::npos) << show->Err();
    x.Tool("xdotool", {"windowfocus", "--sync", message});
    x.Key("Return");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_NE(show->Status(), 0);
    EXPECT_TRUE(x.FindWindows(kTitleRegex).empty());
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, BarePlayerReportsACorruptFileAndFails) {
    auto bare = Start(BinPath("pictorelle"), {"/s"});
    const std::string box = WaitForWindow("^Screen Saver$");
    ASSERT_FALSE(box.empty()) << bare->Err();
    EXPECT_TRUE(WaitUntil(
        [&] { return bare->Err().find("* The file is corrupted") != std::string::npos; }));
    x.Tool("xdotool", {"windowfocus", "--sync", box});
    x.Key("Return");
    ASSERT_TRUE(bare->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(bare->Status(), 1);
    EXPECT_NE(bare->Err().find("The screen saver can not run because of one of the following "
                               "reasons:"),
              std::string::npos);
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(PlayerOnDisplay, ClosingOpensOnlyASafeExitAddress) {
    PackageContent content = ShowContent();
    content.Strings[StringId::ExitLinkAddress] = "https://example.org/bye";
    auto show = Start(MakeShow(content), {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
    x.Key("space");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(WaitUntil([&] { return !Opened().empty(); }));
    EXPECT_EQ(Opened(), "https://example.org/bye\n");

    fs::remove(dir / "opened.txt");
    content.Strings[StringId::ExitLinkAddress] = "file:///etc/passwd";
    auto unsafe = Start(MakeShow(content, "unsafe.scr"), {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << unsafe->Err();
    x.Key("space");
    ASSERT_TRUE(unsafe->WaitExit(kExitTimeoutMs));
    EXPECT_FALSE(WaitUntil([&] { return !Opened().empty(); }, 1500));
    EXPECT_NE(unsafe->Err().find("Not opening"), std::string::npos);
}

TEST(PlayerCommandLine, HelpAndVersionNeedNoDisplayAndNoPackage) {
    const RunResult help = RunProgram(BinPath("pictorelle"), {"--help"}, {"DISPLAY="});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("/p WINDOW"), std::string::npos);
    EXPECT_NE(help.out.find("/s"), std::string::npos);
    EXPECT_NE(help.out.find(".exe"), std::string::npos);
    // The hack mode's options, and what the bare player does.
    EXPECT_NE(help.out.find("-root"), std::string::npos);
    EXPECT_NE(help.out.find("-window-id WINDOW"), std::string::npos);
    EXPECT_NE(help.out.find("corrupted"), std::string::npos);
    const RunResult version = RunProgram(BinPath("pictorelle"), {"--version"}, {"DISPLAY="});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("pictorelle ", 0), 0u);

    // The tools answer the same way, on standard output.
    for (const char* tool : {"pictorelle-pack", "pictorelle-render"}) {
        const RunResult toolHelp = RunProgram(BinPath(tool), {"--help"});
        EXPECT_EQ(toolHelp.status, 0) << tool;
        EXPECT_NE(toolHelp.out.find("usage:"), std::string::npos) << tool;
        EXPECT_EQ(RunProgram(BinPath(tool), {"--version"}).out.rfind(tool, 0), 0u) << tool;
    }

    // Without a display: the password change has nothing to do, and the show says why it
    // cannot run.
    EXPECT_EQ(RunProgram(BinPath("pictorelle"), {"/a"}, {"DISPLAY="}).status, 0);
    const RunResult none = RunProgram(PICTORELLE_DEMO_SHOW, {"/s"}, {"DISPLAY="});
    EXPECT_NE(none.err.find("no display is set"), std::string::npos) << none.err;
}

} // namespace
} // namespace pictorelle::test

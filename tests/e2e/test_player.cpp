// The player as a user meets it: shows made from the real player, run on a private X server
// with no window manager, driven with xdotool and checked by what is on the screen, what the
// program prints, and what it leaves behind.
#include "Run.h"
#include "XServer.h"
#include "package/ByteSource.h"
#include "package/PackageWriter.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace pictorelle::test {
namespace {

namespace fs = std::filesystem;

const char* const kTitle = "E2E Show";
const char* const kTitleRegex = "^E2E Show$";
constexpr int kExitTimeoutMs = 15000;

PackageContent ShowContent() {
    PackageContent c;
    PackageHeader& h = c.Header;
    h.Seconds = 5;
    h.EffectSpeed = 4;
    h.GradientStyle = 1;
    h.BackColor = 0x00603020; // red 0x20, green 0x30, blue 0x60
    h.ExitMouseMove = h.ExitMouseButton = h.ExitKeyboard = h.ExitESC = true;
    h.AllowStandalone = true;
    h.LogoTransparentColor = kNoColorValue;
    c.Strings[StringId::SaverTitle] = kTitle;
    return c;
}

class PlayerOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"tmp", "config", "bin", "run"})
            fs::create_directory(dir / sub);
        fs::permissions(dir / "run", fs::perms::owner_all);
        // Stands in for the desktop's address opener and records what it was asked to open.
        WriteText(dir / "bin/xdg-open",
                  "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + (dir / "opened.txt") + "'\n");
        fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
    }

    std::vector<std::string> Env() const {
        const char* path = std::getenv("PATH");
        return {"DISPLAY=" + x.Display(),
                "TMPDIR=" + (dir / "tmp"),
                "XDG_CONFIG_HOME=" + (dir / "config"),
                "XDG_RUNTIME_DIR=" + (dir / "run"),
                "HOME=" + dir.path(),
                "PATH=" + (dir / "bin") + ":" + (path ? path : "/usr/bin:/bin"),
                "QT_QPA_PLATFORM=xcb"};
    }

    // A show: a copy of the player with the package appended.
    std::string MakeShow(const PackageContent& content, const std::string& name = "show.scr") {
        std::vector<uint8_t> bytes = ReadWholeFile(BinPath("pictorelle"));
        const std::vector<uint8_t> package = WritePackage(content);
        bytes.insert(bytes.end(), package.begin(), package.end());
        const std::string path = dir / name;
        WriteBytes(path, bytes);
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }

    std::unique_ptr<Process> Start(const std::string& program, std::vector<std::string> args) {
        return std::make_unique<Process>(program, std::move(args), Env());
    }

    // The one visible window whose name matches, once it has appeared.
    std::string WaitForWindow(const std::string& nameRegex) {
        std::vector<std::string> found;
        WaitUntil([&] { return !(found = x.FindWindows(nameRegex)).empty(); });
        return found.empty() ? std::string() : found.front();
    }

    // Still running after a while: input that must not end the show has had its chance.
    static bool KeepsRunning(Process& p) { return !p.WaitExit(1500); }

    bool TempFoldersGone() const { return fs::is_empty(dir / "tmp"); }

    std::string Opened() const {
        const std::string path = dir / "opened.txt";
        return fs::exists(path) ? ReadText(path) : std::string();
    }

    static std::string ReadText(const std::string& path) {
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    XServer x;
    ScratchDir dir;
};

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
    Process host("xmessage", {"-geometry", "400x300+20+20", "-name", "e2ehost", "preview host"},
                 {"DISPLAY=" + x.Display()});
    std::string hostId;
    ASSERT_TRUE(WaitUntil([&] {
        const RunResult r =
            x.Tool("xdotool", {"search", "--onlyvisible", "--classname", "e2ehost"});
        hostId = r.out.substr(0, r.out.find('\n'));
        return !hostId.empty();
    }));

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

    host.Kill(SIGTERM);
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
    const RunResult version = RunProgram(BinPath("pictorelle"), {"--version"}, {"DISPLAY="});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("pictorelle ", 0), 0u);
}

} // namespace
} // namespace pictorelle::test

// The show run as another screen saver's hack: drawn into the window it is given, ended by
// SIGTERM, and started by XScreenSaver itself.
#include "PlayerFixture.h"

#include <QBuffer>
#include <QImage>
#include <chrono>
#include <csignal>
#include <unistd.h>

namespace pictorelle::test {
namespace {

constexpr Rgb kRed{255, 0, 0};

PackageContent RedShow() {
    PackageContent c = ShowContent();
    PackageEntry<ItemRecord> item;
    item.Record.Ext = ".png";
    item.Record.ItemStretch = 1; // over the whole window
    item.Data = SolidPng(Qt::red);
    c.Items.push_back(item);
    return c;
}

class HackMode : public PlayerOnDisplay {};

TEST_F(HackMode, DrawsIntoTheGivenWindowTakesNoInputAndEndsOnSigterm) {
    const auto [host, hostId] = HostWindow("400x300+100+50", "e2ehost");
    ASSERT_FALSE(hostId.empty());

    x.MoveMouse(600, 600);
    auto show = Start(MakeShow(RedShow()), {"-window-id", hostId});
    // The picture fills the host window, and only that.
    EXPECT_TRUE(WaitUntil([&] { return x.Pixel(300, 200) == kRed && x.Pixel(495, 345) == kRed; }))
        << show->Err();
    EXPECT_NE(x.Pixel(600, 500), kRed);
    // Input is the other screen saver's business: a move, a click and a key change nothing.
    x.MoveMouse(300, 200);
    x.Click(1);
    x.Key("Escape");
    EXPECT_TRUE(KeepsRunning(*show));

    const auto asked = std::chrono::steady_clock::now();
    show->Kill(SIGTERM);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - asked);
    std::printf("SIGTERM to exit: %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_TRUE(TempFoldersGone());
}

// XScreenSaver itself, with the show as its only hack: activating the saver starts the show
// on the screen, deactivating it ends the show. XScreenSaver runs no hacks as root, so there
// the saver and the show run as the unprivileged user nobody, with a home of their own.
TEST_F(HackMode, XScreenSaverStartsAndEndsTheShow) {
    if (RunProgram("sh", {"-c", "command -v xscreensaver"}).status != 0)
        GTEST_SKIP() << "xscreensaver is not installed";
    const bool root = ::geteuid() == 0;
    const fs::path home = dir / "saver";
    for (const char* sub : {"", "tmp", "config", "run"})
        fs::create_directory(home / sub);
    const std::string show = home / "show.scr";
    fs::copy_file(MakeShow(RedShow()), show);
    fs::permissions(show, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    WriteText(home / ".xscreensaver", "mode: one\nselected: 0\nlock: False\nfade: False\n"
                                      "unfade: False\nsplash: False\ntimeout: 0:30:00\n"
                                      "programs: \"E2E Show\" " +
                                          show + " -root \\n\n");
    fs::permissions(home / "run", fs::perms::owner_all);
    std::vector<std::string> prefix;
    if (root) {
        fs::permissions(dir.path(),
                        fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        for (const auto& entry : fs::recursive_directory_iterator(home))
            ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
        prefix = {"--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    std::vector<std::string> env = Env();
    for (const std::string& e : {"HOME=" + home.string(), "TMPDIR=" + (home / "tmp").string(),
                                 "XDG_CONFIG_HOME=" + (home / "config").string(),
                                 "XDG_RUNTIME_DIR=" + (home / "run").string()})
        env.push_back(e);
    // Runs a program as the saver's user.
    auto as = [&](const std::string& program, std::vector<std::string> args) {
        if (!root) return std::pair{program, args};
        std::vector<std::string> all = prefix;
        all.push_back(program);
        all.insert(all.end(), args.begin(), args.end());
        return std::pair{std::string("setpriv"), all};
    };
    auto command = [&](const std::string& what) {
        const auto [program, args] = as("xscreensaver-command", {what});
        return RunProgram(program, args, env).status;
    };
    auto gone = [&] { return fs::is_empty(home / "tmp"); };

    const auto [saverProgram, saverArgs] = as("xscreensaver", {"-no-splash"});
    auto saver = std::make_unique<Process>(saverProgram, saverArgs, env);
    ASSERT_TRUE(WaitUntil([&] { return command("-version") == 0; })) << saver->Err();
    ASSERT_EQ(command("-activate"), 0);
    EXPECT_TRUE(WaitUntil([&] {
        return RunProgram("pgrep", {"-f", show}).status == 0 && x.Pixel(512, 384) == kRed;
    })) << saver->Err();

    ASSERT_EQ(command("-deactivate"), 0);
    EXPECT_TRUE(WaitUntil([&] {
        return RunProgram("pgrep", {"-f", show}).status != 0 && gone();
    })) << saver->Err();
    command("-exit");
    if (!saver->WaitExit(5000)) saver->Kill(SIGKILL);
}

// xss-lock runs the show when the X server's own screen saver starts (here after 2 s idle);
// a mouse move ends the show as usual.
TEST_F(HackMode, XssLockStartsTheFullScreenShowWhenTheMachineIsIdle) {
    if (RunProgram("sh", {"-c", "command -v xss-lock"}).status != 0)
        GTEST_SKIP() << "xss-lock is not installed";
    const std::string show = MakeShow(RedShow());
    ASSERT_EQ(RunProgram("xset", {"s", "2", "0"}, Env()).status, 0);
    Process watcher("xss-lock", {"--", show, "/s"}, Env());
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << watcher.Err();
    EXPECT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) == kRed; }));
    x.MoveMouse(100, 100);
    x.MoveMouse(400, 400);
    EXPECT_TRUE(WaitUntil([&] { return x.FindWindows(kTitleRegex).empty(); })) << watcher.Err();
    watcher.Kill(SIGTERM);
    watcher.WaitExit(5000);
    EXPECT_TRUE(WaitUntil([&] { return TempFoldersGone(); }));
}

} // namespace
} // namespace pictorelle::test

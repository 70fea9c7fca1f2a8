// Shows on a Wayland desktop: a private headless sway, driven with swaymsg and wtype and seen
// through grim. The show covers every output through the compositor, ends on the same input as
// on X11, holds the compositor's idle timer while it runs, sets sway's background on F2, and
// is started by swayidle.
#include "PlayerFixture.h"
#include "SwayServer.h"
#include "package/LibraryShow.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

namespace pictorelle::test {
namespace {

const QColor kRed(220, 30, 30), kBlue(30, 30, 220), kYellow(230, 220, 20);
const Rgb kSwayBackground{0, 255, 0};

Rgb RgbOf(QColor c) {
    return {c.red(), c.green(), c.blue()};
}

PackageEntry<ItemRecord> SolidItem(QColor colour) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Data = SolidPng(colour, 64, 48);
    entry.Record.ItemStretch = 1;
    return entry;
}

// Where the tests leave the pointer.
constexpr int kPointerX = 300, kPointerY = 300;

// How many pixels of the screenshot are not this colour. The show hides the pointer, so every
// pixel counts, the one under it too.
int PixelsOtherThan(const QImage& shot, Rgb colour) {
    int other = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (PixelOf(shot, x, y) != colour) ++other;
    return other;
}

class ShowOnSway : public ::testing::Test {
protected:
    void SetUp() override {
        try {
            sway = std::make_unique<SwayServer>(1024, 768, "#00ff00", outputs);
        } catch (const SwayUnavailable& e) {
            GTEST_SKIP() << "Wayland cannot run here: " << e.what();
        }
        home = sway->Home();
        for (const char* sub : {"tmp", "config", "bin"})
            fs::create_directory(home + "/" + sub);
        sway->GiveToUser(home);
        sway->SetPointer(kPointerX, kPointerY);
    }

    std::string MakeShow(const PackageContent& content, const std::string& name = "show.scr") {
        const std::string path = WriteShow(content, home + "/" + name);
        sway->GiveToUser(path);
        return path;
    }

    std::vector<std::string> ShowEnv() const {
        const char* path = std::getenv("PATH");
        return {"TMPDIR=" + home + "/tmp", "XDG_CONFIG_HOME=" + home + "/config",
                "PATH=" + home + "/bin:" + (path ? path : "/usr/bin:/bin")};
    }

    std::unique_ptr<Process> StartShow(const std::string& show, std::vector<std::string> args) {
        return sway->Start(show, std::move(args), ShowEnv());
    }

    // The whole output shows the colour: the show's picture, no bar, no title, no gap.
    bool OutputShows(QColor colour, const std::string& output = "", int timeoutMs = 20000) {
        const bool shown = WaitUntil(
            [&] {
                last = sway->Screenshot(output);
                return !last.isNull() && PixelsOtherThan(last, RgbOf(colour)) == 0;
            },
            timeoutMs);
        if (!shown && !last.isNull()) {
            const Rgb centre = PixelOf(last, last.width() / 2, last.height() / 2);
            ADD_FAILURE() << "the output shows " << PixelsOtherThan(last, RgbOf(colour))
                          << " other pixels; its centre is " << centre.r << "," << centre.g << ","
                          << centre.b;
        }
        return shown;
    }

    bool CentreShows(QColor colour, int timeoutMs = 20000) {
        return WaitUntil([&] { return PixelOf(sway->Screenshot(), 512, 384) == RgbOf(colour); },
                         timeoutMs);
    }

    static PackageContent Content(std::initializer_list<QColor> colours, int seconds) {
        PackageContent c = ShowContent();
        c.Header.Seconds = seconds;
        for (QColor colour : colours)
            c.Items.push_back(SolidItem(colour));
        return c;
    }

    int outputs = 1;
    std::unique_ptr<SwayServer> sway;
    std::string home;
    QImage last;
};

TEST_F(ShowOnSway, TheShowCoversTheOutputFullScreenAndChangesPicturesThroughATransition) {
    auto show = StartShow(MakeShow(Content({kRed, kBlue}, 2)), {"/s"});
    ASSERT_TRUE(OutputShows(kRed)) << show->Err();
    const auto views = sway->Views(kTitle);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].value("fullscreen_mode", 0), 1);
    EXPECT_EQ(views[0]["rect"]["width"], 1024);
    EXPECT_EQ(views[0]["rect"]["height"], 768);

    // On to the blue picture, over the whole output again.
    EXPECT_TRUE(OutputShows(kBlue));

    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << show->Err();
}

class ShowOnTwoSwayOutputs : public ShowOnSway {
protected:
    ShowOnTwoSwayOutputs() { outputs = 2; }
};

TEST_F(ShowOnTwoSwayOutputs, BothOutputsAreCovered) {
    ASSERT_EQ(sway->Query("get_outputs").size(), 2u);
    auto show = StartShow(MakeShow(Content({kRed}, 30)), {"/s"});
    ASSERT_TRUE(OutputShows(kRed, "HEADLESS-1")) << show->Err();
    // The second monitor's window: one colour over all of it, no background showing.
    QImage second;
    EXPECT_TRUE(WaitUntil([&] {
        second = sway->Screenshot("HEADLESS-2");
        return !second.isNull() && PixelOf(second, 600, 600) != kSwayBackground &&
               PixelsOtherThan(second, PixelOf(second, 600, 600)) == 0;
    })) << show->Err()
        << " " << second.width() << "x" << second.height() << " "
        << PixelsOtherThan(second, kSwayBackground) << " "
        << PixelsOtherThan(second, PixelOf(second, 600, 600));
    const auto views = sway->Views(kTitle);
    ASSERT_EQ(views.size(), 2u);
    for (const auto& view : views)
        EXPECT_EQ(view.value("fullscreen_mode", 0), 1);
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
}

// Three outputs: each is covered from edge to edge. With the other monitors in use the pictures
// go round them, main first; a show that keeps to the main monitor covers the others with its
// background.
class ShowOnThreeSwayOutputs : public ShowOnSway {
protected:
    ShowOnThreeSwayOutputs() { outputs = 3; }

    // The output shows one colour, not the desktop's, over all of it.
    bool OutputCovered(const std::string& output, std::optional<Rgb> colour = std::nullopt) {
        return WaitUntil([&] {
            last = sway->Screenshot(output);
            if (last.isNull()) return false;
            const Rgb centre = PixelOf(last, last.width() / 2, last.height() / 2);
            return centre != kSwayBackground && (!colour || centre == *colour) &&
                   PixelsOtherThan(last, centre) == 0;
        });
    }
};

TEST_F(ShowOnThreeSwayOutputs, PicturesGoRoundTheThreeOutputs) {
    ASSERT_EQ(sway->Query("get_outputs").size(), 3u);
    PackageContent c = Content({kRed, kBlue, kYellow}, 2);
    c.Header.DisableTwoMonitors = false;
    auto show = StartShow(MakeShow(c), {"/s"});
    // The first picture goes to every output at once, then the others take their turns.
    EXPECT_TRUE(OutputCovered("HEADLESS-1", RgbOf(kRed))) << show->Err();
    EXPECT_TRUE(OutputCovered("HEADLESS-2", RgbOf(kBlue))) << show->Err();
    EXPECT_TRUE(OutputCovered("HEADLESS-3", RgbOf(kYellow))) << show->Err();
    EXPECT_TRUE(OutputCovered("HEADLESS-2", RgbOf(kBlue))) << "the second output's picture stays";
    const auto views = sway->Views(kTitle);
    ASSERT_EQ(views.size(), 3u);
    for (const auto& view : views)
        EXPECT_EQ(view.value("fullscreen_mode", 0), 1);
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

// A library show takes the same turns: its pictures, in path order, go round the outputs.
TEST_F(ShowOnThreeSwayOutputs, ALibrarysPicturesGoRoundTheThreeOutputs) {
    const std::string lib = home + "/lib";
    fs::create_directory(lib);
    const QColor colours[] = {kRed, kBlue, kYellow};
    for (int i = 0; i < 3; ++i)
        WriteBytes(lib + "/" + std::to_string(i) + ".png", SolidPng(colours[i]));
    PackageContent c = Content({}, 2);
    TLibraryShow library;
    library.Folder = lib;
    library.Template.ItemStretch = 1;
    StoreLibraryShow(library, c.Strings);
    sway->GiveToUser(lib);
    std::vector<std::string> env = ShowEnv();
    env.push_back("XDG_CACHE_HOME=" + home + "/cache");
    auto show = sway->Start(MakeShow(c), {"/s"}, env);
    EXPECT_TRUE(OutputCovered("HEADLESS-1", RgbOf(kRed))) << show->Err();
    EXPECT_TRUE(OutputCovered("HEADLESS-2", RgbOf(kBlue))) << show->Err();
    EXPECT_TRUE(OutputCovered("HEADLESS-3", RgbOf(kYellow))) << show->Err();
    EXPECT_TRUE(OutputCovered("HEADLESS-2", RgbOf(kBlue))) << "the second output's picture stays";
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << show->Err();
}

TEST_F(ShowOnThreeSwayOutputs, AShowOnTheMainMonitorCoversTheOthersWithItsBackground) {
    PackageContent c = Content({kRed}, 30);
    c.Header.DisableTwoMonitors = true;
    auto show = StartShow(MakeShow(c), {"/s"});
    EXPECT_TRUE(OutputCovered("HEADLESS-1", RgbOf(kRed))) << show->Err();
    // The background's gradient starts from the back colour in its top-left corner; none of
    // the desktop shows anywhere.
    const Rgb backColour{0x20, 0x30, 0x60};
    for (const char* output : {"HEADLESS-2", "HEADLESS-3"}) {
        EXPECT_TRUE(WaitUntil([&] {
            last = sway->Screenshot(output);
            return !last.isNull() && PixelOf(last, 0, 0) == backColour &&
                   PixelsOtherThan(last, kSwayBackground) == last.width() * last.height();
        })) << output
            << " is not covered: " << PixelOf(last, 0, 0).r << "," << PixelOf(last, 0, 0).g << ","
            << PixelOf(last, 0, 0).b << "; " << show->Err();
    }
    EXPECT_EQ(sway->Views(kTitle).size(), 3u);
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
}

// The pointer's first place is where it entered the show: five pixels away keep the show, the
// sixth ends it.
TEST_F(ShowOnSway, AMoveOfMoreThanFivePixelsEndsTheShow) {
    auto show = StartShow(MakeShow(Content({kRed}, 30)), {"/s"});
    ASSERT_TRUE(OutputShows(kRed)) << show->Err();
    sway->MovePointer(5, 0);
    EXPECT_FALSE(show->WaitExit(1500)) << "a move of 5 pixels ended the show";
    sway->MovePointer(1, 0);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << "a move of 6 pixels did not end the show";
    EXPECT_EQ(show->Status(), 0);
}

// While the show runs the compositor's idle timer stands still: an idle watcher's timeout does
// not come. Once Esc has ended it, the desktop goes idle again.
TEST_F(ShowOnSway, EscEndsTheShowWhichHoldsOffIdleWhileItRuns) {
    auto show = StartShow(MakeShow(Content({kRed}, 30)), {"/s"});
    ASSERT_TRUE(OutputShows(kRed)) << show->Err();
    const std::string marker = home + "/idle";
    auto idle = sway->Start("swayidle", {"-w", "timeout", "1", "touch " + marker});
    EXPECT_FALSE(WaitUntil([&] { return fs::exists(marker); }, 4000))
        << "the desktop went idle under the show";
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    // A watcher that starts counting now sees the desktop go idle.
    idle.reset();
    const std::string after = home + "/idle-after";
    auto again = sway->Start("swayidle", {"-w", "timeout", "1", "touch " + after});
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(after); })) << "idle stayed held";
}

// wtype's keyboard goes away after each key, which takes the activation from the show; that
// ends a show that ends on clicks (and so on activation changes), so this one ends on keys only.
TEST_F(ShowOnSway, F2MakesThePictureSwaysBackground) {
    PackageContent c = Content({kYellow}, 30);
    c.Header.ExitMouseButton = false;
    auto show = StartShow(MakeShow(c), {"/s"});
    ASSERT_TRUE(OutputShows(kYellow)) << show->Err();
    sway->Key("F2");
    EXPECT_FALSE(show->WaitExit(1500)) << "F2 ended the show";
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    // With the show gone, the desktop's background is the picture.
    EXPECT_TRUE(WaitUntil([&] { return PixelOf(sway->Screenshot(), 512, 384) == RgbOf(kYellow); }))
        << show->Err() << sway->Msg({"-t", "get_outputs"}).out.substr(0, 300);
}

TEST_F(ShowOnSway, ThePresentationPanelComesOnAMoveAndNextAndCloseWork) {
    auto show = StartShow(MakeShow(Content({kRed, kBlue}, 60), "show.exe"), {});
    ASSERT_TRUE(OutputShows(kRed)) << show->Err();
    // The panel: 193 x 41, centred, 20 pixels above the bottom; its five buttons 34 wide,
    // 3 apart, from 5 pixels in: Play, Pause, Back, Next, Close.
    const int panelX = (1024 - 193) / 2, panelY = 768 - 41 - 20;
    auto button = [&](int k) { return std::pair{panelX + 5 + k * 37 + 17, panelY + 20}; };
    sway->MovePointer(6, 6);
    ASSERT_TRUE(WaitUntil([&] {
        return PixelOf(sway->Screenshot(), panelX + 2, panelY + 20) != RgbOf(kRed);
    })) << "a move of 6 pixels did not show the panel";
    EXPECT_TRUE(show->Running());

    const auto [nextX, nextY] = button(3);
    sway->SetPointer(nextX, nextY);
    sway->Click(1);
    EXPECT_TRUE(CentreShows(kBlue)) << "Next did not show the next picture";

    // The panel may have hidden while the next picture came (a slow machine); the move to
    // Close brings it back, and the click waits for it.
    const auto [closeX, closeY] = button(4);
    sway->SetPointer(closeX, closeY);
    ASSERT_TRUE(WaitUntil([&] {
        return PixelOf(sway->Screenshot(), panelX + 2, panelY + 20) != RgbOf(kBlue);
    })) << "the move to Close did not show the panel";
    sway->Click(1);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << "Close did not end the presentation";
    EXPECT_EQ(show->Status(), 0);
}

TEST_F(ShowOnSway, SwayidleStartsTheShowAfterTheIdleTimeAndInputEndsIt) {
    const std::string show = MakeShow(Content({kRed}, 30));
    std::string command;
    for (const std::string& e : ShowEnv())
        command += e + " ";
    auto idle = sway->Start("swayidle", {"-w", "timeout", "2", command + show + " /s"});
    ASSERT_TRUE(WaitUntil([&] { return !sway->Views(kTitle).empty(); })) << idle->Err();
    EXPECT_TRUE(OutputShows(kRed));
    sway->Key("a");
    EXPECT_TRUE(WaitUntil([&] { return sway->Views(kTitle).empty(); }))
        << "a key did not end the show that swayidle started";
}

// The exit banner floats in the middle of the output the show's main window covered, at its own
// size, with no border or title from sway, its close glyph in its top-right corner; Esc closes
// it.
TEST_F(ShowOnSway, TheExitBannerComesUpCentredBorderlessWithItsCloseGlyph) {
    const QColor banner(20, 180, 60);
    PackageContent c = Content({kRed}, 30);
    c.Header.ExitMouseMove = c.Header.ExitMouseButton = false; // the keyboard ends it
    c.Header.ExitBannerExt = ".png";
    c.ExitBanner = SolidPng(banner, 400, 300);
    auto show = StartShow(MakeShow(c), {"/s"});
    ASSERT_TRUE(OutputShows(kRed, "HEADLESS-1")) << show->Err();
    sway->Key("Escape");
    const QRect expected((1024 - 400) / 2, (768 - 300) / 2, 400, 300);
    QImage shot;
    ASSERT_TRUE(WaitUntil([&] {
        shot = sway->Screenshot("HEADLESS-1");
        return PixelOf(shot, expected.left() + 1, expected.bottom() - 1) == RgbOf(banner);
    })) << show->Err();
    // Its corners are the banner's; one pixel further out is not.
    for (const QPoint corner :
         {expected.topLeft(), expected.topRight(), expected.bottomLeft(), expected.bottomRight()}) {
        EXPECT_EQ(PixelOf(shot, corner.x(), corner.y()), RgbOf(banner))
            << corner.x() << "," << corner.y();
        const QPoint out = corner + QPoint(corner.x() == expected.left() ? -1 : 1,
                                           corner.y() == expected.top() ? -1 : 1);
        EXPECT_NE(PixelOf(shot, out.x(), out.y()), RgbOf(banner)) << out.x() << "," << out.y();
    }
    // The close glyph: 21 pixels square, 8 from the top and 9 from the right, light with a
    // dark cross.
    const QPoint glyph(expected.right() - 9 - 21 + 1, expected.top() + 8);
    EXPECT_EQ(PixelOf(shot, glyph.x() + 3, glyph.y() + 17), (Rgb{0xF0, 0xF0, 0xF0}));
    const Rgb cross = PixelOf(shot, glyph.x() + 10, glyph.y() + 10);
    EXPECT_LT(cross.r + cross.g + cross.b, 3 * 0x60) << cross.r << "," << cross.g << "," << cross.b;
    const auto views = sway->Views("Exit Banner");
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]["type"], "floating_con");
    EXPECT_EQ(views[0]["rect"]["x"], expected.left());
    EXPECT_EQ(views[0]["rect"]["y"], expected.top());

    EXPECT_TRUE(show->Running()) << "the program did not wait for the banner";
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << show->Err();
    EXPECT_EQ(show->Status(), 0);
}

// A desktop that holds off idle through the session bus: a private bus with a stand-in for its
// screen-saver service, and a show told to go that way. The cookie it gets is given back when
// Esc ends the show, and a show ended by SIGTERM leaves the bus, which is how the desktops'
// services let go of a cookie whose owner went without a word.
class IdleThroughTheBus : public ShowOnSway {
protected:
    void SetUp() override {
        ShowOnSway::SetUp();
        if (IsSkipped()) return;
        const std::string socket = home + "/bus";
        busAddress = "unix:path=" + socket;
        bus = sway->Start("dbus-daemon", {"--session", "--nofork", "--address=" + busAddress});
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(socket); })) << bus->Err();
        const std::string tool = home + "/bin/fake-screensaver";
        fs::copy_file(PICTORELLE_FAKE_SCREENSAVER, tool);
        sway->GiveToUser(tool);
        service = sway->Start(tool, {}, {"DBUS_SESSION_BUS_ADDRESS=" + busAddress});
        ASSERT_TRUE(WaitUntil([&] { return service->Out().find("ready\n") != std::string::npos; }))
            << service->Err();
    }

    std::unique_ptr<Process> StartShowOnBus() {
        std::vector<std::string> env = ShowEnv();
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress);
        env.push_back("PICTORELLE_IDLE_INHIBIT=bus");
        auto show = sway->Start(MakeShow(Content({kRed}, 30)), {"/s"}, env);
        EXPECT_TRUE(OutputShows(kRed)) << show->Err();
        return show;
    }

    // The cookie the show was handed, from the service's line "inhibit COOKIE TITLE REASON".
    std::string HandedCookie() {
        std::string line;
        WaitUntil([&] {
            const std::string out = service->Out();
            const size_t at = out.find("inhibit ");
            if (at == std::string::npos) return false;
            line = out.substr(at, out.find('\n', at) - at);
            return true;
        });
        if (line.empty()) return {};
        EXPECT_NE(line.find(std::string(" ") + kTitle + " "), std::string::npos) << line;
        return line.substr(8, line.find(' ', 8) - 8);
    }

    bool ServiceSays(const std::string& line) {
        return WaitUntil([&] { return service->Out().find(line + "\n") != std::string::npos; });
    }

    std::string busAddress;
    std::unique_ptr<Process> bus, service;
};

TEST_F(IdleThroughTheBus, EscGivesTheCookieBack) {
    auto show = StartShowOnBus();
    const std::string cookie = HandedCookie();
    ASSERT_FALSE(cookie.empty()) << show->Err() << service->Out();
    EXPECT_TRUE(show->Running());
    EXPECT_EQ(service->Out().find("uninhibit"), std::string::npos) << "given back too early";
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << show->Err();
    EXPECT_TRUE(ServiceSays("uninhibit " + cookie)) << service->Out();
    EXPECT_EQ(service->Out().find("gone"), std::string::npos) << service->Out();
}

TEST_F(IdleThroughTheBus, SigtermLeavesTheBusSoTheCookieGoes) {
    auto show = StartShowOnBus();
    const std::string cookie = HandedCookie();
    ASSERT_FALSE(cookie.empty()) << show->Err() << service->Out();
    show->Kill(SIGTERM);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    // Nothing of the show (no helper process) keeps its connection to the bus.
    EXPECT_TRUE(ServiceSays("gone " + cookie)) << service->Out();
}

// sway hands its screen to ordinary clients: a show that starts from the desktop starts from
// what the output showed (here a background of a colour of the test's own), and a show whose
// background is the desktop puts its pictures on that copy.
class DesktopCopyOnSway : public ShowOnSway {
protected:
    void SetUp() override {
        ShowOnSway::SetUp();
        if (IsSkipped()) return;
        sway->Msg({"output", "*", "bg", "#285ac8", "solid_color"});
        ASSERT_TRUE(CentreShows(kDesktop)) << "sway did not take the new background";
    }

    static constexpr Rgb kDesktopRgb{40, 90, 200};
    const QColor kDesktop{40, 90, 200};
};

TEST_F(DesktopCopyOnSway, TheFirstFrameOfADesktopStartIsTheDesktop) {
    PackageContent c = Content({kRed}, 4);
    c.Header.DesktopStart = true;
    auto show = StartShow(MakeShow(c), {"/s"});
    ASSERT_TRUE(WaitUntil([&] {
        const auto views = sway->Views(kTitle);
        return !views.empty() && views[0].value("fullscreen_mode", 0) == 1;
    })) << show->Err();
    // The window is sway's from its first buffer on: whatever shows now is the show's.
    // A compositor that draws the pointer itself puts it in the copy too: only the pointer's
    // corner of the output may differ.
    const QImage first = sway->Screenshot();
    int other = 0;
    for (int y = 0; y < first.height(); ++y)
        for (int x = 0; x < first.width(); ++x)
            if (PixelOf(first, x, y) != kDesktopRgb &&
                !QRect(kPointerX - 8, kPointerY - 8, 64, 64).contains(x, y))
                ++other;
    EXPECT_EQ(other, 0) << "the first frame is not the desktop; its centre is "
                        << PixelOf(first, 512, 384).r << "," << PixelOf(first, 512, 384).g << ","
                        << PixelOf(first, 512, 384).b;
    EXPECT_TRUE(OutputShows(kRed)) << "the first picture did not follow the desktop";
    EXPECT_EQ(show->Err().find("copy of its screen"), std::string::npos) << show->Err();
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

TEST_F(DesktopCopyOnSway, ADesktopSnapshotBackgroundIsTheDesktopAroundThePicture) {
    PackageContent c = Content({kRed}, 30);
    c.Header.DesktopSnapshot = true;
    c.Items[0].Record.ItemStretch = 2; // natural size, centred: the background shows around it
    auto show = StartShow(MakeShow(c), {"/s"});
    ASSERT_TRUE(CentreShows(kRed)) << show->Err();
    const QImage shot = sway->Screenshot();
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{1023, 0}, std::pair{0, 767},
                               std::pair{1023, 767}, std::pair{400, 384}})
        EXPECT_EQ(PixelOf(shot, x, y), kDesktopRgb) << x << "," << y;
    EXPECT_EQ(show->Err().find("copy of its screen"), std::string::npos) << show->Err();
    sway->Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
}

// What only X11 can give: on a session without an X server the preview and hack modes say so
// and end with status 2.
TEST_F(ShowOnSway, ThePreviewAndHackModesAnswerThatTheyNeedX11) {
    const std::string show = MakeShow(Content({kRed}, 30));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/p", "0x200004"}, std::vector<std::string>{"-root"}}) {
        auto run = StartShow(show, args);
        ASSERT_TRUE(run->WaitExit(kExitTimeoutMs));
        EXPECT_EQ(run->Status(), 2) << args[0];
        EXPECT_NE(run->Err().find("X server"), std::string::npos) << run->Err();
    }
}

} // namespace
} // namespace pictorelle::test

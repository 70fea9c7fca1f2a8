// Flash movie items in the real show on a private X server, played by Ruffle in the web
// engine: the movie's colours inside the panel its size mode gives; the item's time cuts a
// long movie; a movie that stops ends its item at once; no menu on a right click; a mouse move
// still ends the show, and no web-engine process outlives it. Movies mixed with pictures and
// videos in every order, the web engine started by the first movie in the middle of the show,
// in a screen saver and in a presentation stepped with Next and Back; the terminal stays quiet
// unless the libraries' chatter is asked for. Without a Flash player a show that carries one
// ends at start-up with the designed message.
#include "PixelReader.h"
#include "PlayerFixture.h"
#include "SwfWriter.h"
#include "VideoClips.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace pictorelle::test {
namespace {

using Clock = std::chrono::steady_clock;

const QColor kRed(230, 30, 30), kBlue(30, 60, 220), kGreen(40, 200, 60), kWhite(250, 250, 250),
    kYellow(230, 220, 40), kCyan(40, 210, 210), kMagenta(220, 40, 200), kOrange(240, 140, 20);
const Rgb kBack{32, 48, 96};

bool Near(const Rgb& p, const QColor& c, int tolerance = 24) {
    return std::abs(p.r - c.red()) <= tolerance && std::abs(p.g - c.green()) <= tolerance &&
           std::abs(p.b - c.blue()) <= tolerance;
}

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// The web engine's helper processes that belong to one show (found by its temporary folder).
int WebEngineProcesses(const std::string& tmpDir) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (!std::getline(comm, name) || name.find("QtWebEngine") == std::string::npos) continue;
        std::ifstream environ(entry.path() / "environ", std::ios::binary);
        std::stringstream all;
        all << environ.rdbuf();
        if (all.str().find("TMPDIR=" + tmpDir) != std::string::npos) ++count;
    }
    return count;
}

class ShowFlash : public PlayerOnDisplay {
protected:
    std::vector<std::string> FlashEnv() const {
        std::vector<std::string> env = Env();
        // No GPU under Xvfb, and no network on the machine.
        env.push_back("QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --disable-gpu-compositing "
                      "--disable-background-networking");
        return env;
    }
    std::unique_ptr<Process> StartFlash(const PackageContent& c,
                                        std::vector<std::string> extraEnv = {}) {
        std::vector<std::string> env = FlashEnv();
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        return std::make_unique<Process>(MakeShow(c), std::vector<std::string>{"/s"}, env);
    }

    static PackageContent FlashContent() {
        PackageContent c = ShowContent();
        c.Header.BackColor = c.Header.BackColor2 = 0x00603020; // kBack all over
        c.Header.Seconds = 30;
        c.FlashControl = {'M', 'Z', 0, 0}; // the show carries a player: made at start-up
        return c;
    }
    static PackageEntry<ItemRecord> Movie(const std::vector<uint8_t>& bytes, int seconds,
                                          int stretch = 2) {
        PackageEntry<ItemRecord> entry;
        entry.Record.Ext = ".swf";
        entry.Record.ItemSeconds = seconds;
        entry.Record.ItemStretch = stretch;
        entry.Data = bytes;
        return entry;
    }
    static std::vector<uint8_t> Colours(std::vector<QColor> colours, int framesEach, bool stopAtEnd,
                                        bool compressed = false) {
        SwfMovie m;
        m.framesPerSecond = 10;
        for (const QColor& c : colours)
            m.frames.insert(m.frames.end(), static_cast<size_t>(framesEach), c);
        m.stopAtEnd = stopAtEnd;
        m.compressed = compressed;
        return WriteSwf(m);
    }
    void SetUp() override {
        PlayerOnDisplay::SetUp();
#ifndef PICTORELLE_WEBENGINE
        if (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())
                .rfind("Without", 0) != 0)
            GTEST_SKIP() << "built without Qt WebEngine: no Flash player";
#endif
    }
    bool WaitForCentre(const PixelReader& pixels, const QColor& colour, int timeoutMs = 30000) {
        return WaitUntil([&] { return Near(pixels.At(512, 384), colour); }, timeoutMs);
    }

    // A show of pictures, videos and movies without a Flash player of its own: the first movie
    // starts the web engine while the show runs.
    static PackageContent MixedContent() {
        PackageContent c = FlashContent();
        c.FlashControl.clear();
        c.Header.Seconds = 1;
        c.Header.EffectSpeed = 10;
        return c;
    }
    static PackageEntry<ItemRecord> Picture(const QColor& colour) {
        QImage image(1024, 768, QImage::Format_RGB32);
        image.fill(colour);
        PackageEntry<ItemRecord> entry;
        entry.Record.Ext = ".jpg";
        entry.Data = EncodedBytes(image, "JPEG");
        return entry;
    }
    // A movie of one colour that stops after its frames and then ends its item (-1).
    static PackageEntry<ItemRecord> StoppingMovie(const QColor& colour, int frames = 15) {
        return Movie(Colours({colour}, frames, true), -1);
    }
    PackageEntry<ItemRecord> Video(const QColor& colour, double seconds) {
        const std::string path = dir / ("clip-" + colour.name().mid(1).toStdString() + ".mpg");
        const std::string complaint = MakeClip(path, kMpg, 320, 240, {colour}, seconds);
        EXPECT_TRUE(complaint.empty()) << complaint;
        PackageEntry<ItemRecord> entry;
        entry.Record.Ext = ".mpg";
        entry.Record.ItemStretch = 2;
        entry.Data = ReadWholeFile(path);
        return entry;
    }
};

// The lines of a show's standard error that are not among ours.
std::vector<std::string> ForeignLines(const std::string& err) {
    std::vector<std::string> foreign;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.rfind("Skipping item", 0) != 0) foreign.push_back(line);
    return foreign;
}

TEST_F(ShowFlash, AMoviePlaysInItsPanelTakesNoInputAndGoesWithTheShow) {
    // ffmpeg's own Flash movie of changing colours, 320 x 240: natural size, centred, its
    // panel is (352, 264) to (672, 504).
    const std::string swf = dir / "ffmpeg.swf";
    const RunResult made = RunProgram("ffmpeg", {"-loglevel",
                                                 "error",
                                                 "-y",
                                                 "-f",
                                                 "lavfi",
                                                 "-i",
                                                 "color=c=0xE61E1E:s=320x240:r=10:d=3",
                                                 "-f",
                                                 "lavfi",
                                                 "-i",
                                                 "color=c=0x1E3CDC:s=320x240:r=10:d=3",
                                                 "-filter_complex",
                                                 "[0:v][1:v]concat=n=2:v=1,format=yuv420p[v]",
                                                 "-map",
                                                 "[v]",
                                                 "-c:v",
                                                 "flv",
                                                 "-q:v",
                                                 "2",
                                                 "-f",
                                                 "swf",
                                                 swf});
    ASSERT_EQ(made.status, 0) << made.err;
    PackageContent c = FlashContent();
    c.Items.push_back(Movie(ReadWholeFile(swf), 0));
    c.Items.push_back(SolidPictureItem(kWhite));

    x.MoveMouse(5, 5);
    auto show = StartFlash(c);
    const PixelReader pixels(x.Display());
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
    for (const auto& [px, py] : {std::pair{358, 270}, {666, 498}})
        EXPECT_TRUE(Near(pixels.At(px, py), kRed, 40)) << px << ", " << py;
    for (const auto& [px, py] : {std::pair{345, 270}, {679, 498}, {500, 257}, {500, 511}})
        EXPECT_EQ(pixels.At(px, py), kBack) << px << ", " << py;
    EXPECT_TRUE(WaitForCentre(pixels, kBlue, 10000)) << "the movie's frames change";
    EXPECT_GT(WebEngineProcesses(dir / "tmp"), 0);

    x.MoveMouse(512, 384);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << "a mouse move ends the show";
    EXPECT_EQ(show->Status(), 0) << show->Err();
    EXPECT_TRUE(WaitUntil([&] { return WebEngineProcesses(dir / "tmp") == 0; }, 5000));
    EXPECT_TRUE(TempFoldersGone());
    // The web engine's profile is off the record: nothing of it in the user's home.
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        const std::string path = entry.path().string();
        EXPECT_EQ(path.find("QtWebEngine"), std::string::npos) << path;
        EXPECT_EQ(path.find("/.cache/show.scr"), std::string::npos) << path;
        EXPECT_EQ(path.find("/.local/share/show.scr"), std::string::npos) << path;
    }
}

TEST_F(ShowFlash, AMovieThatStopsEndsItsItemAtOnceAndTheItemsTimeCutsALongOne) {
    PackageContent c = FlashContent();
    c.Header.ExitMouseMove = c.Header.ExitMouseButton = false; // for the right click
    // 2.9 s red, then green on the last frame, which stops the movie at 3 s; it plays until it
    // stops (-1).
    SwfMovie stopping;
    stopping.frames.assign(29, kRed);
    stopping.frames.push_back(kGreen);
    stopping.stopAtEnd = true;
    c.Items.push_back(Movie(WriteSwf(stopping), -1));
    // A compressed movie that would loop for a minute, cut after its 10 s.
    c.Items.push_back(Movie(Colours({kBlue}, 600, false, true), 10));

    x.MoveMouse(5, 5);
    auto show = StartFlash(c);
    const PixelReader pixels(x.Display());
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
    const auto red = Clock::now();
    ASSERT_TRUE(WaitForCentre(pixels, kGreen, 10000)) << show->Err();
    EXPECT_GT(MsSince(red), 2000) << "the movie runs its frames";
    const auto stopped = Clock::now(); // the last frame, with its stop()
    ASSERT_TRUE(WaitForCentre(pixels, kBlue, 10000)) << show->Err();
    const long long replaced = MsSince(stopped);
    const auto blue = Clock::now();
    std::printf("stopped movie replaced after %lld ms (the next movie's first frame on screen)\n",
                replaced);
    EXPECT_LT(replaced, 1000); // about 200 ms; generous for a loaded machine

    // A right click on the movie shows no menu: the screen stays the movie's.
    x.MoveMouse(400, 300);
    x.Click(3);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const auto& [px, py] : {std::pair{512, 384}, {410, 305}, {440, 340}})
        EXPECT_TRUE(Near(pixels.At(px, py), kBlue)) << "a menu at " << px << ", " << py;
    EXPECT_TRUE(show->Running());

    ASSERT_TRUE(WaitForCentre(pixels, kRed, 20000)) << show->Err();
    const long long shown =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - blue).count();
    std::printf("10 s movie cut after %lld ms\n", shown);
    EXPECT_GT(shown, 9000);
    EXPECT_LT(shown, 12500);
}

TEST_F(ShowFlash, MoviesComeBetweenPicturesEachOtherAndVideos) {
    // Picture, movie, movie, picture, movie, video, movie, video, and round again to the
    // picture: movies follow pictures, each other and videos, and precede pictures and videos;
    // a picture follows a video. The web engine starts at the second item, in the middle of
    // the show, and each movie must be seen drawing in its panel, not just keep its time.
    PackageContent c = MixedContent();
    c.Items.push_back(Picture(kRed));
    c.Items.push_back(StoppingMovie(kGreen));
    c.Items.push_back(StoppingMovie(kWhite));
    c.Items.push_back(Picture(kCyan));
    c.Items.push_back(StoppingMovie(kYellow));
    c.Items.push_back(Video(kBlue, 1.5));
    c.Items.push_back(StoppingMovie(kMagenta));
    c.Items.push_back(Video(kOrange, 1.5));

    x.MoveMouse(5, 5);
    auto show = StartFlash(c);
    const PixelReader pixels(x.Display());
    // The first start of the web engine may take long on a loaded machine.
    int timeout = 60000;
    for (const QColor& colour :
         {kRed, kGreen, kWhite, kCyan, kYellow, kBlue, kMagenta, kOrange, kRed, kGreen}) {
        ASSERT_TRUE(WaitForCentre(pixels, colour, timeout))
            << colour.name().toStdString() << " never came; status " << show->Status() << "\n"
            << show->Err();
        timeout = 30000;
    }
    EXPECT_TRUE(show->Running());
    x.MoveMouse(512, 384);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << "a mouse move ends the show";
    EXPECT_EQ(show->Status(), 0) << show->Err();
    EXPECT_TRUE(WaitUntil([&] { return WebEngineProcesses(dir / "tmp") == 0; }, 5000));
}

TEST_F(ShowFlash, APresentationStepsThroughMoviesWithNextAndBack) {
    PackageContent c = MixedContent();
    c.Header.Seconds = 600; // only Next and Back change the item
    c.Items.push_back(Picture(kRed));
    c.Items.push_back(Movie(Colours({kGreen}, 100, false), 0));
    c.Items.push_back(Picture(kCyan));
    c.Items.push_back(Movie(Colours({kWhite}, 100, false), 0));
    // Long enough that only Next and Back leave it.
    c.Items.push_back(Video(kBlue, 30));

    x.MoveMouse(300, 300);
    auto show =
        std::make_unique<Process>(MakeShow(c, "show.exe"), std::vector<std::string>{}, FlashEnv());
    const PixelReader pixels(x.Display());
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
    // A click away from the panel is Next; the panel's fourth button too, its third is Back.
    const int panelX = (1024 - 193) / 2, panelY = 768 - 41 - 20;
    const auto press = [&](int button) {
        const int bx = panelX + 5 + button * 37 + 17, by = panelY + 20;
        x.MoveMouse(bx - 40, by - 40);
        x.MoveMouse(bx, by);
        // The panel shows on the move; its button takes the click once it is there.
        WaitUntil([&] { return pixels.At(panelX + 2, panelY + 20) != pixels.At(panelX - 30, by); },
                  5000);
        x.Click(1);
    };
    x.MoveMouse(200, 200);
    x.Click(1);
    ASSERT_TRUE(WaitForCentre(pixels, kGreen, 60000)) << "Next to a movie\n" << show->Err();
    press(3);
    ASSERT_TRUE(WaitForCentre(pixels, kCyan)) << "Next to a picture\n" << show->Err();
    press(3);
    ASSERT_TRUE(WaitForCentre(pixels, kWhite)) << "Next to a movie\n" << show->Err();
    press(3);
    ASSERT_TRUE(WaitForCentre(pixels, kBlue)) << "Next to the video\n" << show->Err();
    press(2);
    ASSERT_TRUE(WaitForCentre(pixels, kWhite)) << "Back from the video to the movie\n"
                                               << show->Err();
    // The video's player is used again after giving the panel up, and gives it up again.
    press(3);
    ASSERT_TRUE(WaitForCentre(pixels, kBlue)) << "Next to the video again\n" << show->Err();
    press(2);
    ASSERT_TRUE(WaitForCentre(pixels, kWhite)) << "Back to the movie again\n" << show->Err();
    press(2);
    ASSERT_TRUE(WaitForCentre(pixels, kCyan)) << "Back to the picture\n" << show->Err();
    press(2);
    ASSERT_TRUE(WaitForCentre(pixels, kGreen)) << "Back to the movie\n" << show->Err();
    press(2);
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << "Back to the first picture\n" << show->Err();
    press(3);
    ASSERT_TRUE(WaitForCentre(pixels, kGreen)) << "Next to the movie again\n" << show->Err();
    EXPECT_TRUE(show->Running());
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << show->Err();
}

// A show of pictures and movies says nothing on standard error but its own lines; the
// libraries' chatter comes back when it is asked for.
TEST_F(ShowFlash, TheTerminalHearsOnlyOurOwnLinesUnlessTheLibrariesAreAskedFor) {
    PackageContent c = MixedContent();
    c.Items.push_back(Picture(kRed));
    c.Items.push_back(StoppingMovie(kGreen));
    c.Items.push_back(StoppingMovie(kWhite));
    c.Items.push_back(Picture(kCyan));
    for (const bool chatter : {false, true}) {
        SCOPED_TRACE(chatter ? "PICTORELLE_DEBUG=1" : "quiet");
        x.MoveMouse(5, 5);
        std::vector<std::string> extra;
        if (chatter) extra.push_back("PICTORELLE_DEBUG=1");
        auto show = StartFlash(c, extra);
        const PixelReader pixels(x.Display());
        for (const QColor& colour : {kRed, kGreen, kWhite, kCyan, kRed})
            ASSERT_TRUE(WaitForCentre(pixels, colour, 60000)) << show->Err();
        x.MoveMouse(512, 384);
        ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
        EXPECT_EQ(show->Status(), 0) << show->Err();
        const std::vector<std::string> foreign = ForeignLines(show->Err());
        if (chatter) {
            EXPECT_NE(show->Err().find("qt.webenginecontext"), std::string::npos) << show->Err();
        } else {
            EXPECT_TRUE(foreign.empty()) << show->Err();
        }
        EXPECT_TRUE(WaitUntil([&] { return WebEngineProcesses(dir / "tmp") == 0; }, 5000));
    }
}

// A build without Qt WebEngine, and one that cannot find Ruffle, have no Flash player: a show
// that carries one ends at start-up with the message. The switch is the latter.
TEST_F(ShowFlash, WithoutAPlayerAShowThatCarriesOneEndsWithTheMessage) {
    PackageContent c = FlashContent();
    c.Items.push_back(Movie(Colours({kRed}, 10, true), 0));
    auto show = StartFlash(c, {"PICTORELLE_RUFFLE_DIR=" + (dir / "nowhere")});
    ASSERT_FALSE(WaitForWindow("^Screen Saver$").empty()) << show->Err();
    EXPECT_NE(show->Err().find("Screen Saver: Unable to find Macromedia Shockwave Flash."),
              std::string::npos)
        << show->Err();
    x.Key("Return");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 1);
    EXPECT_EQ(WebEngineProcesses(dir / "tmp"), 0);
}

} // namespace
} // namespace pictorelle::test

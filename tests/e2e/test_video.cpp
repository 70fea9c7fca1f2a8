// Video items in the real show on a private X server: each format plays inside the panel its
// size mode gives, over the background and logo; a video keeps the screen for its own length
// and the next item follows its end; a single video loops without being extracted again; a
// broken one is passed over; the temporary files go at the end.
#include "PixelReader.h"
#include "PlayerFixture.h"
#include "VideoClips.h"

#include <QBuffer>
#include <QImage>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

namespace pictorelle::test {
namespace {

using Clock = std::chrono::steady_clock;

const QColor kBack(32, 48, 96), kLogo(16, 192, 112);
const QColor kRed(230, 30, 30), kBlue(30, 60, 220), kGreen(40, 200, 60), kYellow(230, 220, 40),
    kMagenta(200, 40, 200), kCyan(40, 200, 220), kOrange(240, 140, 20), kPicture(250, 250, 250);

// Video pixels come through a colour conversion and a scaler: near, not equal.
bool Near(const Rgb& p, const QColor& c, int tolerance = 28) {
    return std::abs(p.r - c.red()) <= tolerance && std::abs(p.g - c.green()) <= tolerance &&
           std::abs(p.b - c.blue()) <= tolerance;
}

std::string Describe(const Rgb& p) {
    return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) +
           ")";
}

class ShowVideo : public PlayerOnDisplay {
protected:
    // Every clip once for the whole suite.
    static void SetUpTestSuite() {
        clips = new ScratchDir();
        const auto make = [](const std::string& name, const ClipFormat& f, int w, int h,
                             std::vector<QColor> colours, double each) {
            const std::string complaint = MakeClip(*clips / name, f, w, h, colours, each);
            if (!complaint.empty()) std::fprintf(stderr, "%s\n", complaint.c_str());
        };
        make("natural.wmv", kWmv, 320, 240, {kRed}, 2.0);
        make("wide.asf", kAsf, 320, 120, {kGreen}, 2.0);
        make("natural.avi", kAvi, 320, 240, {kYellow}, 2.0);
        make("natural.mpg", kMpg, 320, 240, {kMagenta}, 2.0);
        make("wide.mp4", kMp4, 320, 120, {kCyan}, 2.0);
        make("twotone.wmv", kWmv, 320, 240, {kRed, kBlue}, 1.5);
    }
    static void TearDownTestSuite() {
        delete clips;
        clips = nullptr;
    }

    static PackageContent VideoContent() {
        PackageContent c = ShowContent();
        c.Header.BackColor = c.Header.BackColor2 = 0x00603020; // kBack all over
        c.Header.Seconds = 1;
        c.Header.LogoPlacement = 4; // bottom right, at (974, 738, 1014, 758)
        c.Header.LogoX = 10;
        c.Header.LogoY = 10;
        c.Header.LogoExt = ".png";
        c.Logo = SolidPng(kLogo, 40, 20);
        return c;
    }
    static PackageEntry<ItemRecord> Clip(const std::string& name, int stretch = -1) {
        PackageEntry<ItemRecord> entry;
        entry.Record.Ext = fs::path(name).extension().string();
        entry.Record.ItemStretch = stretch;
        entry.Data = ReadWholeFile(*clips / name);
        return entry;
    }

    // The show's temporary folder (one per process).
    std::string ShowTempFolder() const {
        for (const auto& folder : fs::directory_iterator(dir / "tmp"))
            return folder.path();
        return {};
    }

    bool WaitForCentre(const PixelReader& pixels, const QColor& colour, int timeoutMs = 20000) {
        return WaitUntil([&] { return Near(pixels.At(512, 384), colour); }, timeoutMs);
    }

    static inline ScratchDir* clips = nullptr;
};

// The panel of a 320 x 240 video, natural size and centred: (352, 264) to (673, 505); of a
// 320 x 120 one fitted: (0, 191) to (1025, 578), the screen's full width.
struct PanelProbe {
    int x, y;
    bool inside;
};
const std::vector<PanelProbe> kNaturalProbes{{356, 268, true},  {668, 500, true},
                                             {348, 268, false}, {677, 500, false},
                                             {500, 260, false}, {500, 509, false}};
const std::vector<PanelProbe> kFittedProbes{
    {4, 195, true}, {1019, 573, true}, {500, 187, false}, {500, 582, false}};

TEST_F(ShowVideo, EachFormatPlaysInsideItsPanelOverTheBackgroundAndLogo) {
    PackageContent c = VideoContent();
    c.Items.push_back(Clip("natural.wmv", 2));
    c.Items.push_back(Clip("wide.asf", 0));
    c.Items.push_back(Clip("natural.avi", 2));
    c.Items.push_back(Clip("natural.mpg", 2));
    c.Items.push_back(Clip("wide.mp4", 0));
    const struct {
        QColor colour;
        const std::vector<PanelProbe>& probes;
    } expected[] = {{kRed, kNaturalProbes},
                    {kGreen, kFittedProbes},
                    {kYellow, kNaturalProbes},
                    {kMagenta, kNaturalProbes},
                    {kCyan, kFittedProbes}};

    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    const PixelReader pixels(x.Display());
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        ASSERT_TRUE(WaitForCentre(pixels, expected[i].colour)) << show->Err();
        const QImage shot = x.Screenshot();
        for (const PanelProbe& p : expected[i].probes) {
            const Rgb seen = PixelOf(shot, p.x, p.y);
            const QColor want = p.inside ? expected[i].colour : kBack;
            EXPECT_TRUE(Near(seen, want, p.inside ? 28 : 0))
                << "at " << p.x << ", " << p.y << ": " << Describe(seen);
        }
        EXPECT_EQ(PixelOf(shot, 990, 748), (Rgb{16, 192, 112}));
    }

    // mpv takes no input: a mouse move over the video reaches the show and ends it.
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
    x.MoveMouse(512, 384);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << "signal " << show->Signal() << "\n" << show->Err();
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(ShowVideo, AVideoKeepsTheScreenForItsLengthAndTheNextItemFollowsItsEnd) {
    PackageContent c = VideoContent();
    c.Items.push_back(Clip("twotone.wmv", 2)); // 1.5 s red, 1.5 s blue
    c.Items.push_back(SolidPictureItem(kPicture));
    c.Items[1].Record.ItemSeconds = 30;

    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    const PixelReader pixels(x.Display());
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
    const auto red = Clock::now();
    ASSERT_TRUE(WaitForCentre(pixels, kBlue)) << show->Err();
    const auto blue = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return pixels.At(512, 384) == (Rgb{250, 250, 250}); }, 20000));
    const auto next = Clock::now();
    const auto ms = [](auto d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    // Seconds is 1, but the video stays for its 3 seconds; the blue half ends the clip.
    // From the clip's first frame to the next item: the clip's 3000 ms and the change.
    std::printf("video on screen %lld ms for a 3000 ms clip\n",
                static_cast<long long>(ms(next - red)));
    EXPECT_GE(ms(next - red), 2500);
    EXPECT_GE(ms(next - blue), 1200);
    EXPECT_LT(ms(next - blue), 1500 + 1500); // generous: the machine may be loaded
    // The video's file went with it.
    EXPECT_FALSE(fs::exists(ShowTempFolder() + "/SSIMG.wmv"));

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(ShowVideo, ASingleVideoLoopsWithoutBeingExtractedAgainAndSigtermLeavesNoFiles) {
    PackageContent c = VideoContent();
    c.Items.push_back(Clip("twotone.wmv", 2));

    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    const PixelReader pixels(x.Display());
    ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
    const std::string file = ShowTempFolder() + "/SSIMG.wmv";
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    ASSERT_TRUE(WaitForCentre(pixels, kBlue)) << show->Err();
    // From the start again: red comes back, twice.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WaitForCentre(pixels, kRed)) << show->Err();
        ASSERT_TRUE(WaitForCentre(pixels, kBlue)) << show->Err();
    }
    struct stat after {};
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    show->Kill(SIGTERM);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(ShowVideo, ABrokenVideoIsPassedOverLikeABrokenPicture) {
    PackageContent c = VideoContent();
    c.Items.push_back(SolidPictureItem(kPicture));
    PackageEntry<ItemRecord> broken;
    broken.Record.Ext = ".avi";
    broken.Data.assign(4000, 0x5A);
    c.Items.push_back(std::move(broken));
    c.Items.push_back(Clip("natural.mpg", 2));

    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    const PixelReader pixels(x.Display());
    ASSERT_TRUE(WaitForCentre(pixels, kMagenta)) << show->Err();
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << "signal " << show->Signal() << "\n" << show->Err();
    // Damaged, not a format this machine lacks.
    EXPECT_NE(show->Err().find("Skipping item 1 (.avi): the video is damaged"), std::string::npos)
        << show->Err();
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

// The full-screen show's loop in the main window: pictures reaching the displays, broken items,
// Next and Back, the slide timer around transitions, closing during a transition, the second
// monitor, the desktop start and the preview picture.
#include "ShowTest.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "show/MonitorWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <cstdlib>
#include <fstream>

namespace pictorelle::test {
namespace {

const QColor kRed(200, 30, 30);
const QColor kGreen(30, 180, 60);
const QColor kBlue(40, 60, 220);
constexpr int kLongWaitMs = 20000;

// Effect numbers of the two box effects.
const std::string kBoxOut(1, static_cast<char>(69));
const std::string kBoxIn(1, static_cast<char>(70));

class ShowLoop : public UiTest {
protected:
    // Three full-screen pictures: red, green, blue.
    static PackageContent ThreeColours() {
        PackageContent c = BasicPackage();
        for (QColor colour : {kRed, kGreen, kBlue})
            c.Items.push_back(PictureEntry(SolidImage(64, 48, colour)));
        return c;
    }
    // Transitions of 1024 frames at 9 ms: they run until a test ends them.
    static void SlowTransitions(PackageContent& c, const std::string& effect) {
        c.Strings[StringId::Effect] = effect;
        c.Header.EffectSpeed = 1;
    }
    static uint32_t Centre(const TSSWindow& w) { return Shown(*w.Displays().Image32(), 512, 384); }
    static uint32_t Corner(const TSSWindow& w) { return Shown(*w.Displays().Image32(), 2, 2); }
};

TEST_F(ShowLoop, ABrokenItemLeavesThePreviousPictureAndTheShowGoesOn) {
    PackageContent c = BasicPackage();
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kRed)));
    c.Items.push_back(CorruptEntry());
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kBlue)));
    auto w = Create(WriteShow(c), {"/s"});
    ASSERT_EQ(Centre(*w), Opaque(kRed));
    EXPECT_EQ(w->Flags().ShownItem, 0);
    EXPECT_FALSE(w->Flags().DirectDraw);
    EXPECT_TRUE(w->SlideTimer().isActive());

    w->TimerTimer(); // the broken item
    EXPECT_EQ(Centre(*w), Opaque(kRed));
    EXPECT_EQ(w->Flags().ShownItem, 0);
    EXPECT_EQ(w->Order().NextItem(), 2);
    EXPECT_TRUE(w->SlideTimer().isActive());
    EXPECT_EQ(w->SlideTimer().interval(), 5000);

    w->TimerTimer();
    EXPECT_EQ(Centre(*w), Opaque(kBlue));
    EXPECT_EQ(w->Flags().ShownItem, 2);
    w->TimerTimer(); // the broken item again, passed over
    w->TimerTimer();
    EXPECT_EQ(Centre(*w), Opaque(kRed));
}

// An entry whose stored stream is damaged never becomes a file; the line that says so names
// the item, not the temporary file it would have been.
TEST_F(ShowLoop, ADamagedEntryIsNamedByItsItem) {
    PackageContent c = BasicPackage();
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kRed)));
    PackageEntry<ItemRecord> damaged;
    damaged.Record.Ext = ".png";
    damaged.Data.assign(3000, 0x5A); // compresses well, so it is stored as a stream
    c.Items.push_back(std::move(damaged));
    const std::string file = WriteShow(c);
    {
        const Package p = ReadPackage(FileSource(file));
        ASSERT_TRUE(p.Items[1].Compressed());
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(p.EntryOffset(p.Items[1]));
        const std::string junk(static_cast<size_t>(p.Items[1].StoredSize), '\xFF');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    auto w = Create(file, {"/s"});
    ASSERT_EQ(Centre(*w), Opaque(kRed));
    testing::internal::CaptureStderr();
    w->TimerTimer();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Skipping item 1 (.png): its entry in the package is damaged"),
              std::string::npos)
        << said;
    EXPECT_EQ(said.find("SSIMG"), std::string::npos) << said;
    EXPECT_EQ(Centre(*w), Opaque(kRed));
}

TEST_F(ShowLoop, AFirstItemThatFailsLeavesTheNextOneToAppearWithoutTransition) {
    PackageContent c = BasicPackage();
    c.Items.push_back(CorruptEntry());
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kRed)));
    SlowTransitions(c, kBoxOut);
    auto w = Create(WriteShow(c), {"/s"});
    EXPECT_EQ(Centre(*w), 0u); // nothing drawn yet: the window's colour shows
    EXPECT_TRUE(w->Flags().DirectDraw);
    w->TimerTimer();
    EXPECT_FALSE(w->TransitionState().TransitionRunning);
    EXPECT_EQ(Centre(*w), Opaque(kRed));
    EXPECT_EQ(Corner(*w), Opaque(kRed));
    EXPECT_FALSE(w->Flags().DirectDraw);
}

TEST_F(ShowLoop, NextAndBackStepThroughTheItemsInOrder) {
    auto w = Create(WriteShow(ThreeColours()), {"/s"});
    w->show();
    ASSERT_EQ(Centre(*w), Opaque(kRed));
    auto showsSoon = [&](QColor colour) {
        return ProcessEventsUntil([&] { return Centre(*w) == Opaque(colour); }, kLongWaitMs);
    };
    w->ActNextExecute();
    EXPECT_EQ(w->SlideTimer().interval(), 1);
    EXPECT_TRUE(showsSoon(kGreen));
    w->ActBackExecute();
    EXPECT_TRUE(showsSoon(kRed));
    w->ActBackExecute(); // from the first item back to the last
    EXPECT_TRUE(showsSoon(kBlue));
    w->ActNextExecute();
    EXPECT_TRUE(showsSoon(kRed));
    // After each item the timer waits the show's seconds again.
    EXPECT_TRUE(ProcessEventsUntil([&] { return w->SlideTimer().interval() == 5000; }));
    EXPECT_TRUE(w->SlideTimer().isActive());
}

TEST_F(ShowLoop, NextSkipsARunningTransitionToItsEndAndMovesOn) {
    PackageContent c = ThreeColours();
    SlowTransitions(c, kBoxOut);
    auto w = Create(WriteShow(c), {"/s"});
    w->show();
    w->TimerTimer();
    ASSERT_TRUE(w->TransitionState().TransitionRunning);
    EXPECT_FALSE(w->SlideTimer().isActive()); // the item's time starts when its transition ends
    // The box of the new picture grows from the centre; the corners still show the old one.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Centre(*w) == Opaque(kGreen); }, kLongWaitMs));
    EXPECT_EQ(Corner(*w), Opaque(kRed));

    w->ActNextExecute();
    // The skipped transition ends with the whole green picture, then blue starts to arrive.
    EXPECT_TRUE(ProcessEventsUntil(
        [&] { return w->Flags().ShownItem == 2 && Corner(*w) == Opaque(kGreen); }, kLongWaitMs));
    EXPECT_TRUE(w->TransitionState().TransitionRunning);
    // The window may go while a transition runs.
    w.reset();
}

TEST_F(ShowLoop, EachItemsSecondsStartWhenItsTransitionEnds) {
    PackageContent c = BasicPackage();
    c.Header.Seconds = 7;
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kRed), 12));
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kGreen), 0));
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kBlue), 3));
    SlowTransitions(c, kBoxIn);
    auto w = Create(WriteShow(c), {"/s"});
    w->show();
    EXPECT_TRUE(w->SlideTimer().isActive());
    EXPECT_EQ(w->SlideTimer().interval(), 12000);

    for (const int expected : {7000, 3000, 12000}) {
        w->TimerTimer();
        ASSERT_TRUE(w->TransitionState().TransitionRunning);
        EXPECT_FALSE(w->SlideTimer().isActive());
        w->TransitionState().SkipTransition = true;
        EXPECT_TRUE(ProcessEventsUntil([&] { return w->SlideTimer().isActive(); }, kLongWaitMs));
        EXPECT_EQ(w->SlideTimer().interval(), expected);
        EXPECT_FALSE(w->TransitionState().TransitionRunning);
    }
}

TEST_F(ShowLoop, TheEndOfAnOvertakenTransitionIsNotTakenForTheNextOnesEnd) {
    PackageContent c = ThreeColours();
    SlowTransitions(c, kBoxOut);
    auto w = Create(WriteShow(c), {"/s"});
    w->show();
    w->TimerTimer();
    ASSERT_TRUE(w->TransitionState().TransitionRunning);
    w->TimerTimer(); // the next item comes while the first transition still runs
    ASSERT_TRUE(w->TransitionState().TransitionRunning);
    EXPECT_EQ(w->Flags().ShownItem, 2);
    ProcessEventsUntil([] { return false; }, 300); // the stopped transition's end is delivered
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->TransitionState().TransitionRunning);
    EXPECT_FALSE(w->SlideTimer().isActive());
}

TEST_F(ShowLoop, ASinglePictureStaysWithoutTimerOrTransition) {
    PackageContent c = BasicPackage();
    c.Items.push_back(PictureEntry(SolidImage(64, 48, kRed)));
    SlowTransitions(c, kBoxOut);
    auto w = Create(WriteShow(c), {"/s"});
    EXPECT_EQ(Centre(*w), Opaque(kRed));
    EXPECT_FALSE(w->SlideTimer().isActive());
    EXPECT_TRUE(w->CurrentSettings().Effect.empty());
    w->TimerTimer(); // reloaded, still without a transition
    EXPECT_FALSE(w->TransitionState().TransitionRunning);
    EXPECT_FALSE(w->SlideTimer().isActive());
}

TEST_F(ShowLoop, AnExitDuringATransitionClosesOnlyAfterItStoppedAndLeavesItsLastFrame) {
    PackageContent c = ThreeColours();
    SlowTransitions(c, kBoxOut);
    c.ExitBanner.assign(64, 7); // an exit banner the show must not show over a transition
    auto w = Create(WriteShow(c), {"/s"});
    w->show();
    w->TimerTimer();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Centre(*w) == Opaque(kGreen); }, kLongWaitMs));

    SendKey(*w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_NE(w->ScreenSaverHost(), nullptr);
    EXPECT_TRUE(w->TransitionState().StopRequested);
    EXPECT_TRUE(w->TransitionState().SuppressFinalPaint);
    EXPECT_FALSE(w->Flags().ExitBannerShown);

    ASSERT_TRUE(ProcessEventsUntil([&] { return !w->isVisible(); }, kLongWaitMs));
    EXPECT_FALSE(w->TransitionState().TransitionRunning);
    EXPECT_EQ(w->ScreenSaverHost(), nullptr);
    EXPECT_EQ(Corner(*w), Opaque(kRed));     // no final paint
    EXPECT_TRUE(w->Flags().ExitBannerShown); // once the transition has stopped
    EXPECT_FALSE(w->SlideTimer().isActive());
}

TEST_F(ShowLoop, ClosingWhileATransitionRunsLeavesTheBannerUntilItHasStopped) {
    PackageContent c = ThreeColours();
    SlowTransitions(c, kBoxOut);
    c.ExitBanner.assign(64, 7);
    auto w = Create(WriteShow(c), {"/s"});
    w->show();
    w->TimerTimer();
    ASSERT_TRUE(w->TransitionState().TransitionRunning);
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->TransitionState().StopRequested);
    EXPECT_FALSE(w->Flags().ExitBannerShown);
    EXPECT_TRUE(ProcessEventsUntil([&] { return w->Flags().ExitBannerShown; }, kLongWaitMs));
    EXPECT_FALSE(w->TransitionState().TransitionRunning);
    EXPECT_FALSE(w->SlideTimer().isActive()); // a closed show stays still
}

TEST_F(ShowLoop, WithASecondMonitorPicturesAlternateStartingOnBoth) {
    PackageContent c = ThreeColours();
    c.Header.DisableTwoMonitors = false;
    auto w = Create(WriteShow(c), {"/s"});
    ASSERT_TRUE(w->Flags().SecondMonitorInUse);
    const TImage32& second = *w->Displays().SecondMonitorWindow()->Image();
    EXPECT_EQ(Centre(*w), Opaque(kRed));
    EXPECT_EQ(Shown(second, 400, 300), Opaque(kRed));
    w->TimerTimer();
    EXPECT_EQ(Centre(*w), Opaque(kRed));
    EXPECT_EQ(Shown(second, 400, 300), Opaque(kGreen));
    EXPECT_EQ(w->MediaState().DisplayBitmap, &second.Bitmap());
    w->TimerTimer();
    EXPECT_EQ(Centre(*w), Opaque(kBlue));
    EXPECT_EQ(Shown(second, 400, 300), Opaque(kGreen));
    EXPECT_EQ(w->MediaState().DisplayBitmap, &w->Displays().Image32()->Bitmap());
}

// On three screens (the run with PICTORELLE_UI_SCREENS=3) every monitor has a window. With the
// other monitors in use the pictures go round them all, the first on every one; without, the
// others show the background and every picture stays on the main one.
class ShowLoopThreeScreens : public ShowLoop {
protected:
    void SetUp() override {
        ShowLoop::SetUp();
        const char* screens = std::getenv("PICTORELLE_UI_SCREENS");
        if (!screens || std::string(screens) != "3")
            GTEST_SKIP() << "runs on three screens, with PICTORELLE_UI_SCREENS=3";
        ASSERT_EQ(QGuiApplication::screens().size(), 3);
    }
};

TEST_F(ShowLoopThreeScreens, PicturesGoRoundTheThreeMonitors) {
    PackageContent c = ThreeColours();
    c.Header.DisableTwoMonitors = false;
    auto w = Create(WriteShow(c), {"/s"});
    ASSERT_TRUE(w->Flags().SecondMonitorInUse);
    const std::vector<TMonitorWindow*> windows = w->Displays().MonitorWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0]->geometry(), kSecondScreen);
    EXPECT_EQ(windows[1]->geometry(), kThirdScreen);
    const TImage32& second = *windows[0]->Image();
    const TImage32& third = *windows[1]->Image();
    EXPECT_EQ(third.Bitmap().Width(), 640);
    for (const TImage32* display :
         {static_cast<const TImage32*>(w->Displays().Image32()), &second, &third})
        EXPECT_EQ(Shown(*display, 300, 200), Opaque(kRed));
    w->TimerTimer();
    EXPECT_EQ(Shown(second, 300, 200), Opaque(kGreen));
    EXPECT_EQ(Shown(third, 300, 200), Opaque(kRed));
    w->TimerTimer();
    EXPECT_EQ(Shown(third, 300, 200), Opaque(kBlue));
    EXPECT_EQ(Shown(second, 300, 200), Opaque(kGreen));
    EXPECT_EQ(w->MediaState().DisplayBitmap, &third.Bitmap());
    w->TimerTimer(); // round again: the main one
    EXPECT_EQ(w->MediaState().DisplayBitmap, &w->Displays().Image32()->Bitmap());
    EXPECT_EQ(Shown(third, 300, 200), Opaque(kBlue));

    w->FinishScreenSaver(true);
    EXPECT_TRUE(w->Displays().MonitorWindows().empty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ShowLoopThreeScreens, WithoutTheOtherMonitorsTheyShowTheBackground) {
    auto w = Create(WriteShow(ThreeColours()), {"/s"}); // keeps to the main monitor
    ASSERT_FALSE(w->Flags().SecondMonitorInUse);
    const std::vector<TMonitorWindow*> windows = w->Displays().MonitorWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[1]->geometry(), kThirdScreen);
    // The package's background: its gradient from the back colour (0x00BBGGRR), opaque.
    const uint32_t corner = 0xFF332211u;
    std::vector<uint32_t> before;
    for (TMonitorWindow* window : windows) {
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(Shown(*window->Image(), 0, 0), corner);
        before.push_back(Shown(*window->Image(), 300, 200));
        EXPECT_EQ(before.back() >> 24, 0xFFu);
    }
    EXPECT_EQ(before[0], before[1]) << "the same background on both";
    w->TimerTimer();
    EXPECT_EQ(Centre(*w), Opaque(kGreen));
    for (size_t k = 0; k < windows.size(); ++k)
        EXPECT_EQ(Shown(*windows[k]->Image(), 300, 200), before[k]);
    w->FinishScreenSaver(true);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ShowLoop, ADesktopStartShowsTheDesktopThenTheFirstItemAtTheNextChance) {
    PackageContent c = ThreeColours();
    c.Header.DesktopStart = true;
    auto w = Create(WriteShow(c), {"/s"});
    EXPECT_NE(Centre(*w), Opaque(kRed));
    EXPECT_EQ(w->Flags().ShownItem, -1);
    EXPECT_EQ(w->Order().NextItem(), 0);
    EXPECT_TRUE(w->SlideTimer().isActive());
    EXPECT_EQ(w->SlideTimer().interval(), 1);
    EXPECT_FALSE(w->CurrentSettings().DesktopStart);
    w->show();
    EXPECT_TRUE(ProcessEventsUntil([&] { return Centre(*w) == Opaque(kRed); }, kLongWaitMs));
    EXPECT_EQ(w->Flags().ShownItem, 0);
    EXPECT_TRUE(ProcessEventsUntil([&] { return w->SlideTimer().interval() == 5000; }));
}

TEST_F(ShowLoop, ThePreviewStretchesThePackagesPreviewPicture) {
    PackageContent c = BasicPackage();
    QImage preview = SolidImage(320, 240, kGreen);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    preview.save(&buffer, "BMP");
    c.Preview.assign(bmp.begin(), bmp.end());
    auto w = Create(WriteShow(c), {"/p:1"});
    ASSERT_TRUE(w->Flags().PreviewMode);
    EXPECT_TRUE(w->PreviewPicture()->isVisibleTo(w.get()));
    EXPECT_FALSE(w->Displays().Image32()->isVisibleTo(w.get()));
    EXPECT_EQ(w->PreviewPicture()->pixmap().size(), QSize(320, 240));
    EXPECT_TRUE(w->PreviewPicture()->hasScaledContents());
    EXPECT_FALSE(w->SlideTimer().isActive());

    // Without a preview picture the window stays black.
    auto plain = Create(WriteShow(BasicPackage(), "plain.scr"), {"/p:1"});
    EXPECT_FALSE(plain->PreviewPicture()->isVisibleTo(plain.get()));
}

} // namespace
} // namespace pictorelle::test

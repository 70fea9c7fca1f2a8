#include "ShowTest.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"

#include <QCoreApplication>
#include <QWidget>
#include <vector>

namespace pictorelle::test {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u;

class ShowDisplaysTest : public UiTest {};

// With a second monitor the pictures alternate, the first on the main one; without one, or
// once it is let go, everything goes to the main display.
TEST_F(ShowDisplaysTest, PicturesAlternateWhileTheSecondMonitorIsInUse) {
    QWidget window;
    window.resize(64, 48);
    TShowDisplays displays(window);
    displays.Image32()->Bitmap().SetSize(64, 48);

    EXPECT_TRUE(displays.PrimaryChosen()) << "no second window yet";
    displays.CreateSecondMonitorWindow(kSecondScreen, Qt::black, "Show");
    ASSERT_NE(displays.SecondMonitorWindow(), nullptr);
    EXPECT_EQ(displays.SecondMonitorWindow()->geometry(), kSecondScreen);

    TImage32* second = displays.SecondMonitorWindow()->Image();
    bool expectPrimary = true;
    for (int i = 0; i < 4; ++i, expectPrimary = !expectPrimary) {
        displays.Choose(true);
        EXPECT_EQ(displays.PrimaryChosen(), expectPrimary) << i;
        EXPECT_EQ(&displays.ChosenBitmap(),
                  expectPrimary ? &displays.Image32()->Bitmap() : &second->Bitmap());
        EXPECT_EQ(displays.ChosenTarget().Size().width, expectPrimary ? 64 : kSecondScreen.width());
    }
    displays.Choose(false);
    EXPECT_TRUE(displays.PrimaryChosen());

    // Drawing on all of them reaches both.
    TBitmap32 frame(64, 48);
    frame.Clear(kRed);
    displays.DrawAll(frame);
    EXPECT_EQ(Shown(*displays.Image32(), 10, 10), kRed);
    EXPECT_EQ(Shown(*second, 10, 10), kRed);

    displays.ReleaseSecondMonitorWindow();
    EXPECT_EQ(displays.SecondMonitorWindow(), nullptr);
    displays.Choose(true);
    displays.Choose(true);
    EXPECT_TRUE(displays.PrimaryChosen());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Three other monitors: pictures go round all four displays in turn, main first, and drawing
// on all reaches every one.
TEST_F(ShowDisplaysTest, PicturesGoRoundEveryMonitorInTurn) {
    QWidget window;
    window.resize(64, 48);
    TShowDisplays displays(window);
    displays.Image32()->Bitmap().SetSize(64, 48);
    const std::vector<QRect> others = {kSecondScreen, QRect(1824, 0, 640, 480),
                                       QRect(2464, 0, 320, 240)};
    displays.CreateMonitorWindows(others, Qt::black, "Show", true);
    const std::vector<TMonitorWindow*> windows = displays.MonitorWindows();
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(displays.SecondMonitorWindow(), windows[0]);
    for (size_t k = 0; k < windows.size(); ++k) {
        EXPECT_EQ(windows[k]->geometry(), others[k]);
        EXPECT_TRUE(windows[k]->isVisible());
    }

    const std::vector<TImage32*> expected = {displays.Image32(), windows[0]->Image(),
                                             windows[1]->Image(), windows[2]->Image()};
    for (int i = 0; i < 9; ++i) {
        displays.Choose(true);
        TImage32* chosen = expected[static_cast<size_t>(i) % expected.size()];
        EXPECT_EQ(displays.ChosenImage(), chosen) << i;
        EXPECT_EQ(displays.PrimaryChosen(), chosen == displays.Image32()) << i;
        EXPECT_EQ(&displays.ChosenBitmap(), &chosen->Bitmap()) << i;
        EXPECT_EQ(displays.ChosenTarget().Size().width, chosen->Bitmap().Width()) << i;
    }

    TBitmap32 frame(64, 48);
    frame.Clear(kRed);
    displays.DrawAll(frame);
    for (TImage32* image : expected)
        EXPECT_EQ(Shown(*image, 10, 10), kRed);

    displays.ReleaseSecondMonitorWindow();
    EXPECT_TRUE(displays.MonitorWindows().empty());
    for (int i = 0; i < 3; ++i) {
        displays.Choose(true);
        EXPECT_TRUE(displays.PrimaryChosen());
        EXPECT_EQ(&displays.ChosenTarget(), &displays.ChosenTarget());
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Other monitors that take no pictures show the background, opaque, and keep it: every picture
// goes to the main display and drawing on all leaves them alone.
TEST_F(ShowDisplaysTest, MonitorsWithoutPicturesShowTheBackgroundOnly) {
    QWidget window;
    window.resize(64, 48);
    TShowDisplays displays(window);
    displays.Image32()->Bitmap().SetSize(64, 48);
    constexpr uint32_t kClearBlue = 0x000000C0u; // a background that leaves alpha at zero
    displays.CreateMonitorWindows({kSecondScreen, QRect(1824, 0, 640, 480)}, Qt::black, "Show",
                                  false, [](TBitmap32& bitmap) { bitmap.Clear(kClearBlue); });
    const std::vector<TMonitorWindow*> windows = displays.MonitorWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(displays.SecondMonitorWindow(), nullptr);
    for (TMonitorWindow* w : windows) {
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(Shown(*w->Image(), 5, 5), 0xFF0000C0u);
    }
    for (int i = 0; i < 3; ++i) {
        displays.Choose(true);
        EXPECT_TRUE(displays.PrimaryChosen());
        EXPECT_EQ(displays.ChosenImage(), displays.Image32());
    }
    TBitmap32 frame(64, 48);
    frame.Clear(kRed);
    displays.DrawAll(frame);
    EXPECT_EQ(Shown(*displays.Image32(), 10, 10), kRed);
    for (TMonitorWindow* w : windows)
        EXPECT_EQ(Shown(*w->Image(), 10, 10), 0xFF0000C0u);
    displays.ReleaseSecondMonitorWindow();
    for (TMonitorWindow* w : windows)
        EXPECT_FALSE(w->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
} // namespace pictorelle::test

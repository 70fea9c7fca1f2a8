#include "ShowTest.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"

#include <QCoreApplication>
#include <QWidget>

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

} // namespace
} // namespace pictorelle::test

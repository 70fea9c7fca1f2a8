// The presentation (the show run as a plain program): the panel that a mouse move brings up,
// its buttons, the click that means Next, and Play and Pause around the slide timer.
#include "ShowTest.h"
#include "platform/Cursor.h"
#include "show/Panel.h"

#include <QAction>
#include <QCursor>
#include <QToolButton>

namespace pictorelle::test {
namespace {

const QPoint kOrigin(300, 300);
const QColor kColours[] = {QColor(200, 30, 30), QColor(30, 180, 60), QColor(40, 60, 220)};
constexpr int kLongWaitMs = 20000;

class Presentation : public UiTest {
protected:
    std::unique_ptr<TSSWindow> Start(PackageContent c, const std::string& name = "show.exe") {
        for (QColor colour : kColours)
            c.Items.push_back(PictureEntry(SolidImage(64, 48, colour)));
        QCursor::setPos(kOrigin);
        auto w = Create(WriteShow(c, name), {});
        w->show();
        return w;
    }
    static QPoint PanelCentre(const TSSWindow& w) {
        return w.Presentation().PresPanel->mapToGlobal(w.Presentation().PresPanel->rect().center());
    }
    static QToolButton* Button(const TSSWindow& w, const char* action) {
        return w.Presentation().PresPanel->findChild<QToolButton*>(QString::fromLatin1(action) +
                                                                   "Button");
    }
    static bool Shows(TSSWindow& w, int item) {
        return ProcessEventsUntil(
            [&] { return Shown(*w.Displays().Image32(), 512, 384) == Opaque(kColours[item]); },
            kLongWaitMs);
    }
};

TEST_F(Presentation, TheCommandButtonsCarryTheirHintsAndStartWithPlayOff) {
    auto w = Start(BasicPackage());
    ASSERT_TRUE(w->Flags().PresentationMode);
    EXPECT_EQ(w->Presentation().PresPanel->geometry(),
              QRect((1024 - 193) / 2, 768 - 41 - 20, 193, 41));
    const char* names[] = {"ActPlay", "ActPause", "ActBack", "ActNext", "ActClose"};
    const char* hints[] = {"Play", "Pause", "Back", "Next", "Close"};
    int left = -1;
    for (int i = 0; i < 5; ++i) {
        QToolButton* b = Button(*w, names[i]);
        ASSERT_NE(b, nullptr) << names[i];
        EXPECT_EQ(b->toolTip(), QString::fromLatin1(hints[i]));
        EXPECT_EQ(b->isEnabled(), i != 0) << names[i];
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_TRUE(w->Presentation().PresPanel->rect().contains(b->geometry())) << names[i];
        EXPECT_GT(b->x(), left); // left to right in the order of the commands
        left = b->x();
    }
}

TEST_F(Presentation, ASixPixelMoveShowsThePanelWhichHidesOnceThePointerHasLeft) {
    auto w = Start(BasicPackage());
    const int hidden = CursorShowCount();
    SendMouseMove(*w, kOrigin + QPoint(5, -5));
    EXPECT_FALSE(w->Presentation().PresPanel->isVisible());
    EXPECT_FALSE(w->Flags().CursorShown);

    const QPoint moved = kOrigin + QPoint(0, 6);
    SendMouseMove(*w, moved);
    EXPECT_TRUE(w->Presentation().PresPanel->isVisible());
    EXPECT_TRUE(w->Flags().CursorShown);
    EXPECT_EQ(CursorShowCount(), hidden + 1);
    EXPECT_EQ(w->Flags().MouseOrigin, moved);
    EXPECT_TRUE(w->Presentation().PresPanelHideTimer.isActive());
    EXPECT_EQ(w->Presentation().PresPanelHideTimer.interval(), 5000);
    // The next move counts from where the pointer went.
    SendMouseMove(*w, moved + QPoint(4, 4));
    EXPECT_EQ(w->Flags().MouseOrigin, moved);

    // Time runs out with the pointer on the panel: it stays.
    QCursor::setPos(PanelCentre(*w));
    w->PresPanelHideTimerTimer();
    EXPECT_TRUE(w->Presentation().PresPanel->isVisible());
    EXPECT_FALSE(w->Presentation().PresPanelHideTimer.isActive());
    // ... and goes with the pointer once it has left.
    QCursor::setPos(QPoint(100, 100));
    w->PresPanelHideTimerTimer();
    EXPECT_FALSE(w->Presentation().PresPanel->isVisible());
    EXPECT_FALSE(w->Flags().CursorShown);
    EXPECT_EQ(CursorShowCount(), hidden);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(Presentation, TheSameMovesInAScreenSaverNeverShowThePanel) {
    PackageContent c = BasicPackage();
    c.Header.ExitMouseMove = false;
    auto w = Start(c, "show.scr");
    ASSERT_FALSE(w->Flags().PresentationMode);
    SendMouseMove(*w, kOrigin + QPoint(40, 40));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->Presentation().PresPanel->isVisible());
    EXPECT_FALSE(w->Presentation().PresPanelHideTimer.isActive());
}

TEST_F(Presentation, ClicksOffThePanelAndTheButtonsSteerTheShow) {
    auto w = Start(BasicPackage());
    ASSERT_EQ(Shown(*w->Displays().Image32(), 512, 384), Opaque(kColours[0]));
    SendMouseMove(*w, kOrigin + QPoint(20, 0));
    ASSERT_TRUE(w->Presentation().PresPanel->isVisible());

    // A click on the panel itself is the buttons' business.
    SendMousePress(*w, Qt::LeftButton, w->Presentation().PresPanel->mapToGlobal(QPoint(2, 2)));
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(w->Order().NextItem(), 1);
    EXPECT_EQ(w->SlideTimer().interval(), 5000);
    SendMousePress(*w, Qt::LeftButton, QPoint(50, 50));
    EXPECT_TRUE(Shows(*w, 1));
    EXPECT_TRUE(w->isVisible());

    Button(*w, "ActPause")->click();
    EXPECT_FALSE(w->Presentation().PresentationPlaying);
    EXPECT_FALSE(w->SlideTimer().isActive());
    EXPECT_TRUE(w->Presentation().ActPlay->isEnabled());
    EXPECT_FALSE(w->Presentation().ActPause->isEnabled());

    // Paused, a click still shows the next item, and the show stays paused.
    SendMousePress(*w, Qt::LeftButton, QPoint(50, 50));
    EXPECT_TRUE(Shows(*w, 2));
    EXPECT_FALSE(w->SlideTimer().isActive());
    Button(*w, "ActBack")->click();
    EXPECT_TRUE(Shows(*w, 1));
    Button(*w, "ActNext")->click();
    EXPECT_TRUE(Shows(*w, 2));
    EXPECT_FALSE(w->SlideTimer().isActive());

    Button(*w, "ActPlay")->click();
    EXPECT_TRUE(Shows(*w, 0));
    EXPECT_TRUE(w->SlideTimer().isActive());
    EXPECT_FALSE(w->Presentation().ActPlay->isEnabled());

    Button(*w, "ActClose")->click();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(Presentation, PauseSkipsARunningTransitionAndItsEndLeavesTheTimerOff) {
    PackageContent c = BasicPackage();
    c.Strings[StringId::Effect] = std::string(1, static_cast<char>(70));
    c.Header.EffectSpeed = 1;
    auto w = Start(c);
    w->TimerTimer();
    ASSERT_TRUE(w->TransitionState().TransitionRunning);
    w->ActPauseExecute();
    EXPECT_TRUE(Shows(*w, 1)); // the skipped transition ends with the whole picture
    EXPECT_TRUE(ProcessEventsUntil([&] { return !w->TransitionState().TransitionRunning; }));
    ProcessEventsUntil([] { return false; }, 100); // the transition's end has run
    EXPECT_FALSE(w->SlideTimer().isActive());

    // Play while nothing runs brings the next item at once, through a transition.
    w->ActPlayExecute();
    EXPECT_TRUE(ProcessEventsUntil([&] { return w->TransitionState().TransitionRunning.load(); }));
    EXPECT_EQ(w->Flags().ShownItem, 2);
}

} // namespace
} // namespace pictorelle::test

#include "show/PresentationControls.h"

#include "platform/Cursor.h"
#include "show/Panel.h"
#include "show/PresentationPanel.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

namespace pictorelle {
namespace {

// How long Next and Back give a skipped transition to reach its end before they arm the timer.
constexpr int kSkipWaitMs = 50;
constexpr int kPresPanelHideMs = 5000;

} // namespace

TPresentationControls::TPresentationControls(QWidget& window, TShowTimer& timer,
                                             TItemSequence& sequence, TTransitionState& transition,
                                             std::string& effect,
                                             std::function<void(bool)> setCursorShown)
    : PresPanel(new TPanel(QStringLiteral("PresPanel"), &window)), window_(window), timer_(timer),
      sequence_(sequence), transition_(transition), effect_(effect),
      setCursorShown_(std::move(setCursorShown)) {
    PresPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PresPanel->resize(kPresPanelWidth, kPresPanelHeight);
    PresPanel->hide();
    connect(&PresPanelHideTimer, &QTimer::timeout, this,
            &TPresentationControls::PresPanelHideTimerTimer);
    CreateActions();
}

void TPresentationControls::CreateActions() {
    struct Command {
        QAction*& action;
        const char* name;
        const char* caption;
        const char* hint;
        int image;
        bool enabled;
        void (TPresentationControls::*handler)();
    };
    const Command commands[] = {
        {ActPlay, "ActPlay", "&Play", "Play", 0, false, &TPresentationControls::ActPlayExecute},
        {ActPause, "ActPause", "P&ause", "Pause", 1, true, &TPresentationControls::ActPauseExecute},
        {ActBack, "ActBack", "&Back", "Back", 2, true, &TPresentationControls::ActBackExecute},
        {ActNext, "ActNext", "&Next", "Next", 3, true, &TPresentationControls::ActNextExecute},
        {ActClose, "ActClose", "&Close", "Close", 4, true, &TPresentationControls::ActCloseExecute},
    };
    for (const Command& c : commands) {
        c.action = new QAction(PresImage(c.image), QString::fromLatin1(c.caption), &window_);
        c.action->setObjectName(QString::fromLatin1(c.name));
        c.action->setToolTip(QString::fromLatin1(c.hint));
        c.action->setEnabled(c.enabled);
        connect(c.action, &QAction::triggered, this, c.handler);
    }
    PaintPanelFace(*PresPanel);
    PlaceCommandButtons(*PresPanel, {ActPlay, ActPause, ActBack, ActNext, ActClose});
}

void TPresentationControls::PlaceOnScreen(const QRect& screen) {
    PresPanel->move((screen.width() - PresPanel->width()) / 2,
                    screen.height() - PresPanel->height() - 20);
}

void TPresentationControls::ActPlayExecute() {
    PresentationPlaying = true;
    ActPlay->setEnabled(false);
    ActPause->setEnabled(true);
    if (transition_.TransitionRunning) return;
    timer_.EnableAt(1);
}

void TPresentationControls::ActPauseExecute() {
    PresentationPlaying = false;
    ActPlay->setEnabled(true);
    ActPause->setEnabled(false);
    timer_.stop();
    transition_.SkipTransition = true;
}

void TPresentationControls::ActBackExecute() {
    WaitForSkippedTransition();
    if (OnBack)
        OnBack();
    else
        sequence_.Back(effect_);
    timer_.EnableAt(1);
}

void TPresentationControls::ActNextExecute() {
    WaitForSkippedTransition();
    timer_.EnableAt(1);
}

void TPresentationControls::ActCloseExecute() {
    window_.close();
}

// The worker's paints run on this thread, so the wait keeps them flowing; the user's input
// waits.
void TPresentationControls::WaitForSkippedTransition() {
    if (!transition_.TransitionRunning) return;
    transition_.SkipTransition = true;
    QElapsedTimer clock;
    clock.start();
    while (transition_.TransitionRunning && clock.elapsed() < kSkipWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
}

void TPresentationControls::PointerMoved() {
    PresPanel->show();
    PresPanel->raise();
    PresPanelHideTimer.start(kPresPanelHideMs); // restarts the count
    setCursorShown_(true);
}

QRect TPresentationControls::PanelOnScreen() const {
    return {PresPanel->mapToGlobal(QPoint(0, 0)), PresPanel->size()};
}

void TPresentationControls::LeftClick(const QPoint& pos) {
    if (PresPanel->isVisible() && PanelOnScreen().contains(pos)) return;
    ActNextExecute();
}

void TPresentationControls::PresPanelHideTimerTimer() {
    PresPanelHideTimer.stop();
    // The panel stays while the pointer rests on it; a later move re-arms the timer.
    if (PanelOnScreen().contains(CursorPos())) return;
    PresPanel->hide();
    setCursorShown_(false);
}

} // namespace pictorelle

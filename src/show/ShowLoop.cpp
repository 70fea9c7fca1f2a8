// The main window's show loop: the first item, the slide timer's tick, the end of a
// transition, and the presentation's commands and panel.
#include "imaging/PictureItem.h"
#include "platform/Cursor.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"
#include "show/Panel.h"
#include "show/PresentationPanel.h"
#include "show/SSWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

namespace pictorelle {
namespace {

// How long Next and Back give a skipped transition to reach its end before they arm the timer.
constexpr int kSkipWaitMs = 50;
constexpr int kPresPanelHideMs = 5000;

} // namespace

// ---------------------------------------------------------------------------------------------
// The loop

void TSSWindow::StartShow() {
    DirectDraw = true; // the first item never gets a transition
    Sequence = TItemSequence(static_cast<int>(PackageData.Items.size()), Settings.DisplayOrder,
                             PackageData.Header.ShowFirstItemOnce);
    Sequence.StartShow(Settings.Effect);
    LoadImage(Sequence.NextItem(), Settings.DesktopStart);
    if (!Settings.DesktopStart) ChooseNextCounter();
    ApplyTimerPlan(StartShowTimer(TimerState(), Settings.DesktopStart));
    Settings.DesktopStart = false;
}

void TSSWindow::TimerTimer() {
    if (Transition.StopRequested) {
        FinishScreenSaver(true);
        return;
    }
    Timer.stop();
    StopGif();
    if (FlashPlaying) {
        CloseAndStopFlash();
        Image32->update();
        if (SecondMonitorInUse && SecondMonitorWindow) SecondMonitorWindow->Image()->update();
    }
    if (PreviewMode)
        LoadPreviewImage();
    else
        LoadImage(Sequence.NextItem(), false);
    ChooseNextCounter();
    ApplyTimerPlan(TickTimer(TimerState()));
}

void TSSWindow::ChooseNextCounter() {
    Sequence.ChooseNextCounter(Settings.Effect);
}

void TSSWindow::RestartTimer() {
    if (destroying_) return;
    if (RestartTimerEnables(PresentationMode, PresentationPlaying)) EnableTimer();
    if (Transition.StopRequested) {
        FinishScreenSaver(true);
        DisplayExitBanner();
    } else {
        AnimateGif();
    }
}

TShowTimerState TSSWindow::TimerState() const {
    const auto& items = PackageData.Items;
    TShowTimerState s;
    s.itemCount = static_cast<int>(items.size());
    // A hand-edited time of 0 must not make the timer spin.
    s.seconds = std::max(Settings.Seconds, 1);
    if (ShownItem >= 0 && ShownItem < s.itemCount)
        s.shownItemSeconds = items[static_cast<size_t>(ShownItem)].ItemSeconds;
    s.onlyItemIsFlash = s.itemCount == 1 && ItemKindOf(items[0].Ext) == TItemKind::Flash;
    s.videoPlaying = VideoPlaying;
    s.transitionRunning = Transition.TransitionRunning;
    s.previewMode = PreviewMode;
    s.presentationMode = PresentationMode;
    s.presentationPlaying = PresentationPlaying;
    return s;
}

// Setting the interval of a running timer restarts its count; enabling a running timer
// changes nothing.
void TSSWindow::ApplyTimerPlan(const TTimerPlan& plan) {
    if (plan.setInterval) Timer.setInterval(plan.interval);
    if (plan.enabled)
        EnableTimer();
    else
        Timer.stop();
}

// A closed show keeps its timer off, whatever still asks for the next item.
void TSSWindow::EnableTimer() {
    if (!closeHandlerAttached_) return;
    if (!Timer.isActive()) Timer.start();
}

// Asks a running transition to jump to its end and gives it a moment to get there. The
// worker's paints run on this thread, so the wait keeps them flowing; the user's input waits.
void TSSWindow::WaitForSkippedTransition() {
    if (!Transition.TransitionRunning) return;
    Transition.SkipTransition = true;
    QElapsedTimer clock;
    clock.start();
    while (Transition.TransitionRunning && clock.elapsed() < kSkipWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
}

void TSSWindow::StopTransition() {
    if (Transition.TransitionRunning) {
        Transition.StopRequested = true;
        Transition.SuppressFinalPaint = true;
        mainThread_.ProcessEventsUntil([this] { return !Transition.TransitionRunning.load(); });
    }
    Transition.JoinWorker();
}

// ---------------------------------------------------------------------------------------------
// The presentation's commands

void TSSWindow::CreatePresentationPanel() {
    struct Command {
        QAction*& action;
        const char* name;
        const char* caption;
        const char* hint;
        int image;
        bool enabled;
        void (TSSWindow::*handler)();
    };
    const Command commands[] = {
        {ActPlay, "ActPlay", "&Play", "Play", 0, false, &TSSWindow::ActPlayExecute},
        {ActPause, "ActPause", "P&ause", "Pause", 1, true, &TSSWindow::ActPauseExecute},
        {ActBack, "ActBack", "&Back", "Back", 2, true, &TSSWindow::ActBackExecute},
        {ActNext, "ActNext", "&Next", "Next", 3, true, &TSSWindow::ActNextExecute},
        {ActClose, "ActClose", "&Close", "Close", 4, true, &TSSWindow::ActCloseExecute},
    };
    for (const Command& c : commands) {
        c.action = new QAction(PresImage(c.image), QString::fromLatin1(c.caption), this);
        c.action->setObjectName(QString::fromLatin1(c.name));
        c.action->setToolTip(QString::fromLatin1(c.hint));
        c.action->setEnabled(c.enabled);
        connect(c.action, &QAction::triggered, this, c.handler);
    }
    PresPanel->setAutoFillBackground(true);
    PlaceCommandButtons(*PresPanel, {ActPlay, ActPause, ActBack, ActNext, ActClose});
}

void TSSWindow::ActPlayExecute() {
    PresentationPlaying = true;
    ActPlay->setEnabled(false);
    ActPause->setEnabled(true);
    if (Transition.TransitionRunning) return;
    Timer.setInterval(1);
    EnableTimer();
}

void TSSWindow::ActPauseExecute() {
    PresentationPlaying = false;
    ActPlay->setEnabled(true);
    ActPause->setEnabled(false);
    Timer.stop();
    Transition.SkipTransition = true;
}

void TSSWindow::ActBackExecute() {
    WaitForSkippedTransition();
    Sequence.Back(Settings.Effect);
    Timer.setInterval(1);
    EnableTimer();
}

void TSSWindow::ActNextExecute() {
    WaitForSkippedTransition();
    Timer.setInterval(1);
    EnableTimer();
}

void TSSWindow::ActCloseExecute() {
    close();
}

// ---------------------------------------------------------------------------------------------
// The presentation panel and the pointer

void TSSWindow::PresentationMouseMove(const QPoint& pos) {
    MouseOrigin = pos;
    PresPanel->show();
    PresPanel->raise();
    PresPanelHideTimer.start(kPresPanelHideMs); // restarts the count
    SetCursorShown(true);
}

// A click on the panel belongs to its buttons; anywhere else it is Next.
void TSSWindow::PresentationLeftClick(const QPoint& pos) {
    const QRect panel(PresPanel->mapToGlobal(QPoint(0, 0)), PresPanel->size());
    if (PresPanel->isVisible() && panel.contains(pos)) return;
    ActNextExecute();
}

void TSSWindow::PresPanelHideTimerTimer() {
    PresPanelHideTimer.stop();
    const QRect panel(PresPanel->mapToGlobal(QPoint(0, 0)), PresPanel->size());
    // The panel stays while the pointer rests on it; a later move re-arms the timer.
    if (panel.contains(CursorPos())) return;
    PresPanel->hide();
    SetCursorShown(false);
}

// ---------------------------------------------------------------------------------------------
// Media that later work fills in

// Stops the GIF animation, the video, the melody and the enter sound and deletes their
// temporary files. Only the GIF animation exists so far.
void TSSWindow::StopMedia() {
    StopGif();
}
// GIF items: stops the frame timer and frees the animation.
void TSSWindow::StopGif() {}
// GIF items: starts the frames once the item is fully on screen.
void TSSWindow::AnimateGif() {}
// Flash items: stops and hides the movie.
void TSSWindow::CloseAndStopFlash() {}
// Enter sounds: plays the item's sound.
void TSSWindow::PlayEnterSound(int) {}

} // namespace pictorelle

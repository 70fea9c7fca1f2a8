// The main window's show loop: the first item, the slide timer's tick, the end of a
// transition, and the presentation's commands.
#include "show/PresentationControls.h"
#include "show/SSWindow.h"
#include "show/ShowDisplays.h"

#include <algorithm>

namespace pictorelle {

void TSSWindow::StartShow() {
    if (library_) {
        StartLibraryShow();
        RunDeferredTick();
        return;
    }
    flags_.DirectDraw = true; // the first item never gets a transition
    Sequence = TItemSequence(static_cast<int>(PackageData.Items.size()), Settings.DisplayOrder,
                             PackageData.Header.ShowFirstItemOnce);
    Sequence.StartShow(Settings.Effect);
    LoadImage(Sequence.NextItem(), Settings.DesktopStart);
    if (!Settings.DesktopStart) ChooseNextCounter();
    ApplyTimerPlan(StartShowTimer(TimerState(), Settings.DesktopStart));
    Settings.DesktopStart = false;
    RunDeferredTick();
}

void TSSWindow::TimerTimer() {
    if (Transition.StopRequested) {
        FinishScreenSaver(true);
        return;
    }
    if (pictureLoader_.Busy()) {
        // The next item waits until the one being composed is on screen.
        Timer.stop();
        tickDeferred_ = true;
        return;
    }
    Timer.stop();
    media_->StopGif();
    if (mediaState_.FlashPlaying) {
        media_->CloseAndStopFlash();
        displays_->UpdateAll();
    }
    if (library_ && !flags_.PreviewMode) {
        LibraryTick();
        RunDeferredTick();
        return;
    }
    if (flags_.PreviewMode)
        LoadPreviewImage();
    else
        LoadImage(Sequence.NextItem(), false);
    ChooseNextCounter();
    ApplyTimerPlan(TickTimer(TimerState()));
    RunDeferredTick();
}

void TSSWindow::RunDeferredTick() {
    if (!tickDeferred_) return;
    tickDeferred_ = false;
    Timer.setInterval(1);
    Timer.Enable();
}

void TSSWindow::ChooseNextCounter() {
    Sequence.ChooseNextCounter(Settings.Effect);
}

void TSSWindow::RestartTimer() {
    if (destroying_) return;
    if (RestartTimerEnables(flags_.PresentationMode, presentation_->PresentationPlaying))
        Timer.Enable();
    if (Transition.StopRequested) {
        FinishScreenSaver(true);
        DisplayExitBanner();
    } else if (!pictureLoader_.Busy()) {
        media_->AnimateGif(); // otherwise the picture being composed replaces the GIF anyway
    }
}

TShowTimerState TSSWindow::TimerState() const {
    const auto& items = PackageData.Items;
    TShowTimerState s;
    s.itemCount = static_cast<int>(items.size());
    // A hand-edited time of 0 must not make the timer spin.
    s.seconds = std::max(Settings.Seconds, 1);
    if (flags_.ShownItem >= 0 && flags_.ShownItem < s.itemCount)
        s.shownItemSeconds = items[static_cast<size_t>(flags_.ShownItem)].ItemSeconds;
    s.onlyItemIsFlash = s.itemCount == 1 && ItemKindOf(items[0].Ext) == TItemKind::Flash;
    if (library_) {
        // The library's pictures known now are the items; slot 0 only holds their record.
        s.itemCount = static_cast<int>(std::min<size_t>(library_->Known(), 1u << 30));
        s.onlyItemIsFlash = false;
    }
    s.videoPlaying = mediaState_.VideoPlaying;
    s.transitionRunning = Transition.TransitionRunning;
    s.previewMode = flags_.PreviewMode;
    s.presentationMode = flags_.PresentationMode;
    s.presentationPlaying = presentation_->PresentationPlaying;
    return s;
}

void TSSWindow::ApplyTimerPlan(const TTimerPlan& plan) {
    if (plan.setInterval) Timer.setInterval(plan.interval);
    if (plan.enabled)
        Timer.Enable();
    else
        Timer.stop();
}

// ---------------------------------------------------------------------------------------------
// The presentation's commands

void TSSWindow::ActPlayExecute() {
    presentation_->ActPlayExecute();
}

void TSSWindow::ActPauseExecute() {
    presentation_->ActPauseExecute();
}

void TSSWindow::ActBackExecute() {
    presentation_->ActBackExecute();
}

void TSSWindow::ActNextExecute() {
    presentation_->ActNextExecute();
}

void TSSWindow::ActCloseExecute() {
    presentation_->ActCloseExecute();
}

void TSSWindow::PresPanelHideTimerTimer() {
    presentation_->PresPanelHideTimerTimer();
}

} // namespace pictorelle

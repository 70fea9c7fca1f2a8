// The main window's close: the clean-up steps in their fixed order (worked out by the close
// plan), and the exit banner that may end the show.
#include "package/TempFolder.h"
#include "package/Translation.h"
#include "platform/Application.h"
#include "platform/Monitors.h"
#include "platform/OpenAddress.h"
#include "show/PresentationControls.h"
#include "show/SSWindow.h"
#include "windows/ExitWindow.h"

#include <QCloseEvent>
#include <cstdio>

namespace pictorelle {
namespace {

// Closing goes on whether or not the file (or the temporary folder) is there.
void DeleteTempFile(std::string_view fixedName) {
    try {
        std::remove(TempFilePath(fixedName).c_str());
    } catch (const PictorelleError&) {
    }
}

} // namespace

void TSSWindow::closeEvent(QCloseEvent* event) {
    if (closeHandlerAttached_) FormClose();
    event->accept();
    // Closing the last window ends the program once nothing else (a modal exit banner) is
    // open. A preview lives inside another program's window, which the framework does not
    // count as one of ours, so it ends the program itself.
    if (flags_.PreviewMode) RequestApplicationEnd(0);
}

TCloseSituation TSSWindow::CloseSituation() const {
    TCloseSituation s;
    s.SaverActive = flags_.SaverActive;
    s.PreviewMode = flags_.PreviewMode;
    const int melody = media_->CurrentMelody();
    s.CurrentMelodyExtracted = !Settings.UseCustomPlaylist && melody >= 0 &&
                               melody < static_cast<int>(PackageData.Melodies.size());
    // Drawing for another screen saver, the show neither opens addresses nor shows a banner:
    // that one decides what follows.
    s.HasExitAddress = !flags_.HackMode && !PackageData.Strings[StringId::ExitLinkAddress].empty();
    s.HasExitBanner = !flags_.HackMode && PackageData.Header.ExitBannerStoredSize > 0;
    s.TransitionRunning = Transition.TransitionRunning;
    return s;
}

void TSSWindow::FormClose() {
    // A picture still being composed is no longer wanted; its worker reads what closing frees.
    pictureLoader_.Abandon();
    for (TCloseStep step : ClosePlan(CloseSituation()))
        RunCloseStep(step);
}

void TSSWindow::RunCloseStep(TCloseStep step) {
    switch (step) {
    case TCloseStep::DetachCloseHandler:
        closeHandlerAttached_ = false;
        Timer.Close(); // whatever still asks for the next item, the timer stays off
        break;
    case TCloseStep::StopShow:
        Transition.StopRequested = true;
        Timer.stop();
        presentation_->Stop();
        // A show closed by its own command has not stopped its music yet.
        try {
            media_->StopMedia();
        } catch (const PictorelleError&) {
        }
        break;
    case TCloseStep::HideWindow:
        hide();
        break;
    case TCloseStep::ShowCursor:
        SetCursorShown(true);
        break;
    case TCloseStep::DeleteDataFile:
        DeleteTempFile("SSDATA.DAT");
        break;
    case TCloseStep::DestroyHost:
        ScreenSaver.reset();
        break;
    case TCloseStep::DeleteMelodyFile:
        media_->DeleteMelodyFile();
        break;
    case TCloseStep::OpenExitAddress:
        OpenAddress(PackageData.Strings[StringId::ExitLinkAddress]);
        break;
    case TCloseStep::WriteSettings:
        WriteSettings();
        break;
    case TCloseStep::FreeShowObjects:
        FreeShowObjects();
        break;
    case TCloseStep::DisplayExitBanner:
        DisplayExitBanner();
        break;
    }
}

void TSSWindow::FormDestroy() {
    RemoveInputHook();
    FreeTranslationTable();
}

// Exit banner: shows the package's exit banner window modally, at most once per run, in the
// full-screen show only. Both the close and the end of a stopped transition ask for it; the
// flag is set before the window opens, so a request while it is up shows nothing either.
void TSSWindow::DisplayExitBanner() {
    if (flags_.HackMode || flags_.ExitBannerShown || !flags_.SaverActive || flags_.PreviewMode)
        return;
    if (PackageData.Header.ExitBannerStoredSize <= 0) return;
    flags_.ExitBannerShown = true;
    ShowExitBanner(Startup.ProgramFile, PackageData, MonitorBounds(0));
}

} // namespace pictorelle

// TSSWindow: the player's one main window. The same window is the options panel, the small
// preview inside a host window, and the full-screen show (also when the file runs as a plain
// program, the presentation). Its creation enters the mode through the host component, reads
// the package and prepares the mode; its input hook ends the show by the package's exit
// rules; its close runs the clean-up steps in their fixed order.
//
// The window is the shell: its events, its named controls and timers, and the show's entry
// points. The work lives in rooms of its own, each behind a small interface: the displays
// (TShowDisplays), the presentation controls (TPresentationControls), the composer of frames
// (TShowComposer, engine), the players (TShowMedia) and the options panel (TOptionsPanel).
// The window owns the process-wide state of the show (the package's header, strings and
// records, the settings, the flags below) and lends it to them.
#pragma once

#include "host/CommandLine.h"
#include "host/ScreenSaver.h"
#include "imaging/ShowComposer.h"
#include "media/ShowMedia.h"
#include "package/PackageReader.h"
#include "package/SaverSettings.h"
#include "show/ClosePlan.h"
#include "show/LibraryPictures.h"
#include "show/PictureLoader.h"
#include "show/QtTransitions.h"
#include "show/ShowTimer.h"
#include "show/sequence/ItemSequence.h"
#include "transitions/TransThread.h"

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace pictorelle {

class TOptionsPanel;
class TPanel;
class TPresentationControls;
class TShowDisplays;

// What the program was started as.
struct TStartup {
    std::string ProgramFile;            // the file that carries the package; its name decides
                                        // between screen saver and plain program
    std::vector<std::string> Arguments; // the command line without the program
};

inline constexpr int kCfgBoxWidth = 513;
inline constexpr int kCfgBoxHeight = 381;

// The show's process-wide flags and what it remembers between items.
struct TShowFlags {
    bool SaverActive = false; // full screen or preview, not the options panel
    bool PreviewMode = false;
    bool PresentationMode = false;
    bool HackMode = false; // drawing into a window another screen saver gave us
    bool InputSuspended = false;
    // While a movie's player starts, the web engine makes and reparents windows of its own,
    // which moves the activation about: that is not the user leaving the show.
    bool MoviePlayerStarting = false;
    bool SecondMonitorInUse = false;
    bool DirectDraw = false; // the next item comes without a transition
    bool CursorShown = false;
    bool ExitBannerShown = false;    // at most once per run
    QPoint MouseOrigin;              // the pointer when the window was shown, in screen pixels
    bool MouseOriginPending = false; // ... not known yet: the first pointer event tells
    int ShownPicture = -1;           // the picture item on screen; -1 while a movie or video is
    int ShownItem = -1;              // the item the loader put on screen last
};

class TSSWindow : public QWidget {
    Q_OBJECT
public:
    // Creates the window and runs its creation handler: the mode is entered, the package read
    // and the mode prepared. A package that cannot be read is reported to the user and ends
    // the application (ApplicationEndRequested). Throws FlashPlayerUnavailable when the package
    // carries a Flash player and none can be made.
    explicit TSSWindow(TStartup startup);
    ~TSSWindow() override;

    // SSWindow.cpp: reading the package, input and ending.
    //
    // Reads the package (and the user's settings): what the options panel needs, or all that
    // the show needs. On failure shows the fixed message, ends the application and returns
    // false.
    bool ReadData(bool ConfigMode);
    // Stops the media and closes the window when Exit holds and the password allows it; while
    // a transition runs it only asks the transition to stop, and its end calls this again.
    void FinishScreenSaver(bool Exit);
    // Input is ignored and the slide timer held while suspended.
    void Suspend();
    void Resume();
    // Shows or hides the pointer once when the wanted state differs from the last one set,
    // so that this window's show and hide calls stay paired.
    void SetCursorShown(bool shown);

    // ShowLoop.cpp: the show loop. StartShow puts the first item on screen and arms Timer;
    // each tick loads the item chosen before, chooses the next one and arms Timer for the item
    // now on screen. A picture that arrives through a transition starts its time when
    // RestartTimer runs at the transition's end.
    void StartShow();
    void TimerTimer();
    void ChooseNextCounter();
    void RestartTimer();

    // ShowLoop.cpp: the presentation's commands (the buttons of PresPanel; a left click outside
    // the panel is Next), carried out by the presentation controls.
    void ActPlayExecute();
    void ActPauseExecute();
    void ActBackExecute();
    void ActNextExecute();
    void ActCloseExecute();
    void PresPanelHideTimerTimer();

    // LoadImage.cpp: puts item index on screen (-1: no item). fromDesktop shows a copy of the
    // desktop instead of the picture. A picture that cannot be loaded leaves the screen as it
    // was.
    void LoadImage(int index, bool fromDesktop);

    // The library show's pictures; null for a show of the package's items.
    const TLibraryPictures* Library() const { return library_.get(); }

    // What the rest of the program and the tests read.
    const TShowFlags& Flags() const { return flags_; }
    const Package& Data() const { return PackageData; }
    const SaverSettings& CurrentSettings() const { return Settings; }
    const TItemSequence& Order() const { return Sequence; }
    TScreenSaver* ScreenSaverHost() const { return ScreenSaver.get(); }
    TShowTimer& SlideTimer() { return Timer; }
    TTransitionState& TransitionState() { return Transition; }
    TOptionsPanel* OptionsPanel() const { return CfgBox; }
    TPresentationControls& Presentation() const { return *presentation_; }
    TShowDisplays& Displays() const { return *displays_; }
    const TShowMediaState& MediaState() const { return mediaState_; }
    const TShowMedia& Media() const { return *media_; }
    QLabel* PreviewPicture() const { return PrImage; }
    TPanel* MoviePanel() const { return PanelDisplay; }

protected:
    // SSWindow.cpp; closeEvent in Closing.cpp.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // SSWindow.cpp: creation and the modes; FormClose and FormDestroy in Closing.cpp.
    void CreateControls();
    void CreateScreenSaver();
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormClose();
    void FormDestroy();
    void DecideMode();
    bool EnterHackMode(const THackTarget& target);
    void CreateFullScreenShow();
    void ScreenSaverConfigBoxActive();
    void ScreenSaverPreviewActive();
    void ScreenSaverMainSaverActive();
    void ReadShowData(const ByteSource& file);
    void SetWindowColor(uint32_t pixel);

    // SSWindow.cpp: the input hook (every input event of the application passes here while
    // the show runs).
    void InstallInputHook();
    void RemoveInputHook();
    bool DeactivateScrSaver(QObject* watched, QEvent* event);
    // Takes the pointer's first place from a pointer event while it is not known; true when
    // the event has nothing more to say to the exit rules.
    bool TakeMouseOrigin(QObject* watched, QEvent* event);
    // F2: the picture on screen becomes the wallpaper, with a notice on the main display.
    void SetCurrentImageAsWallpaper();

    // Closing.cpp: the close's steps, and the exit banner.
    TCloseSituation CloseSituation() const;
    void RunCloseStep(TCloseStep step);
    void DisplayExitBanner();

    // OptionsMode.cpp: the options panel's data, settings and buttons.
    void LoadBannerImage(const ByteSource& file);
    void BuildTranslation();
    void ReadUserSettings();
    void ShowSettings();
    void ArrangeOptionsPanel();
    void PrepareOptionsPanel();
    void WriteSettings();
    void btnAboutClick();
    void btnWebsiteClick();
    void btnCloseClick();
    void imgBannerClick();

    // ShowLoop.cpp: arming the slide timer.
    TShowTimerState TimerState() const;
    void ApplyTimerPlan(const TTimerPlan& plan);
    void RunDeferredTick();

    // LibraryLoop.cpp: a library show's loop. Each tick deals the next picture of the folder
    // and shows it through slot 0 of the item table, which holds the show's template record.
    void StartLibraryShow();
    void LibraryTick();
    // Puts a dealt picture on screen; false with why set when it cannot be shown (why empty
    // when the work was abandoned because the show is ending).
    bool LoadLibraryPicture(const TLibraryPick& pick, std::string& why);
    // The background (and logo) on every display: a library with nothing to show yet.
    void ShowBackgroundOnly();

    // LoadImage.cpp: the pictures.
    void PrepareBackground();
    // After a picture was composed: its frame and GIF go to the media state, and the display
    // that shows it is chosen.
    void TakeComposedPicture(TPictureItem& composed, TBitmap32& frame, int index);
    void LoadPreviewImage();
    bool ShowPictureItem(int index, const std::string& path, int sizeMode, TBitmap32& frame);
    void ShowFrame(TBitmap32 frame, int index);
    void FreeShowObjects();

    // The program and its package; the settings in force.
    TStartup Startup;
    Package PackageData;
    SaverSettings Settings;
    TShowFlags flags_;

    // Controls, timers and the rooms of the show.
    std::unique_ptr<TScreenSaver> ScreenSaver;
    std::unique_ptr<TShowDisplays> displays_;
    QLabel* PrImage = nullptr; // the preview picture, stretched over the window
    TPanel* PanelDisplay = nullptr;
    TOptionsPanel* CfgBox = nullptr;
    std::unique_ptr<TPresentationControls> presentation_;
    TShowTimer Timer;
    TShowComposer composer_;
    TShowMediaState mediaState_;
    std::unique_ptr<TShowMedia> media_;
    // Composes picture items off the interface thread; declared after what its worker reads
    // (the composer, the package), so it is gone, and its worker with it, before they are.
    TPictureLoader pictureLoader_;
    // A slide-timer tick that came while a picture was still being composed: it runs once
    // that picture is on screen.
    bool tickDeferred_ = false;

    // The one transition that may run: its flags (TransitionRunning, StopRequested,
    // SkipTransition, SuppressFinalPaint) are shared with the worker.
    TTransitionState Transition;
    TItemSequence Sequence{0, kOrderSequential, false};
    // A library show: where its pictures come from, the one on screen, and whether the next
    // deal goes back (presentation Back).
    std::unique_ptr<TLibraryPictures> library_;
    std::optional<TLibraryPick> libraryShown_;
    bool libraryBack_ = false;

    QImage banner_; // the options panel's banner picture, when the package has one
    bool closeHandlerAttached_ = true;
    bool inputHookInstalled_ = false;
    bool destroying_ = false;
    // Counts the transitions the show started, so that the end of one that was overtaken by
    // a newer one is not taken for the newer one's end.
    unsigned transitionSerial_ = 0;
    TQtMainThread mainThread_;
};

} // namespace pictorelle

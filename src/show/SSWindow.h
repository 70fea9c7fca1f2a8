// TSSWindow: the player's one main window. The same window is the options panel, the small
// preview inside a host window, and the full-screen show (also when the file runs as a plain
// program, the presentation). Its creation enters the mode through the host component, reads
// the package and prepares the mode; its input hook ends the show by the package's exit
// rules; its close runs the clean-up steps in their fixed order.
//
// The window owns the process-wide state of the show (the package's header, strings and
// records, the settings, the flags below); other parts of the show read it from here.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"
#include "host/ScreenSaver.h"
#include "imaging/Overlays.h"
#include "imaging/PictureItem.h"
#include "media/FlashPlayer.h"
#include "package/PackageReader.h"
#include "package/SaverSettings.h"
#include "show/ClosePlan.h"
#include "show/ExitRules.h"
#include "show/QtTransitions.h"
#include "show/sequence/ItemSequence.h"
#include "transitions/TransThread.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;

namespace pictorelle {

class TImage32;
class TMonitorWindow;
class TOptionsPanel;
class TPanel;

// What the program was started as.
struct TStartup {
    std::string ProgramFile;            // the file that carries the package; its name decides
                                        // between screen saver and plain program
    std::vector<std::string> Arguments; // the command line without the program
};

inline constexpr int kCfgBoxWidth = 513;
inline constexpr int kCfgBoxHeight = 381;
inline constexpr int kPresPanelWidth = 193;
inline constexpr int kPresPanelHeight = 41;

class TSSWindow : public QWidget {
    Q_OBJECT
public:
    // Creates the window and runs its creation handler: the mode is entered, the package read
    // and the mode prepared. A package that cannot be read is reported to the user and ends
    // the application (ApplicationEndRequested). Throws FlashPlayerUnavailable when the package
    // carries a Flash player and none can be made.
    explicit TSSWindow(TStartup startup);
    ~TSSWindow() override;

    // Stops the media and closes the window when Exit holds and the password allows it; while
    // a transition runs it only asks the transition to stop, and its end calls this again.
    void FinishScreenSaver(bool Exit);
    // Reads the package (and the user's settings): what the options panel needs, or all
    // that the show needs. On failure shows the fixed message, ends the application and
    // returns false.
    bool ReadData(bool ConfigMode);
    // Input is ignored and the slide timer held while suspended.
    void Suspend();
    void Resume();
    // Shows or hides the pointer once when the wanted state differs from the last one set,
    // so that this window's show and hide calls stay paired.
    void SetCursorShown(bool shown);

    // The show loop. StartShow puts the first item on screen and arms Timer; each tick loads
    // the item chosen before, chooses the next one and arms Timer for the item now on screen.
    // A picture that arrives through a transition starts its time when RestartTimer runs at
    // the transition's end.
    void StartShow();
    void TimerTimer();
    void ChooseNextCounter();
    void RestartTimer();
    // Puts item index on screen (-1: no item). fromDesktop shows a copy of the desktop instead
    // of the picture. A picture that cannot be loaded leaves the screen as it was.
    void LoadImage(int index, bool fromDesktop);

    // The presentation's commands (the buttons of PresPanel; a left click outside the panel
    // is Next) and the panel's hide timer.
    void ActPlayExecute();
    void ActPauseExecute();
    void ActBackExecute();
    void ActNextExecute();
    void ActCloseExecute();
    void PresPanelHideTimerTimer();

    // Controls.
    std::unique_ptr<TScreenSaver> ScreenSaver;
    TImage32* Image32 = nullptr;
    QLabel* PrImage = nullptr; // the preview picture, stretched over the window
    TPanel* PanelDisplay = nullptr;
    TOptionsPanel* CfgBox = nullptr;
    TPanel* PresPanel = nullptr;
    QAction* ActPlay = nullptr;
    QAction* ActPause = nullptr;
    QAction* ActBack = nullptr;
    QAction* ActNext = nullptr;
    QAction* ActClose = nullptr;
    QTimer Timer;
    QTimer PresPanelHideTimer;
    std::unique_ptr<TMonitorWindow> SecondMonitorWindow;
    std::unique_ptr<TShockWaveFlashEx> FlashPlayer;

    // The package as read, and the settings in force.
    Package PackageData;
    SaverSettings Settings;
    TStartup Startup;

    // Show state.
    bool SaverActive = false;
    bool PreviewMode = false;
    bool PresentationMode = false;
    bool InputSuspended = false;
    bool SecondMonitorInUse = false;
    bool DirectDraw = false;
    bool PresentationPlaying = true;
    bool FlashPlaying = false;
    bool VideoPlaying = false;
    QPoint MouseOrigin;
    int CurrentMelody = 0;
    bool CursorShown = false;
    // The exit banner is shown at most once per run.
    bool ExitBannerShown = false;

    // The one transition that may run: its flags (TransitionRunning, StopRequested,
    // SkipTransition, SuppressFinalPaint) are shared with the worker.
    TTransitionState Transition;
    TItemSequence Sequence{0, kOrderSequential, false};

    // What the show draws with and what is on screen.
    TBitmap32 BackgroundBitmap;                 // the window's size
    std::optional<TBitmap32> BackgroundPicture; // kept for repainting the background per item
    std::optional<TLogo> Logo;
    std::optional<TBitmap32> ItemPicture; // the picture on screen, after its flags
    std::optional<TBitmap32> ItemMask;    // its mask
    TRect ItemRect;                       // where it lies in the frame
    bool IsGifItem = false;
    std::optional<TBitmap32> GifBackground; // a GIF item's frame without the picture
    TBitmap32* DisplayBitmap = nullptr;     // the display that received the last picture
    int ShownPicture = 0; // the picture item on screen; -1 while a movie or video is
    int ShownItem = -1;   // the item the loader put on screen last
    bool UsePrimaryDisplay = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateScreenSaver();

    // Lifecycle.
    void FormCreate();
    void FormShow();
    void FormHide();
    void FormClose();
    void FormDestroy();
    void DecideMode();
    void CreateFullScreenShow();
    void CreateSecondMonitorWindow();

    // The host component's mode events.
    void ScreenSaverConfigBoxActive();
    void ScreenSaverPreviewActive();
    void ScreenSaverMainSaverActive();

    // The input hook: every input event of the application passes here while the show runs.
    void InstallInputHook();
    void RemoveInputHook();
    bool DeactivateScrSaver(QObject* watched, QEvent* event);

    void ReadShowData(const ByteSource& file);
    void RunCloseStep(TCloseStep step);
    TCloseSituation CloseSituation() const;
    void SetWindowColor(uint32_t pixel);

    // The options panel's buttons and banner.
    void btnAboutClick();
    void btnWebsiteClick();
    void btnCloseClick();
    void imgBannerClick();

    // Steps that later work fills in; each is called where its step belongs.
    void LoadBannerImage(const ByteSource& file);
    void BuildTranslation();
    void ReadUserSettings();
    void ShowSettings();
    void ArrangeOptionsPanel();
    void PrepareOptionsPanel();
    void WriteSettings();
    void PrepareBackground(const ByteSource& file);
    void LoadLogo();
    void LoadCustomPlaylist();
    void LoadPreviewImage();
    void StartMelody();
    void StopMedia();
    void PresentationMouseMove(const QPoint& pos);
    void PresentationLeftClick(const QPoint& pos);
    void SetWallpaper();
    void FreeShowObjects();
    void DisplayExitBanner();

    // The show loop's helpers.
    void CreatePresentationPanel();
    void ApplyTimerPlan(const TTimerPlan& plan);
    void EnableTimer();
    TShowTimerState TimerState() const;
    void WaitForSkippedTransition();
    void RepaintBackgroundForItem();
    bool ShowPictureItem(int index, const std::string& path, int sizeMode, TBitmap32& frame);
    bool ShowMovieItem(TItemKind kind, int index, const std::string& path, int sizeMode,
                       TBitmap32& frame);
    void ShowMovieBackground(TBitmap32& frame);
    void PlaceMoviePanel(int sizeMode, const TRect& natural);
    void ShowFrame(const TBitmap32& frame, int index);
    void DrawDirect(const TBitmap32& frame);
    void StopTransition();

    // Steps that later work fills in.
    void StopGif();
    void AnimateGif();
    void PlayEnterSound(int index);
    void CloseAndStopFlash();

    QImage banner_; // the options panel's banner picture, when the package has one
    bool closeHandlerAttached_ = true;
    bool inputHookInstalled_ = false;
    bool destroying_ = false;
    // Counts the transitions the show started, so that the end of one that was overtaken by
    // a newer one is not taken for the newer one's end.
    unsigned transitionSerial_ = 0;
    TQtMainThread mainThread_;
    std::unique_ptr<TImage32Target> mainTarget_;
    std::unique_ptr<TImage32Target> secondTarget_;
};

} // namespace pictorelle

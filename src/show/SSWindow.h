// TSSWindow: the player's one main window. The same window is the options panel, the small
// preview inside a host window, and the full-screen show (also when the file runs as a plain
// program, the presentation). Its creation enters the mode through the host component, reads
// the package and prepares the mode; its input hook ends the show by the package's exit
// rules; its close runs the clean-up steps in their fixed order.
//
// The window owns the process-wide state of the show (the package's header, strings and
// records, the settings, the flags below); other parts of the show read it from here.
#pragma once

#include "host/ScreenSaver.h"
#include "media/FlashPlayer.h"
#include "package/PackageReader.h"
#include "package/SaverSettings.h"
#include "show/ClosePlan.h"
#include "show/ExitRules.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

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

    // Controls.
    std::unique_ptr<TScreenSaver> ScreenSaver;
    TImage32* Image32 = nullptr;
    TPanel* PanelDisplay = nullptr;
    TOptionsPanel* CfgBox = nullptr;
    TPanel* PresPanel = nullptr;
    QTimer Timer;
    std::unique_ptr<TMonitorWindow> SecondMonitorWindow;
    std::unique_ptr<TShockWaveFlashEx> FlashPlayer;

    // The package as read, and the settings in force.
    Package PackageData;
    SaverSettings Settings;
    TStartup Startup;

    // Show state. The first four are shared with the transition worker.
    bool SaverActive = false;
    bool PreviewMode = false;
    bool PresentationMode = false;
    bool InputSuspended = false;
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> SuppressFinalPaint{false};
    std::atomic<bool> TransitionRunning{false};
    bool SecondMonitorInUse = false;
    bool DirectDraw = false;
    QPoint MouseOrigin;
    int CurrentMelody = 0;
    bool CursorShown = false;

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
    void StartShow();
    void TimerTimer();
    void StopMedia();
    void PresentationMouseMove(const QPoint& pos);
    void PresentationLeftClick(const QPoint& pos);
    void SetWallpaper();
    void FreeShowObjects();
    void DisplayExitBanner();

    QImage banner_; // the options panel's banner picture, when the package has one
    bool closeHandlerAttached_ = true;
    bool inputHookInstalled_ = false;
};

} // namespace pictorelle

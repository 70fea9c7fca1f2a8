#include "show/SSWindow.h"

#include "core/Color.h"
#include "core/Random.h"
#include "host/CommandLine.h"
#include "imaging/Wallpaper.h"
#include "library/LibraryList.h"
#include "media/FlashItem.h"
#include "media/ShowPlayers.h"
#include "media/VideoItem.h"
#include "package/LibraryShow.h"
#include "package/TempFolder.h"
#include "package/Translation.h"
#include "platform/Application.h"
#include "platform/Cursor.h"
#include "platform/Desktop.h"
#include "platform/Embed.h"
#include "platform/MessageBox.h"
#include "platform/Monitors.h"
#include "platform/OpenAddress.h"
#include "platform/Session.h"
#include "platform/X11.h"
#include "platform/store/SqliteRegistry.h"
#include "show/Image32.h"
#include "show/InputEvents.h"
#include "show/OptionsPanel.h"
#include "show/Panel.h"
#include "show/PresentationControls.h"
#include "show/ShowDisplays.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QPalette>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace pictorelle {
namespace {

constexpr uint32_t kBlackPixel = 0xFF000000u;

} // namespace

TSSWindow::TSSWindow(TStartup startup)
    : QWidget(nullptr), Startup(std::move(startup)),
      composer_(Startup.ProgramFile, PackageData, CaptureDesktop),
      media_(std::make_unique<TNullShowMedia>()) {
    setObjectName(QStringLiteral("SSWindow"));
    Timer.setInterval(1000); // a window timer's default, until the show loop arms it
    connect(&Timer, &QTimer::timeout, this, &TSSWindow::TimerTimer);
    CreateControls();
    CreateScreenSaver();
    FormCreate();
}

TSSWindow::~TSSWindow() {
    destroying_ = true;
    pictureLoader_.Abandon();
    Timer.stop();
    presentation_->Stop();
    // The worker paints through this window's event loop: let it reach its end before the
    // window and its controls go.
    StopTransitionAndWait(Transition, mainThread_);
    FormDestroy();
    DetachFromHostWindow(*this);
}

// The controls in the order they stack, the last on top.
void TSSWindow::CreateControls() {
    resize(kCfgBoxWidth, kCfgBoxHeight);
    displays_ = std::make_unique<TShowDisplays>(*this);

    PrImage = new QLabel(this);
    PrImage->setObjectName(QStringLiteral("PrImage"));
    PrImage->setScaledContents(true); // the preview fills the window whatever its proportions
    PrImage->setGeometry(rect());
    PrImage->hide();

    PanelDisplay = new TPanel(QStringLiteral("PanelDisplay"), this);
    PanelDisplay->setGeometry(rect());
    PanelDisplay->hide();

    CfgBox = new TOptionsPanel(this);
    CfgBox->move(0, 0);
    CfgBox->setAutoFillBackground(true);
    connect(CfgBox, &TOptionsPanel::aboutClicked, this, &TSSWindow::btnAboutClick);
    connect(CfgBox, &TOptionsPanel::websiteClicked, this, &TSSWindow::btnWebsiteClick);
    connect(CfgBox, &TOptionsPanel::closeClicked, this, &TSSWindow::btnCloseClick);
    connect(CfgBox, &TOptionsPanel::bannerClicked, this, &TSSWindow::imgBannerClick);

    presentation_ =
        std::make_unique<TPresentationControls>(*this, Timer, Sequence, Transition, Settings.Effect,
                                                [this](bool shown) { SetCursorShown(shown); });
}

void TSSWindow::CreateScreenSaver() {
    ScreenSaver = std::make_unique<TScreenSaver>(*this, Startup.Arguments);
    // The window enters the mode itself, from its creation handler.
    ScreenSaver->AutoEnable = false;
    ScreenSaver->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;
    ScreenSaver->ConfigurationBoxPanel = CfgBox;
    ScreenSaver->OnPreviewActive = [this](TScreenSaver&) { ScreenSaverPreviewActive(); };
    ScreenSaver->OnMainSaverActive = [this](TScreenSaver&) { ScreenSaverMainSaverActive(); };
    ScreenSaver->OnConfigBoxActive = [this](TScreenSaver&) { ScreenSaverConfigBoxActive(); };
    ScreenSaver->Loaded();
}

// ---------------------------------------------------------------------------------------------
// Creation and the modes

void TSSWindow::FormCreate() {
    DecideMode();
    if (ApplicationEndRequested()) return;
    // The application window's taskbar style has no counterpart here.
    const QSize screen = flags_.HackMode ? size() : MonitorBounds(0).size();
    displays_->Image32()->Bitmap().SetSize(screen.width(), screen.height());
    if (!flags_.SaverActive) {
        PrepareOptionsPanel();
        return;
    }
    flags_.DirectDraw = true;
    if (!flags_.PreviewMode) {
        CreateFullScreenShow();
        return;
    }
    // Nothing else runs in a preview: no records, no timer, no music.
    SetWindowColor(kBlackPixel);
    LoadPreviewImage();
}

void TSSWindow::DecideMode() {
    if (!IsPresentationFileName(Startup.ProgramFile)) {
        flags_.PresentationMode = false;
        const auto hack = HackTarget(Startup.Arguments, std::getenv("XSCREENSAVER_WINDOW"));
        if (hack) {
            if (!EnterHackMode(*hack)) RequestApplicationEnd(1);
            return;
        }
        ScreenSaver->RunByCommandLine();
        return;
    }
    // A plain program ignores the command line and runs the show as a presentation.
    ScreenSaver->DoMainSaverActive();
    flags_.PresentationMode = true;
    presentation_->PlaceOnScreen(MonitorBounds(0));
}

// Another screen saver runs us as one of its hacks: the full show, drawn into its window at
// that window's size. It watches the input, locks the screen and ends us with SIGTERM, so
// nothing here grabs input, hides the pointer or waits for an exit key.
bool TSSWindow::EnterHackMode(const THackTarget& target) {
    const uint32_t host = target.window.value_or(X11RootWindow());
    int width = 0, height = 0;
    if (!X11WindowSize(host, width, height) || !EmbedIntoForeignWindow(*this, host)) {
        std::fprintf(stderr, "pictorelle: there is no window 0x%x to draw into.\n", host);
        return false;
    }
    setGeometry(0, 0, width, height);
    flags_.HackMode = true;
    flags_.SaverActive = true;
    return true;
}

void TSSWindow::CreateFullScreenShow() {
    Randomize();
    auto players =
        std::make_unique<TShowPlayers>(Startup.ProgramFile, PackageData, Settings, mediaState_);
    players->AttachVideo(std::make_unique<TVideoItem>(
        *PanelDisplay, *displays_, composer_, mediaState_, PackageData, [this](bool atOnce) {
            if (atOnce)
                Timer.EnableAt(1);
            else
                ApplyTimerPlan(TickTimer(TimerState()));
        }));
    players->AttachFlash(std::make_unique<TFlashItem>(*PanelDisplay, *displays_, composer_,
                                                      mediaState_, PackageData, Settings,
                                                      [this] { Timer.EnableAt(1); }));
    media_ = std::move(players);
    if (!ReadData(false)) return;
    if (flags_.PresentationMode && !PackageData.Header.AllowStandalone) {
        // Started from a file manager, a user would otherwise see nothing happen.
        const char* why = "This show may only run as a screen saver (a copy named *.scr).";
        ShowMessage(QString::fromLatin1(why), ApplicationTitle(), TMessageIcon::Information);
        RequestApplicationEnd(1);
        return;
    }
    if (PackageData.Header.FlashControlSize > 0)
        mediaState_.FlashPlayer = CreateFlashPlayer(*PanelDisplay);
    if (!flags_.HackMode) InstallInputHook();
    flags_.SecondMonitorInUse =
        !flags_.HackMode && MonitorCount() > 1 && !Settings.DisableTwoMonitors;
    // Every monitor is covered, so that no desktop shows during the show: the others take their
    // turns with pictures, or show the background when the show keeps to the main one.
    if (!flags_.HackMode && MonitorCount() > 1) {
        std::vector<QRect> others;
        for (int i = 1; i < MonitorCount(); ++i)
            others.push_back(MonitorBounds(i));
        displays_->CreateMonitorWindows(
            others, palette().color(QPalette::Window), windowTitle(), flags_.SecondMonitorInUse,
            [this](TBitmap32& bitmap) { composer_.PaintBackground(bitmap); });
    }
    if (!Settings.Mute) media_->StartMelody();
    StartShow();
}

void TSSWindow::SetWindowColor(uint32_t pixel) {
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgba(pixel));
    setPalette(p);
    setAutoFillBackground(true);
}

void TSSWindow::ScreenSaverMainSaverActive() {
    flags_.SaverActive = true;
}

void TSSWindow::ScreenSaverPreviewActive() {
    flags_.PreviewMode = true;
    ScreenSaverMainSaverActive();
}

void TSSWindow::ScreenSaverConfigBoxActive() {
    if (!ReadData(true)) return;
    ArrangeOptionsPanel();
}

// ---------------------------------------------------------------------------------------------
// Reading the package

bool TSSWindow::ReadData(bool ConfigMode) {
    // Reading is all or nothing: whatever fails, the user gets the one fixed message.
    try {
        const FileSource file(Startup.ProgramFile);
        LocatePackage(file, PackageData);
        if (ConfigMode) LoadBannerImage(file);
        ReadPackageStrings(file, PackageData);
        BuildTranslation();
        Settings = SettingsFromPackage(PackageData.Header, PackageData.Strings);
        ReadUserSettings();
        ShowSettings();
        const QString title = QString::fromStdString(PackageData.Strings[StringId::SaverTitle]);
        SetApplicationTitle(title);
        setWindowTitle(title);

        if (!ConfigMode) ReadShowData(file);
    } catch (const std::exception&) {
        SetCursorShown(true);
        ShowMessage(QString::fromLatin1(kCorruptPackageMessage), ApplicationTitle(),
                    TMessageIcon::Error);
        RequestApplicationEnd(1);
        return false;
    }
    if (flags_.PresentationMode) ApplyPresentationOverrides(Settings);
    return true;
}

// What only the full-screen show needs: its colours, records, background, logo and melodies.
void TSSWindow::ReadShowData(const ByteSource& file) {
    SetWindowColor(ChooseStartColors(PackageData.Header));
    TempFolder();
    ReadPackageRecords(file, PackageData);
    if (std::optional<TLibraryShow> show = ReadLibraryShow(PackageData.Strings)) {
        // The show's pictures are a folder's: slot 0 of the item table holds the record each
        // of them is shown with.
        PackageData.Items.assign(1, show->Template);
        library_ = std::make_unique<TLibraryPictures>(
            std::move(*show), Settings.DisplayOrder, PackageData.Strings[StringId::SaverTitle],
            SqliteRegistry::DefaultPath(), DefaultLibraryCacheFolder());
        presentation_->OnBack = [this] { libraryBack_ = true; };
    }
    PrepareBackground();
    composer_.LoadLogo();
    if (Settings.UseCustomPlaylist) media_->LoadCustomPlaylist();
    // The user's own list is narrowed by the playlist work that loads it.
    auto& melodies = PackageData.Melodies;
    if (Settings.PlayOneRandom && !Settings.UseCustomPlaylist && melodies.size() > 1) {
        const int chosen = RandomInt(static_cast<int>(melodies.size()));
        melodies[0] = melodies[static_cast<size_t>(chosen)];
        melodies.resize(1);
        PackageData.Header.MelodyCount = 1;
    }
}

// ---------------------------------------------------------------------------------------------
// Showing, input and ending

void TSSWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TSSWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) FormHide();
}

void TSSWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    displays_->Image32()->setGeometry(rect());
    PrImage->setGeometry(rect());
}

void TSSWindow::FormShow() {
    const std::optional<QPoint> pointer = DisplaySession().PointerAtStart();
    flags_.MouseOrigin = pointer.value_or(QPoint());
    flags_.MouseOriginPending = !pointer;
}

void TSSWindow::FormHide() {
    RemoveInputHook();
}

void TSSWindow::InstallInputHook() {
    if (inputHookInstalled_) return;
    qApp->installEventFilter(this);
    inputHookInstalled_ = true;
}

void TSSWindow::RemoveInputHook() {
    if (!inputHookInstalled_) return;
    qApp->removeEventFilter(this);
    inputHookInstalled_ = false;
}

bool TSSWindow::eventFilter(QObject* watched, QEvent* event) {
    if (inputHookInstalled_) DeactivateScrSaver(watched, event);
    return false; // every event still goes where it was going
}

bool TSSWindow::DeactivateScrSaver(QObject* watched, QEvent* event) {
    if (flags_.InputSuspended) return false;
    if (flags_.MouseOriginPending && TakeMouseOrigin(watched, event)) return false;
    const std::optional<TInput> input = InputFromEvent(watched, event);
    if (!input) return false;
    if (flags_.MoviePlayerStarting && (input->Message == TInputMessage::WindowActivation ||
                                       input->Message == TInputMessage::AppActivation))
        return false;
    const TExitConditions conditions{Settings.ExitMouseMove, Settings.ExitMouseButton,
                                     Settings.ExitKeyboard, Settings.ExitESC};
    const TExitDecision d = DecideExit(conditions, flags_.PresentationMode, *input,
                                       flags_.MouseOrigin.x(), flags_.MouseOrigin.y());
    const QPoint pos(input->X, input->Y);
    if (d.PresentationMove) {
        flags_.MouseOrigin = pos;
        presentation_->PointerMoved();
    }
    if (d.PresentationClick) presentation_->LeftClick(pos);
    if (d.ShowCursor) SetCursorShown(true);
    auto& strings = PackageData.Strings;
    if (d.UseF1Link && !strings[StringId::F1LinkAddress].empty())
        strings[StringId::ExitLinkAddress] = strings[StringId::F1LinkAddress];
    if (d.SetWallpaper) SetCurrentImageAsWallpaper();
    FinishScreenSaver(d.Exit);
    return d.Exit;
}

// Where the session only tells the pointer's place with its first event (the pointer entering
// the show's surface, or its first move over it), that place is where it was when the show
// began; a first click counts from there at once.
bool TSSWindow::TakeMouseOrigin(QObject* watched, QEvent* event) {
    if (!watched->isWindowType()) return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::Enter && type != QEvent::MouseMove && type != QEvent::MouseButtonPress)
        return false;
    flags_.MouseOrigin = static_cast<QSinglePointEvent*>(event)->globalPosition().toPoint();
    flags_.MouseOriginPending = false;
    return type != QEvent::MouseButtonPress;
}

void TSSWindow::SetCurrentImageAsWallpaper() {
    if (flags_.ShownPicture < 0 || mediaState_.FlashPlaying || mediaState_.VideoPlaying) return;
    // The notice stays until the next picture paints over it; it must be on screen before the
    // desktop's tools keep this thread busy.
    TImage32* main = displays_->Image32();
    DrawWallpaperNotice(main->Bitmap());
    main->repaint();
    if (library_) {
        if (libraryShown_) media_->SetWallpaperFile(libraryShown_->file);
        return;
    }
    media_->SetWallpaper(flags_.ShownPicture);
}

void TSSWindow::Suspend() {
    flags_.InputSuspended = true;
    Timer.stop();
}

void TSSWindow::Resume() {
    Timer.Enable();
    flags_.InputSuspended = false;
}

void TSSWindow::SetCursorShown(bool shown) {
    if (shown == flags_.CursorShown) return;
    ShowCursor(shown);
    flags_.CursorShown = shown;
}

void TSSWindow::FinishScreenSaver(bool Exit) {
    if (Exit && !Transition.TransitionRunning) {
        Suspend();
        if (ScreenSaver && !ScreenSaver->VerifyPassword()) Exit = false;
        Resume();
    }
    if (!Exit) return;
    try {
        media_->StopMedia();
    } catch (const PictorelleError&) {
        return; // the next exit condition tries again
    }
    if (!Transition.TransitionRunning) {
        close();
        return;
    }
    // The transition stops early; its end calls this again, which then closes.
    Transition.StopRequested = true;
    Transition.SuppressFinalPaint = true;
}

} // namespace pictorelle

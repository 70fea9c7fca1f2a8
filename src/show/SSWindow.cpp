#include "show/SSWindow.h"

#include "core/Color.h"
#include "core/Random.h"
#include "host/CommandLine.h"
#include "package/CodePage.h"
#include "package/ExtractEntry.h"
#include "package/TempFolder.h"
#include "package/Translation.h"
#include "platform/Application.h"
#include "platform/Cursor.h"
#include "platform/Embed.h"
#include "platform/MessageBox.h"
#include "platform/Monitors.h"
#include "platform/OpenAddress.h"
#include "platform/SafeAddress.h"
#include "platform/store/SqliteRegistry.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"
#include "show/OptionsPanel.h"
#include "show/Panel.h"
#include "windows/AboutWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <cstdio>
#include <optional>

namespace pictorelle {
namespace {

constexpr uint32_t kBlackPixel = 0xFF000000u;

// The key codes the exit rules know; any other key only counts as "a key".
int KeyCode(int qtKey) {
    if (qtKey == Qt::Key_Escape) return kKeyEscape;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return kKeyF1 + (qtKey - Qt::Key_F1);
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    return 0;
}

// Turns an event into the input message the exit rules read. Input events reach the native
// window of a widget before the widget itself, so taking them there sees each one once.
std::optional<TInput> InputFromEvent(QObject* watched, QEvent* event) {
    TInput input;
    switch (event->type()) {
    case QEvent::MouseMove: {
        if (!watched->isWindowType()) return std::nullopt;
        const QPoint pos = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        input.Message = TInputMessage::MouseMove;
        input.X = pos.x();
        input.Y = pos.y();
        return input;
    }
    case QEvent::MouseButtonPress: {
        if (!watched->isWindowType()) return std::nullopt;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->globalPosition().toPoint();
        input.X = pos.x();
        input.Y = pos.y();
        switch (mouse->button()) {
        case Qt::LeftButton:
            input.Message = TInputMessage::LeftButtonDown;
            break;
        case Qt::RightButton:
            input.Message = TInputMessage::RightButtonDown;
            break;
        case Qt::MiddleButton:
            input.Message = TInputMessage::MiddleButtonDown;
            break;
        default:
            input.Message = TInputMessage::Other;
        }
        return input;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (!watched->isWindowType()) return std::nullopt;
        const auto* key = static_cast<QKeyEvent*>(event);
        // Keys pressed with Alt, and F10, are the "system" keys.
        const bool system = (key->modifiers() & Qt::AltModifier) || key->key() == Qt::Key_Alt ||
                            key->key() == Qt::Key_F10;
        const bool down = event->type() == QEvent::KeyPress;
        input.Message = system ? (down ? TInputMessage::SysKeyDown : TInputMessage::SysKeyUp)
                               : (down ? TInputMessage::KeyDown : TInputMessage::KeyUp);
        input.Key = KeyCode(key->key());
        return input;
    }
    case QEvent::WindowDeactivate:
        // Only a change that takes the activation away from all of our windows counts: our
        // own windows appearing must not end the show.
        if (!watched->isWidgetType() || !static_cast<QWidget*>(watched)->isWindow() ||
            QApplication::activeWindow() != nullptr)
            return std::nullopt;
        input.Message = TInputMessage::WindowActivation;
        return input;
    case QEvent::ApplicationStateChange:
        if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() ==
            Qt::ApplicationActive)
            return std::nullopt;
        input.Message = TInputMessage::AppActivation;
        return input;
    default:
        return std::nullopt;
    }
}

} // namespace

TSSWindow::TSSWindow(TStartup startup) : QWidget(nullptr), Startup(std::move(startup)) {
    setObjectName(QStringLiteral("SSWindow"));
    Timer.setInterval(1000); // a window timer's default, until the show loop arms it
    connect(&Timer, &QTimer::timeout, this, &TSSWindow::TimerTimer);
    connect(&PresPanelHideTimer, &QTimer::timeout, this, &TSSWindow::PresPanelHideTimerTimer);
    CreateControls();
    CreateScreenSaver();
    FormCreate();
}

TSSWindow::~TSSWindow() {
    destroying_ = true;
    Timer.stop();
    PresPanelHideTimer.stop();
    // The worker paints through this window's event loop: let it reach its end before the
    // window and its controls go.
    StopTransition();
    FormDestroy();
    DetachFromHostWindow(*this);
}

void TSSWindow::CreateControls() {
    resize(kCfgBoxWidth, kCfgBoxHeight);
    Image32 = new TImage32(this);
    Image32->setGeometry(rect());
    mainTarget_ = std::make_unique<TImage32Target>(Image32);

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

    PresPanel = new TPanel(QStringLiteral("PresPanel"), this);
    PresPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PresPanel->resize(kPresPanelWidth, kPresPanelHeight);
    PresPanel->hide();
    CreatePresentationPanel();
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
// Creation

void TSSWindow::FormCreate() {
    DecideMode();
    if (ApplicationEndRequested()) return;
    // The application window's taskbar style has no counterpart here.
    const QRect screen = MonitorBounds(0);
    Image32->Bitmap().SetSize(screen.width(), screen.height());
    if (SaverActive) {
        DirectDraw = true;
        if (PreviewMode) {
            // Nothing else runs in a preview: no records, no timer, no music.
            SetWindowColor(kBlackPixel);
            LoadPreviewImage();
        } else {
            CreateFullScreenShow();
        }
    } else {
        PrepareOptionsPanel();
    }
}

void TSSWindow::DecideMode() {
    if (!IsPresentationFileName(Startup.ProgramFile)) {
        PresentationMode = false;
        ScreenSaver->RunByCommandLine();
        return;
    }
    // A plain program ignores the command line and runs the show as a presentation.
    ScreenSaver->DoMainSaverActive();
    PresentationMode = true;
    const QRect screen = MonitorBounds(0);
    PresPanel->move((screen.width() - PresPanel->width()) / 2,
                    screen.height() - PresPanel->height() - 20);
}

void TSSWindow::CreateFullScreenShow() {
    Randomize();
    if (!ReadData(false)) return;
    if (PresentationMode && !PackageData.Header.AllowStandalone) {
        std::fprintf(stderr, "This show may only run as a screen saver (a copy named *.scr).\n");
        RequestApplicationEnd(1);
        return;
    }
    if (PackageData.Header.FlashControlSize > 0) FlashPlayer = CreateFlashPlayer(*PanelDisplay);
    InstallInputHook();
    SecondMonitorInUse = MonitorCount() > 1 && !Settings.DisableTwoMonitors;
    if (SecondMonitorInUse) CreateSecondMonitorWindow();
    if (!Settings.Mute) StartMelody();
    StartShow();
}

void TSSWindow::CreateSecondMonitorWindow() {
    SecondMonitorWindow =
        std::make_unique<TMonitorWindow>(MonitorBounds(1), palette().color(QPalette::Window));
    SecondMonitorWindow->setWindowTitle(windowTitle());
    SecondMonitorWindow->show();
    secondTarget_ = std::make_unique<TImage32Target>(SecondMonitorWindow->Image());
}

void TSSWindow::SetWindowColor(uint32_t pixel) {
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgba(pixel));
    setPalette(p);
    setAutoFillBackground(true);
}

// ---------------------------------------------------------------------------------------------
// The host component's mode events

void TSSWindow::ScreenSaverMainSaverActive() {
    SaverActive = true;
}

void TSSWindow::ScreenSaverPreviewActive() {
    PreviewMode = true;
    ScreenSaverMainSaverActive();
}

void TSSWindow::ScreenSaverConfigBoxActive() {
    if (!ReadData(true)) return;
    ArrangeOptionsPanel();
}

// ---------------------------------------------------------------------------------------------
// Reading the package

bool TSSWindow::ReadData(bool ConfigMode) {
    try {
        const FileSource file(Startup.ProgramFile);
        LocatePackage(file, PackageData);
        if (ConfigMode) LoadBannerImage(file);
        ReadPackageStrings(file, PackageData);
        BuildTranslation();
        Settings = SettingsFromPackage(PackageData.Header, PackageData.Strings);
        ReadUserSettings();
        ShowSettings();
        const QString title =
            QString::fromStdString(Cp1252ToUtf8(PackageData.Strings[StringId::SaverTitle]));
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
    if (PresentationMode) ApplyPresentationOverrides(Settings);
    return true;
}

// What only the full-screen show needs: its colours, records, background, logo and melodies.
void TSSWindow::ReadShowData(const ByteSource& file) {
    PackageHeader& h = PackageData.Header;
    uint32_t color = ColorToPixel(h.BackColor);
    if (h.RandomColors) {
        const TColor c = RandomInt(256) | RandomInt(256) << 8 | RandomInt(256) << 16;
        h.BackColor = c;
        h.BackColor2 = RandomInt(256) | RandomInt(256) << 8 | RandomInt(256) << 16;
        color = ColorToPixel(c);
    }
    if (h.RandomGradient) h.GradientStyle = 1 + RandomInt(8);
    SetWindowColor(color);
    TempFolder();
    ReadPackageRecords(file, PackageData);
    PrepareBackground(file);
    LoadLogo();
    if (Settings.UseCustomPlaylist) LoadCustomPlaylist();
    // The user's own list is narrowed by the playlist work that loads it.
    auto& melodies = PackageData.Melodies;
    if (Settings.PlayOneRandom && !Settings.UseCustomPlaylist && melodies.size() > 1) {
        const int chosen = RandomInt(static_cast<int>(melodies.size()));
        melodies[0] = melodies[static_cast<size_t>(chosen)];
        melodies.resize(1);
        h.MelodyCount = 1;
    }
    CurrentMelody = 0;
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
    Image32->setGeometry(rect());
    PrImage->setGeometry(rect());
}

void TSSWindow::FormShow() {
    MouseOrigin = CursorPos();
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
    if (InputSuspended) return false;
    const std::optional<TInput> input = InputFromEvent(watched, event);
    if (!input) return false;
    const TExitConditions conditions{Settings.ExitMouseMove, Settings.ExitMouseButton,
                                     Settings.ExitKeyboard, Settings.ExitESC};
    const TExitDecision d =
        DecideExit(conditions, PresentationMode, *input, MouseOrigin.x(), MouseOrigin.y());
    const QPoint pos(input->X, input->Y);
    if (d.PresentationMove) PresentationMouseMove(pos);
    if (d.PresentationClick) PresentationLeftClick(pos);
    if (d.ShowCursor) SetCursorShown(true);
    if (d.UseF1Link && !PackageData.Strings[StringId::F1LinkAddress].empty())
        PackageData.Strings[StringId::ExitLinkAddress] =
            PackageData.Strings[StringId::F1LinkAddress];
    if (d.SetWallpaper) SetWallpaper();
    FinishScreenSaver(d.Exit);
    return d.Exit;
}

void TSSWindow::Suspend() {
    InputSuspended = true;
    Timer.stop();
}

void TSSWindow::Resume() {
    EnableTimer();
    InputSuspended = false;
}

void TSSWindow::SetCursorShown(bool shown) {
    if (shown == CursorShown) return;
    ShowCursor(shown);
    CursorShown = shown;
}

void TSSWindow::FinishScreenSaver(bool Exit) {
    if (Exit && !Transition.TransitionRunning) {
        Suspend();
        if (ScreenSaver && !ScreenSaver->VerifyPassword()) Exit = false;
        Resume();
    }
    if (!Exit) return;
    try {
        StopMedia();
    } catch (const std::exception&) {
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

// ---------------------------------------------------------------------------------------------
// Closing

void TSSWindow::closeEvent(QCloseEvent* event) {
    if (closeHandlerAttached_) FormClose();
    event->accept();
    // Closing the last window ends the program once nothing else (a modal exit banner) is
    // open. A preview lives inside another program's window, which the framework does not
    // count as one of ours, so it ends the program itself.
    if (PreviewMode) RequestApplicationEnd(0);
}

TCloseSituation TSSWindow::CloseSituation() const {
    TCloseSituation s;
    s.SaverActive = SaverActive;
    s.PreviewMode = PreviewMode;
    s.CurrentMelodyExtracted = !Settings.UseCustomPlaylist && CurrentMelody >= 0 &&
                               CurrentMelody < static_cast<int>(PackageData.Melodies.size());
    s.HasExitAddress = !PackageData.Strings[StringId::ExitLinkAddress].empty();
    s.HasExitBanner = PackageData.Header.ExitBannerStoredSize > 0;
    s.TransitionRunning = Transition.TransitionRunning;
    return s;
}

void TSSWindow::FormClose() {
    for (TCloseStep step : ClosePlan(CloseSituation()))
        RunCloseStep(step);
}

void TSSWindow::RunCloseStep(TCloseStep step) {
    switch (step) {
    case TCloseStep::DetachCloseHandler:
        closeHandlerAttached_ = false;
        break;
    case TCloseStep::StopShow:
        Transition.StopRequested = true;
        Timer.stop();
        PresPanelHideTimer.stop();
        break;
    case TCloseStep::HideWindow:
        hide();
        break;
    case TCloseStep::ShowCursor:
        SetCursorShown(true);
        break;
    case TCloseStep::DeleteDataFile:
        try {
            std::remove(TempFilePath("SSDATA.DAT").c_str());
        } catch (const std::exception&) {
        }
        break;
    case TCloseStep::DestroyHost:
        ScreenSaver.reset();
        break;
    case TCloseStep::DeleteMelodyFile:
        try {
            const auto& melody = PackageData.Melodies[static_cast<size_t>(CurrentMelody)];
            std::remove(TempFilePath("SSSND", melody.Ext).c_str());
        } catch (const std::exception&) {
        }
        break;
    case TCloseStep::OpenExitAddress:
        OpenAddress(PackageData.Strings[StringId::ExitLinkAddress]);
        break;
    case TCloseStep::WriteSettings:
        WriteSettings();
        break;
    case TCloseStep::FreeShowObjects:
        try {
            FreeShowObjects();
            // The input that ended the show may still be on its way to this window.
            if (SecondMonitorWindow) {
                SecondMonitorWindow->hide();
                SecondMonitorWindow.release()->deleteLater();
            }
            PackageData.Items.clear();
        } catch (const std::exception&) {
        }
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

// ---------------------------------------------------------------------------------------------
// Steps that later work fills in, each called where its step belongs

// The banner section is a picture file of its own; it is shown when the panel is arranged.
// Any failure leaves the banner empty.
void TSSWindow::LoadBannerImage(const ByteSource&) {
    const PackageHeader& h = PackageData.Header;
    if (h.BannerSize <= 0) return;
    try {
        const std::string path = TempFilePath("SSIMGkk.BMP");
        ExtractEntry(Startup.ProgramFile, path, false, PackageData.SectionStart(SectionId::Banner),
                     h.BannerSize, h.BannerSize);
        banner_ = QImage(QString::fromStdString(path));
        std::remove(path.c_str());
    } catch (const std::exception&) {
        banner_ = QImage();
    }
}

void TSSWindow::BuildTranslation() {
    BuildTranslationTable(PackageData.Strings[StringId::InterfaceTexts], "Screen Saver");
    CfgBox->RenameFormControls();
}

// A store that cannot be opened keeps the package's defaults; a value of the wrong type in it
// fails the read like a broken package.
void TSSWindow::ReadUserSettings() {
    std::unique_ptr<SqliteRegistry> store;
    try {
        store = std::make_unique<SqliteRegistry>(SqliteRegistry::DefaultPath());
    } catch (const RegistryError& e) {
        std::fprintf(stderr, "Using the show's own settings: %s\n", e.what());
        return;
    }
    ReadSaverSettings(*store, PackageData.Strings[StringId::SaverTitle], Settings);
}

void TSSWindow::ShowSettings() {
    CfgBox->ShowSettings(Settings);
    // A stored time of 0 must not make the slide timer spin.
    Timer.setInterval(std::max(Settings.Seconds, 1) * 1000);
    CfgBox->SetWebsiteVisible(!PackageData.Strings[StringId::WebsiteAddress].empty());
}

void TSSWindow::ArrangeOptionsPanel() {
    CfgBox->ShowBanner(banner_, !PackageData.Strings[StringId::BannerLinkAddress].empty());
    CfgBox->PanelWebBanner->show();
    CfgBox->Panel3->show();
    CfgBox->ConfigControlsPanel->show();
    setFixedSize(CfgBox->size());
    const QRect screen = MonitorBounds(0);
    move(screen.left() + (screen.width() - width()) / 2,
         screen.top() + (screen.height() - height()) / 2);
}

void TSSWindow::PrepareOptionsPanel() {
    CfgBox->ApplyPackageRules(PackageData.Header, PackageData.Header.MelodyCount, MonitorCount());
    CfgBox->StartEffectPreview();
}

// Saving must not lose the user's other settings: a failed save leaves the stored ones as
// they were and says so.
void TSSWindow::WriteSettings() {
    try {
        SqliteRegistry store(SqliteRegistry::DefaultPath());
        WriteSaverSettings(store, PackageData.Strings[StringId::SaverTitle],
                           CfgBox->CollectSettings(Settings));
    } catch (const RegistryError& e) {
        std::fprintf(stderr, "Your settings could not be saved: %s\n", e.what());
    }
}

void TSSWindow::btnAboutClick() {
    TAboutWindow about(
        PackageData.Strings, [](const QString& address) { OpenAddress(address.toStdString()); },
        this);
    about.exec();
}

// An address without a scheme is completed once, so the About link opens the completed
// address too; addresses of other schemes are refused by the opener.
void TSSWindow::btnWebsiteClick() {
    std::string& address = PackageData.Strings[StringId::WebsiteAddress];
    if (const auto completed = SafeAddress(address)) address = *completed;
    OpenAddress(address);
}

void TSSWindow::btnCloseClick() {
    close();
}

void TSSWindow::imgBannerClick() {
    const std::string& address = PackageData.Strings[StringId::BannerLinkAddress];
    if (!address.empty()) OpenAddress(address);
}

// Sound: loads the user's own playlist (and narrows it for PlayOneRandom).
void TSSWindow::LoadCustomPlaylist() {}
// Sound: starts the first (or a random) melody.
void TSSWindow::StartMelody() {}
// Wallpaper: makes the picture on screen the desktop wallpaper (F2).
void TSSWindow::SetWallpaper() {}

// Exit banner: shows the package's exit banner window, at most once per run. The window itself
// comes with the exit banner's work; the flag already keeps the two callers (the close and
// the end of a stopped transition) from asking twice.
void TSSWindow::DisplayExitBanner() {
    if (ExitBannerShown || PackageData.Header.ExitBannerStoredSize <= 0) return;
    ExitBannerShown = true;
}

} // namespace pictorelle

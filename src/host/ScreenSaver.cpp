#include "host/ScreenSaver.h"

#include "core/IntMath.h"
#include "host/CommandLine.h"
#include "platform/Application.h"
#include "platform/Cursor.h"
#include "platform/Embed.h"
#include "platform/MessageBox.h"
#include "platform/Monitors.h"
#include "platform/Session.h"
#include "show/Panel.h"

#include <QWidget>

namespace pictorelle {
namespace {

const char* const kDefaultConfigurationBoxMessage =
    "This screen saver has no settings of its own.\n\nPictorelle slide-show player.";

// Scales the positions and sizes of the widget's direct children by num / den, the way the
// preview shrinks the whole window into its small frame.
void ScaleChildren(QWidget& owner, int num, int den) {
    if (den <= 0) return;
    for (QWidget* child : owner.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect g = child->geometry();
        child->setGeometry(MulDiv(g.left(), num, den), MulDiv(g.top(), num, den),
                           MulDiv(g.width(), num, den), MulDiv(g.height(), num, den));
    }
}

} // namespace

TScreenSaver::TScreenSaver(QWidget& owner, std::vector<std::string> arguments)
    : ConfigurationBoxMessage(QString::fromUtf8(kDefaultConfigurationBoxMessage)), owner_(owner),
      arguments_(std::move(arguments)) {}

TScreenSaver::~TScreenSaver() {
    UnhookOwnerWindow();
    // Re-enabling "Display Properties" and clearing the screen-saver-running flag have no
    // counterpart on this platform.
    while (cursorHides_ > 0)
        ShowCursorOnce();
}

char TScreenSaver::Letter() const {
    return ModeLetter(arguments_);
}

void TScreenSaver::Raise(const TNotifyEvent& event) {
    if (event) event(*this);
}

void TScreenSaver::Loaded() {
    const auto panels = owner_.findChildren<QWidget*>();
    if (!ConfigurationBoxPanel || !panels.contains(ConfigurationBoxPanel)) {
        ConfigurationBoxStyle = TConfigBoxStyle::cbsMessageDlg;
        ConfigurationBoxPanel = nullptr;
    } else if (AutoPanelHide) {
        ConfigurationBoxPanel->hide();
    }
    if (AutoEnable) RunByCommandLine();
}

void TScreenSaver::RunByCommandLine() {
    switch (ModeForLetter(Letter())) {
    case TSaverMode::Preview:
        DoPreviewActive();
        break;
    case TSaverMode::MainSaver:
        DoMainSaverActive();
        break;
    case TSaverMode::PasswordSet:
        DoPasswordSet();
        break;
    case TSaverMode::ConfigBox:
        DoConfigBoxActive();
        break;
    }
}

void TScreenSaver::DoPreviewActive() {
    Raise(OnBeforePreviewActive);
    if (PreviewWindow) {
        // Hiding the application's own taskbar window has no counterpart here.
        const std::optional<uint32_t> host = HostWindowArgument(arguments_);
        // A host that is missing, malformed or gone leaves the window as it is.
        if (host && EmbedIntoForeignWindow(owner_, *host)) {
            if (AutoMaximize) owner_.resize(MonitorBounds(0).size());
            ScaleChildren(owner_, kPreviewWidth, owner_.width());
            owner_.setGeometry(0, 0, kPreviewWidth, kPreviewHeight);
        }
    }
    Raise(OnPreviewActive);
}

void TScreenSaver::DoMainSaverActive() {
    Raise(OnBeforeMainSaverActive);
    if (MainScreenSaver) {
        if (AutoMouseHide) HideCursorOnce();
        if (AutoMaximize) {
            DisplaySession().CoverMonitor(owner_, MonitorBounds(0));
            DisplaySession().HoldInput(owner_);
        }
        if (AutoBorderLess) owner_.setWindowFlag(Qt::FramelessWindowHint, true);
        if (AutoOnTop) owner_.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    HookOwnerWindow();
    Raise(OnMainSaverActive);
}

void TScreenSaver::DoConfigBoxActive() {
    Raise(OnBeforeConfigBoxActive);
    if (ConfigurationBox) {
        if (ConfigurationBoxStyle == TConfigBoxStyle::cbsPanel && ConfigurationBoxPanel)
            ShowPanelAsConfigBox();
        else
            ShowMessageAsConfigBox();
    }
    Raise(OnConfigBoxActive);
}

void TScreenSaver::ShowPanelAsConfigBox() {
    QWidget& panel = *ConfigurationBoxPanel;
    // The options panel shows again whichever of its own panels it needs.
    for (TPanel* other : owner_.findChildren<TPanel*>())
        if (other->objectName() != panel.objectName()) other->hide();
    panel.show();
    panel.move(0, 0);
    panel.raise();
    owner_.setWindowState(Qt::WindowNoState);
    // A dialog border: a title and a close button, and a size the user cannot change.
    owner_.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint);
    owner_.setFixedSize(panel.size());
    const QRect screen = MonitorBounds(0);
    owner_.move(screen.left() + (screen.width() - panel.width()) / 2,
                screen.top() + (screen.height() - panel.height()) / 2);
}

void TScreenSaver::ShowMessageAsConfigBox() {
    owner_.setWindowState(Qt::WindowNoState);
    owner_.move(-owner_.width() - 100, owner_.y());
    ShowMessage(ConfigurationBoxMessage, ApplicationTitle(), TMessageIcon::Information);
    Raise(OnConfigBoxActive);
    RequestApplicationEnd(0);
}

void TScreenSaver::DoPasswordSet() {
    Raise(OnBeforePasswordSet);
    // The system's password dialog does not exist on this platform; the mode only ends.
    Raise(OnPasswordSet);
    if (PasswordSetting) RequestApplicationEnd(0);
}

bool TScreenSaver::VerifyPassword() {
    if (AutoMouseHide && cursorHides_ > 0) ShowCursorOnce();
    // Screen-saver passwords are the session locker's business on this platform: the show
    // may always close.
    return true;
}

void TScreenSaver::HookOwnerWindow() {
    // A running show refuses to let a second screen saver start: here, the session's own
    // blanking and locking.
    if (hooked_) return;
    DisplaySession().InhibitIdle(owner_, true);
    hooked_ = true;
}

void TScreenSaver::UnhookOwnerWindow() {
    if (!hooked_) return;
    DisplaySession().InhibitIdle(owner_, false);
    hooked_ = false;
}

void TScreenSaver::HideCursorOnce() {
    ShowCursor(false);
    ++cursorHides_;
}

void TScreenSaver::ShowCursorOnce() {
    ShowCursor(true);
    --cursorHides_;
}

} // namespace pictorelle

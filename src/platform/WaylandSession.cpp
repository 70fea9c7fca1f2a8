// The Wayland session. A client can neither place its windows nor grab input nor read the
// pointer's position: a show window asks the compositor for the full-screen state on its
// monitor's output (which also keeps bars and other windows off it), gets the keyboard by
// being activated, and learns where the pointer is from the first pointer event it receives.
// The desktop's copy comes from the compositor where it hands one to ordinary clients.
#include "platform/Cursor.h"
#include "platform/IdleInhibit.h"
#include "platform/Monitors.h"
#include "platform/ScreenCopy.h"
#include "platform/Session.h"

#include <QBitmap>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace pictorelle {
namespace {

QScreen* ScreenOf(const QRect& monitor) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->geometry() == monitor) return screen;
    return QGuiApplication::screenAt(monitor.center());
}

// Activates a window each time it is shown: the compositor gives new windows the keyboard as
// it sees fit, and a show must have it from its first picture.
class ActivateOnShow : public QObject {
public:
    explicit ActivateOnShow(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show)
            QTimer::singleShot(0, &window_, [w = &window_] {
                w->raise();
                w->activateWindow();
            });
        return false;
    }

private:
    QWidget& window_;
};

// Hides the pointer again each time it enters a show window. A client may only set the
// pointer's image with the serial of the pointer's entry into one of its surfaces, and Qt sends
// nothing on entry when the shape has not changed since it last set one: a blank pointer chosen
// before the pointer first entered never reaches the compositor, which keeps drawing its own
// arrow. Going through another blank shape makes Qt send it again; neither is ever visible.
class HideCursorOnEnter : public QObject {
public:
    explicit HideCursorOnEnter(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Enter && CursorShowCount() < 0 &&
            QGuiApplication::overrideCursor()) {
            QBitmap empty(16, 16);
            empty.clear();
            QGuiApplication::changeOverrideCursor(QCursor(empty, empty));
            QGuiApplication::changeOverrideCursor(QCursor(Qt::BlankCursor));
        }
        return false;
    }

private:
    QWidget& window_;
};

class WaylandSession final : public TDisplaySession {
public:
    void CoverMonitor(QWidget& window, const QRect& monitor) override {
        window.setWindowFlag(Qt::FramelessWindowHint, true);
        window.setGeometry(monitor);
        if (QScreen* screen = ScreenOf(monitor)) window.setScreen(screen);
        window.setWindowState(window.windowState() | Qt::WindowFullScreen);
        new HideCursorOnEnter(window);
    }

    void HoldInput(QWidget& window) override { new ActivateOnShow(window); }

    std::optional<QPoint> PointerAtStart() const override { return std::nullopt; }

    void InhibitIdle(QWidget& window, bool inhibit) override {
        if (!inhibit) {
            if (idle_) idle_->Release();
            return;
        }
        if (!idle_) idle_ = std::make_unique<TIdleInhibitor>();
        idle_->Hold(window);
    }

    void CaptureDesktop(TBitmap32& surface) override {
        QScreen* screen = MonitorScreen(0);
        const TScreenCopyResult result =
            screen ? CopyWaylandOutput(*screen, surface) : TScreenCopyResult::Unsupported;
        if (result == TScreenCopyResult::Copied || toldNoCopy_) return;
        toldNoCopy_ = true;
        std::fprintf(stderr, result == TScreenCopyResult::Unsupported
                                 ? "pictorelle: this desktop gives no copy of its screen to other "
                                   "programs; the show starts from its own background instead.\n"
                                 : "pictorelle: the desktop did not hand over a copy of its "
                                   "screen; the show starts from its own background instead.\n");
    }

    void PlaceCentred(QWidget& window, const QRect& geometry, const QRect& monitor) override {
        // A window of fixed size floats, and compositors centre floating windows on the
        // output they appear on; the geometry is the same request on compositors that honour
        // it.
        window.setWindowFlag(Qt::FramelessWindowHint, true);
        window.setFixedSize(geometry.size());
        window.setGeometry(geometry);
        if (QScreen* screen = ScreenOf(monitor)) window.setScreen(screen);
    }

    void SetBareWallpaper(const std::string& file, TWallpaperStyle style) override {
        SetWlrootsWallpaper(file, style);
    }

private:
    std::unique_ptr<TIdleInhibitor> idle_;
    bool toldNoCopy_ = false;
};

} // namespace

std::unique_ptr<TDisplaySession> MakeWaylandSession() {
    return std::make_unique<WaylandSession>();
}

} // namespace pictorelle

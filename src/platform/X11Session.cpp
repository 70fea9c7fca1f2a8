// The X11 session: the show window bypasses the window manager at the monitor's geometry and
// grabs keyboard and pointer, the X screen saver is suspended, and the root window is both the
// desktop's copy and the bare wallpaper.
#include "platform/Cursor.h"
#include "platform/Desktop.h"
#include "platform/ScreenCover.h"
#include "platform/Session.h"
#include "platform/X11.h"

#include <QWidget>

namespace pictorelle {
namespace {

class X11Session final : public TDisplaySession {
public:
    void CoverMonitor(QWidget& window, const QRect& monitor) override {
        CoverScreen(window, monitor);
    }
    void HoldInput(QWidget& window) override { new InputGrab(window); }
    std::optional<QPoint> PointerAtStart() const override { return CursorPos(); }
    void InhibitIdle(QWidget&, bool inhibit) override { SuspendSystemScreenSaver(inhibit); }
    void CaptureDesktop(TBitmap32& surface) override { CaptureScreen(surface); }
    void PlaceCentred(QWidget& window, const QRect& geometry, const QRect&) override {
        window.setGeometry(geometry);
    }
    void SetBareWallpaper(const std::string& file, TWallpaperStyle style) override {
        SetRootWindowWallpaper(file, style);
    }
};

} // namespace

std::unique_ptr<TDisplaySession> MakeX11Session() {
    return std::make_unique<X11Session>();
}

} // namespace pictorelle

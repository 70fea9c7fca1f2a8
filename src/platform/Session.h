// Everything the show does differently on X11 and on Wayland, behind one interface: covering a
// monitor, holding the input, where the pointer starts, keeping the desktop from blanking, the
// copy of the desktop, placing the exit banner and the wallpaper of a bare session. The
// implementation follows the platform Qt runs on and is chosen once, the first time it is
// asked for, after the application exists; the windows never ask which one they got.
#pragma once

#include "core/Bitmap32.h"
#include "platform/Wallpaper.h"

#include <QPoint>
#include <QRect>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace pictorelle {

class TDisplaySession {
public:
    virtual ~TDisplaySession() = default;

    // Makes a top-level widget cover the whole of the monitor with these bounds, without
    // decoration. Call before the widget is shown.
    virtual void CoverMonitor(QWidget& window, const QRect& monitor) = 0;

    // Makes every key and pointer event reach the window while it is shown, whatever had the
    // focus before.
    virtual void HoldInput(QWidget& window) = 0;

    // Where the pointer is as the show appears, in screen pixels; nothing when the session
    // only tells a client where the pointer is with the first pointer event it sends.
    virtual std::optional<QPoint> PointerAtStart() const = 0;

    // Keeps the desktop from blanking or locking while the window is shown. Calls pair up;
    // whatever is held is also let go when the process ends.
    virtual void InhibitIdle(QWidget& window, bool inhibit) = 0;

    // Copies the primary monitor's pixels onto surface at (0, 0), fully opaque and clipped to
    // the surface; leaves it as it was where the desktop cannot be read.
    virtual void CaptureDesktop(TBitmap32& surface) = 0;

    // Shows a small borderless top-level window with the given size centred on the monitor.
    virtual void PlaceCentred(QWidget& window, const QRect& geometry, const QRect& monitor) = 0;

    // Sets the wallpaper where no desktop we know runs. Says on standard error when it cannot.
    virtual void SetBareWallpaper(const std::string& file, TWallpaperStyle style) = 0;
};

TDisplaySession& DisplaySession();

// For the session kinds themselves; DisplaySession() picks one.
std::unique_ptr<TDisplaySession> MakeX11Session();
std::unique_ptr<TDisplaySession> MakeWaylandSession();

} // namespace pictorelle

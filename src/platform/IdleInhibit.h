// Keeping a Wayland desktop from blanking or locking while the show runs. Where the compositor
// offers the idle-inhibit protocol (wlroots compositors, KDE, GNOME), the show's visible surface
// carries an inhibitor: the compositor itself drops it with the surface or the connection, so
// no way out can leave it behind. Elsewhere the freedesktop screen-saver service on the session
// bus is asked instead (also where PICTORELLE_IDLE_INHIBIT=bus says so), once the window shows,
// and told again when the show ends; the bus forgets a cookie whose owner has gone.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>

struct wl_surface;
struct zwp_idle_inhibit_manager_v1;
struct zwp_idle_inhibitor_v1;

namespace pictorelle {

class TIdleInhibitor : public QObject {
    Q_OBJECT
public:
    TIdleInhibitor();
    ~TIdleInhibitor() override;

    // Inhibits idle while window is shown, until Release.
    void Hold(QWidget& window);
    void Release();

    // Whether an inhibitor is held now, through either way.
    bool Holding() const { return inhibitor_ != nullptr || cookie_ != 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AskBus();
    void AttachToSurface();
    void DetachFromSurface();

    zwp_idle_inhibit_manager_v1* manager_ = nullptr;
    zwp_idle_inhibitor_v1* inhibitor_ = nullptr;
    QPointer<QWidget> window_;
    uint32_t cookie_ = 0;
    bool holding_ = false;
    bool busAsked_ = false;
};

} // namespace pictorelle

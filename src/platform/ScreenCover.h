// Covering a screen on X11. A full-screen request is only a hint that a missing or busy window
// manager may ignore, so a show window sets its geometry to the screen itself and bypasses the
// window manager, as X screen savers do. The main show window also grabs keyboard and pointer
// while it is shown, so that every key and move reaches it whatever had the focus before.
#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>

class QWidget;

namespace pictorelle {

// Places a top-level widget over the given rectangle, outside the window manager's control.
// Call before the widget is shown.
void CoverScreen(QWidget& widget, const QRect& screen);

// Holds the keyboard and pointer grab for a widget while it is visible. A grab can fail for a
// moment (the window is not mapped yet, another client still holds one), so it is retried
// until it holds.
class InputGrab : public QObject {
    Q_OBJECT
public:
    explicit InputGrab(QWidget& widget);
    ~InputGrab() override;

    bool Holding() const { return keyboard_ && pointer_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void TryGrab();
    void Release();

    QWidget& widget_;
    QTimer retry_;
    int attempts_ = 0;
    bool keyboard_ = false;
    bool pointer_ = false;
};

} // namespace pictorelle

#include "platform/ScreenCover.h"

#include "platform/X11.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace pictorelle {
namespace {

// Retried every 50 ms for up to 10 s: long enough for a slow server or a menu that holds a
// grab, short enough not to keep trying for the whole show.
constexpr int kRetryMs = 50;
constexpr int kMaxAttempts = 200;

} // namespace

void CoverScreen(QWidget& widget, const QRect& screen) {
    widget.setWindowFlag(Qt::X11BypassWindowManagerHint, true);
    widget.setGeometry(screen);
}

InputGrab::InputGrab(QWidget& widget) : QObject(&widget), widget_(widget) {
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &InputGrab::TryGrab);
    widget_.installEventFilter(this);
    if (widget_.isVisible()) TryGrab();
}

InputGrab::~InputGrab() {
    Release();
}

bool InputGrab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &widget_) {
        if (event->type() == QEvent::Show) {
            attempts_ = 0;
            retry_.start();
        } else if (event->type() == QEvent::Hide) {
            Release();
        }
    }
    return false;
}

void InputGrab::TryGrab() {
    QWindow* window = widget_.windowHandle();
    if (!RunningOnX11() || !window || !widget_.isVisible() || ++attempts_ > kMaxAttempts) {
        retry_.stop();
        return;
    }
    if (!keyboard_) keyboard_ = window->setKeyboardGrabEnabled(true);
    if (!pointer_) pointer_ = window->setMouseGrabEnabled(true);
    if (Holding()) retry_.stop();
}

void InputGrab::Release() {
    retry_.stop();
    QWindow* window = widget_.windowHandle();
    if (window && keyboard_) window->setKeyboardGrabEnabled(false);
    if (window && pointer_) window->setMouseGrabEnabled(false);
    keyboard_ = pointer_ = false;
}

} // namespace pictorelle

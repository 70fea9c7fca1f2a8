#include "show/InputEvents.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace pictorelle {
namespace {

// The key codes the exit rules know; any other key only counts as "a key".
int KeyCode(int qtKey) {
    if (qtKey == Qt::Key_Escape) return kKeyEscape;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return kKeyF1 + (qtKey - Qt::Key_F1);
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    return 0;
}

} // namespace

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

} // namespace pictorelle

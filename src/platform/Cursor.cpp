#include "platform/Cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace pictorelle {
namespace {

int gShowCount = 0;

} // namespace

int ShowCursor(bool show) {
    const bool wasVisible = gShowCount >= 0;
    gShowCount += show ? 1 : -1;
    const bool visible = gShowCount >= 0;
    // A blank override cursor hides the pointer over every window of ours, grabbed or not.
    if (wasVisible && !visible) QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    if (!wasVisible && visible) QGuiApplication::restoreOverrideCursor();
    return gShowCount;
}

int CursorShowCount() {
    return gShowCount;
}

QPoint CursorPos() {
    return QCursor::pos();
}

} // namespace pictorelle

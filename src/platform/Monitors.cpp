#include "platform/Monitors.h"

#include <QGuiApplication>
#include <QList>
#include <QScreen>

namespace pictorelle {
namespace {

QList<QScreen*> OrderedScreens() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && screens.removeOne(primary)) screens.prepend(primary);
    return screens;
}

} // namespace

int MonitorCount() {
    return static_cast<int>(QGuiApplication::screens().size());
}

QScreen* MonitorScreen(int index) {
    const QList<QScreen*> screens = OrderedScreens();
    if (index < 0 || index >= screens.size()) return nullptr;
    return screens[index];
}

QRect MonitorBounds(int index) {
    QScreen* screen = MonitorScreen(index);
    return screen ? screen->geometry() : QRect();
}

} // namespace pictorelle

// One QApplication for the window tests, made on first use (never at static-init time, so
// listing the tests needs no display).
#pragma once

#include <QApplication>

namespace pictorelle::test {

inline QApplication& UiApp() {
    static int argc = 1;
    static char name[] = "pictorelle-ui-tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                          : qgetenv("QT_QPA_PLATFORM"));
        return new QApplication(argc, argv);
    }();
    return *app;
}

} // namespace pictorelle::test

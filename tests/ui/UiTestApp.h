// One QApplication for the window tests, made on first use (never at static-init time, so
// listing the tests needs no display). It runs on Qt's offscreen platform with two screens (or
// three, see below), which the platform takes from a configuration file.
#pragma once

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace pictorelle::test {

inline QApplication& UiApp() {
    static QApplication* app = [] {
        const std::string config =
            std::filesystem::temp_directory_path() /
            ("pictorelle-ui-screens-" + std::to_string(::getpid()) + ".json");
        // PICTORELLE_UI_SCREENS=3 adds a third screen, for the tests of more than two monitors.
        const char* count = std::getenv("PICTORELLE_UI_SCREENS");
        const bool third = count && std::string(count) == "3";
        std::ofstream(config) << R"({"screens": [
            {"name": "primary", "x": 0, "y": 0, "width": 1024, "height": 768,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
            {"name": "second", "x": 1024, "y": 0, "width": 800, "height": 600,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})"
                              << (third ? R"(,
            {"name": "third", "x": 1824, "y": 0, "width": 640, "height": 480,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})"
                                        : "")
                              << "]}";
        ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
        static int argc = 1;
        static char name[] = "pictorelle-ui-tests";
        static char* argv[] = {name, nullptr};
        auto* created = new QApplication(argc, argv);
        std::filesystem::remove(config);
        return created;
    }();
    return *app;
}

} // namespace pictorelle::test

// One QApplication for the window tests, made on first use (never at static-init time, so
// listing the tests needs no display). It runs on Qt's offscreen platform with two screens,
// which the platform takes from a configuration file.
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
        std::ofstream(config) << R"({"screens": [
            {"name": "primary", "x": 0, "y": 0, "width": 1024, "height": 768,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
            {"name": "second", "x": 1024, "y": 0, "width": 800, "height": 600,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
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

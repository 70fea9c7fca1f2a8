// A private X server (Xvfb, no window manager) for tests that run the player on a display, and
// the X tools the tests drive it with.
#pragma once

#include "Run.h"

#include <QImage>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pictorelle::test {

struct WindowInfo {
    int x = 0, y = 0, width = 0, height = 0;
    bool overrideRedirect = false;
    bool viewable = false;
};

struct Rgb {
    int r = -1, g = -1, b = -1;
    bool operator==(const Rgb&) const = default;
};

class XServer {
public:
    // Starts Xvfb on a free display; throws when it does not come up.
    explicit XServer(int width = 1024, int height = 768);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& Display() const { return display_; }
    // Runs an X tool (xdotool, xwininfo, import, ...) on this display.
    RunResult Tool(const std::string& program, const std::vector<std::string>& args) const;

    // Ids of the visible windows whose name matches the regular expression.
    std::vector<std::string> FindWindows(const std::string& nameRegex) const;
    std::optional<WindowInfo> Info(const std::string& window) const;
    // The colour of one pixel of the screen.
    Rgb Pixel(int x, int y) const;
    // The whole screen at once; a null image when it cannot be read.
    QImage Screenshot() const;
    void MoveMouse(int x, int y) const;
    void Key(const std::string& key) const;
    void Click(int button) const;

private:
    int pid_ = -1;
    std::string display_;
};

// One pixel of a screenshot.
inline Rgb PixelOf(const QImage& image, int x, int y) {
    if (!image.valid(x, y)) return {};
    const QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

// Polls until done() holds or timeoutMs passed; returns done(). Generous timeouts keep the
// tests steady on a loaded machine, and polling keeps them quick on an idle one.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000);

} // namespace pictorelle::test

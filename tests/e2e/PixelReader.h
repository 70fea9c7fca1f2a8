// Reads single pixels straight from the X server through Xlib, quick enough to time an item's
// change.
#pragma once

#include "PlayerFixture.h" // Qt and the package headers come before Xlib and its macros

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Status // Xlib's macro would hide Process::Status
#include <string>

namespace pictorelle::test {

class PixelReader {
public:
    explicit PixelReader(const std::string& display) : d_(XOpenDisplay(display.c_str())) {}
    ~PixelReader() {
        if (d_) XCloseDisplay(d_);
    }
    Rgb At(int x, int y) const {
        if (!d_) return {};
        XImage* image = XGetImage(d_, DefaultRootWindow(d_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return {};
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                static_cast<int>(p & 0xFF)};
    }

private:
    Display* d_;
};

} // namespace pictorelle::test

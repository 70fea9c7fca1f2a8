// Picture files made on the fly with the same libraries' encoders, and small helpers shared by
// the imaging tests.
#pragma once

#include "core/Bitmap32.h"

#include <cstdint>
#include <string>
#include <vector>

class QGuiApplication;

namespace pictorelle::test {

using Bytes = std::vector<uint8_t>;

// A width x height picture whose pixel (x, y) is Pattern(x, y), opaque.
uint32_t PatternPixel(int x, int y);
TBitmap32 PatternBitmap(int width, int height);
TBitmap32 SolidBitmap(int width, int height, uint32_t pixel);

Bytes EncodeJpeg(const TBitmap32& picture, int quality = 95, bool progressive = false);
// Four-channel CMYK JPEG of one flat colour (ink amounts, 255 full): Adobe-style by default
// (an Adobe marker, the channels stored inverted), or plain without the marker; stored as
// YCCK on request; with an embedded ICC profile when one is given.
struct TCmykJpeg {
    bool adobe = true;
    bool ycck = false;
    std::vector<uint8_t> profile;
};
Bytes EncodeCmykJpeg(int width, int height, uint8_t c, uint8_t m, uint8_t y, uint8_t k,
                     const TCmykJpeg& kind = {});
Bytes EncodePng(const TBitmap32& picture, bool alpha = true, bool interlaced = false);
Bytes EncodeTiff(const TBitmap32& picture, bool alpha = false);
// One frame per picture, each with a palette of the picture's distinct colours (at most 255);
// pixels with alpha 0 become the transparent index (its palette colour is black).
Bytes EncodeGif(const std::vector<TBitmap32>& frames, bool loops = false, int delayCs = 10,
                bool interlaced = false);
Bytes EncodeWithQt(const TBitmap32& picture, const char* format);

// Pictures made by Debian's command-line encoders: each picture goes to the tool as a PNG
// (IN0, IN1, ... in command), and what it writes to OUT comes back. Fails the test when the
// tool does.
Bytes EncodeWithTool(const std::vector<TBitmap32>& pictures, const std::string& command);
Bytes EncodeWebp(const TBitmap32& picture, bool lossless = true);  // cwebp
Bytes EncodeHeif(const TBitmap32& picture, bool lossless = false); // heif-enc
Bytes EncodeAvif(const TBitmap32& picture);                        // avifenc, lossless
Bytes EncodeJxl(const TBitmap32& picture, bool lossless = true);   // cjxl

// The largest difference of any channel (alpha included) between two bitmaps of one size.
int MaxChannelError(const TBitmap32& a, const TBitmap32& b);

// Runs a shell command (a Debian tool that makes a fixture) and returns its exit status.
int RunTool(const std::string& command);
Bytes ReadTestFile(const std::string& path);

// Writes bytes to name inside the process's temporary folder and returns the path.
std::string WriteTempFile(const std::string& name, const Bytes& bytes);

// Fails the test at the first pixel where the two bitmaps differ, or when their sizes do.
void ExpectSamePixels(const TBitmap32& expected, const TBitmap32& actual,
                      const std::string& what = {});

// The one QGuiApplication of the test run, on the offscreen platform (no display needed).
QGuiApplication& GuiApp();

} // namespace pictorelle::test

// TBitmap32: the frame type shared by the picture pipeline and the transition engine.
//
// Width x height 32-bit pixels 0xAARRGGBB (bytes blue, green, red, alpha from the lowest
// address on little-endian), rows top-down and contiguous with no padding, alpha 255 opaque.
// Every new or resized bitmap is all zero. The layout is that of a QImage in Format_ARGB32
// with 4 * Width() bytes per line, so a QImage can wrap Bits() without copying.
//
// Drawing clips to the destination and never touches memory outside either bitmap, whatever
// the rectangles; a bitmap may be drawn onto itself.
#pragma once

#include "core/Rect.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pictorelle {

enum class TResampler { Nearest, Bilinear };

// Opaque copies source pixels, alpha included. Blend lays the source over the destination
// with opacity a = source alpha x master alpha / 255: each colour channel becomes
// (src * a + dst * (255 - a)) / 255 and alpha becomes a + dst alpha * (255 - a) / 255, each
// rounded to nearest. The destination colour is mixed in whatever its own alpha, so blending
// onto a transparent black bitmap fades from black.
enum class TDrawMode { Opaque, Blend };

class TBitmap32 {
public:
    TBitmap32() = default;
    TBitmap32(int width, int height) { SetSize(width, height); }

    TBitmap32(const TBitmap32& other) = default;
    TBitmap32& operator=(const TBitmap32& other) = default;
    // A moved-from bitmap is empty (0 x 0).
    TBitmap32(TBitmap32&& other) noexcept;
    TBitmap32& operator=(TBitmap32&& other) noexcept;

    // Resizes and zero-fills, also when the size does not change. Negative sizes count as 0.
    void SetSize(int width, int height);
    void SetSizeFrom(const TBitmap32& other) { SetSize(other.width_, other.height_); }
    void Assign(const TBitmap32& other) { *this = other; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    TRect BoundsRect() const { return {0, 0, width_, height_}; }
    int BytesPerLine() const { return width_ * 4; }

    uint32_t* Bits() { return pixels_.data(); }
    const uint32_t* Bits() const { return pixels_.data(); }
    uint32_t* ScanLine(int y) {
        assert(y >= 0 && y < height_);
        return pixels_.data() + rowOffset(y);
    }
    const uint32_t* ScanLine(int y) const {
        assert(y >= 0 && y < height_);
        return pixels_.data() + rowOffset(y);
    }

    // Unchecked access; the coordinates must lie inside the bitmap.
    uint32_t Pixel(int x, int y) const {
        assert(x >= 0 && x < width_);
        return ScanLine(y)[x];
    }
    void SetPixel(int x, int y, uint32_t pixel) {
        assert(x >= 0 && x < width_);
        ScanLine(y)[x] = pixel;
    }
    // Checked access: outside the bitmap, reads give 0 and writes do nothing.
    uint32_t PixelS(int x, int y) const { return inside(x, y) ? Pixel(x, y) : 0; }
    void SetPixelS(int x, int y, uint32_t pixel) {
        if (inside(x, y)) SetPixel(x, y, pixel);
    }

    void Clear(uint32_t pixel = 0);
    void FillRect(const TRect& rect, uint32_t pixel);
    void ResetAlpha();
    void Mirror(); // left-right
    void Flip();   // upside down

    // Unscaled: the source's pixel (sx, sy) lands on (dstX + sx - srcRect.left, ...). Source
    // parts outside the source bitmap are skipped. masterAlpha (clamped to 0..255) applies to
    // Blend only.
    void Draw(int dstX, int dstY, const TBitmap32& src, TDrawMode mode = TDrawMode::Opaque,
              int masterAlpha = 255);
    void Draw(int dstX, int dstY, const TRect& srcRect, const TBitmap32& src,
              TDrawMode mode = TDrawMode::Opaque, int masterAlpha = 255);

    // Scaled: srcRect maps onto dstRect by pixel centres, destination pixel dx sampling the
    // source at srcRect.left + (dx + 0.5) * srcWidth / dstWidth - 0.5. A destination pixel is
    // written only when its nearest source pixel lies inside both srcRect and the source
    // bitmap; bilinear sampling clamps to that same area. At equal sizes both resamplers
    // reproduce the source exactly. Rectangles over 2^28 pixels wide or tall draw nothing.
    void DrawScaled(const TRect& dstRect, const TBitmap32& src,
                    TResampler resampler = TResampler::Bilinear, TDrawMode mode = TDrawMode::Opaque,
                    int masterAlpha = 255);
    void DrawScaled(const TRect& dstRect, const TBitmap32& src, const TRect& srcRect,
                    TResampler resampler = TResampler::Bilinear, TDrawMode mode = TDrawMode::Opaque,
                    int masterAlpha = 255);

private:
    std::size_t rowOffset(int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
    }
    bool inside(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

// A part of a larger frame kept on its own: its pixels, and where its top-left corner lies in
// the frame.
struct TFramePart {
    TBitmap32 bitmap;
    int left = 0;
    int top = 0;

    TRect Rect() const { return {left, top, left + bitmap.Width(), top + bitmap.Height()}; }
};

} // namespace pictorelle

// A GIF file as giflib reads it: the logical screen and its frames, each with its own palette,
// transparent index, delay and disposal. Frames stay as palette indices; composing them over
// one another (the disposal rules) is the animator's business. An animated WebP is read into
// the same object with true-colour frames, so both play through one animator and one timer.
//
// A GIF shown small need not be held at its full size: read with a factor f, the logical screen
// is sampled on a grid, canvas pixel (x, y) standing for screen pixel (x*f + f/2, y*f + f/2)
// (clamped to the screen), and each frame keeps only its indices at the sample points. Every
// composing rule then holds exactly at each sample point, and f = 1 is the picture itself.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"
#include "imaging/Decode.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace pictorelle {

// How a frame leaves the screen for the next one (the graphic control extension's values).
enum class TGifDisposal { Unspecified = 0, Keep = 1, RestoreBackground = 2, RestorePrevious = 3 };

struct TGifFrame {
    TRect rect; // on the logical screen; may reach beyond it
    // At the frame's sample points (TGifImage::SampledRect), rows top-down, deinterlaced; with
    // factor 1 that is all of rect.
    std::vector<uint8_t> indices;
    std::array<uint32_t, 256> palette{}; // opaque pixels; entries past the colour map are black
    int transparentIndex = -1;           // -1: none
    int delayMs = 0;                     // the file's hundredths of a second times 10
    TGifDisposal disposal = TGifDisposal::Unspecified;
    // A true-colour frame (animated WebP) holds 0xAARRGGBB pixels at its sample points instead
    // of indices, a fully transparent pixel always as 0. With blend it is laid over the canvas
    // by its alpha, otherwise it replaces what its rectangle holds. Such frames of a picture
    // with transparency carry transparentIndex 0 with palette[0] = 0: their transparent pixel
    // is 0.
    std::vector<uint32_t> pixels;
    bool blend = false;

    // The pixel this frame's transparent colour gives on a picture: the palette colour with
    // alpha 0, so that it differs from every visible pixel. Meaningful with a transparent index.
    uint32_t TransparentPixel() const {
        return transparentIndex >= 0 ? palette[static_cast<size_t>(transparentIndex)] & 0x00FFFFFFu
                                     : 0u;
    }
};

struct TGifImage {
    TSize screen;                           // the true logical screen: what placement works with
    int factor = 1;                         // the sampling step of the canvas over the screen
    uint32_t backgroundPixel = 0xFF000000u; // the screen's background colour, opaque
    bool loops = false;                     // a looping (NETSCAPE2.0) extension is present
    std::vector<TGifFrame> frames;

    // The size frames are composed at: ceil(screen / factor).
    TSize Canvas() const;
    // The screen column or row a canvas column or row stands for.
    int SampleX(int x) const { return samplePoint(x, screen.width); }
    int SampleY(int y) const { return samplePoint(y, screen.height); }
    // The canvas pixels whose sample points lie in frame's rectangle: what its indices hold.
    // With factor 1 that is the rectangle itself, even where it reaches beyond the screen.
    TRect SampledRect(const TGifFrame& frame) const;

    bool HasTransparency() const {
        for (const TGifFrame& f : frames)
            if (f.transparentIndex >= 0) return true;
        return false;
    }

private:
    int samplePoint(int c, int size) const {
        return factor == 1 ? c : std::min(c * factor + factor / 2, size - 1);
    }
};

// All frames together may hold no more than this many sampled pixels, a byte each (each frame's
// bookkeeping counts against it too): a file of a few kilobytes can hold hundreds of large
// frames of one colour. Frames past it are dropped, and the animation plays those before them;
// 40 M holds 20 full frames at 1920 x 1080, or 160 of 500 x 500.
inline constexpr int64_t kMaxGifTotalPixels = 40'000'000;

// An animated WebP's true-colour frames take four bytes a sampled pixel from the same budget.
inline constexpr int64_t kTrueColourPixelCost = 4;

// Reads up to maxFrames frames (at least one must be there), sampled by the factor the plan
// asks for the whole logical screen (ReductionFactor; the plan's source part is not cropped,
// since every frame is composed on the whole screen). Throws ImageError.
TGifImage ReadGif(std::span<const uint8_t> data, int maxFrames = std::numeric_limits<int>::max(),
                  const TDecodePlan& plan = {});

// Reads an animated WebP's frames (offsets, delays, disposal, blending, loop) the same way,
// sampled as ReadGif samples, true-colour. Throws ImageError.
TGifImage ReadAnimatedWebp(std::span<const uint8_t> data, const TDecodePlan& plan = {});

// The canvas-sized image of the first frame: areas the frame leaves uncovered and its
// transparent pixels carry the frame's TransparentPixel() (or, without a transparent colour,
// the opaque background colour); every other pixel is its opaque palette colour.
TBitmap32 GifFirstFrameImage(const TGifImage& gif);

} // namespace pictorelle

// A GIF file as giflib reads it: the logical screen and its frames, each with its own palette,
// transparent index, delay and disposal. Frames stay as palette indices; composing them over
// one another (the disposal rules) is the animator's business.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace pictorelle {

// How a frame leaves the screen for the next one (the graphic control extension's values).
enum class TGifDisposal { Unspecified = 0, Keep = 1, RestoreBackground = 2, RestorePrevious = 3 };

struct TGifFrame {
    TRect rect;                   // on the logical screen; may reach beyond it
    std::vector<uint8_t> indices; // rect.width() x rect.height(), rows top-down, deinterlaced
    std::array<uint32_t, 256> palette{}; // opaque pixels; entries past the colour map are black
    int transparentIndex = -1;           // -1: none
    int delayMs = 0;                     // the file's hundredths of a second times 10
    TGifDisposal disposal = TGifDisposal::Unspecified;

    // The pixel this frame's transparent colour gives on a picture: the palette colour with
    // alpha 0, so that it differs from every visible pixel. Meaningful with a transparent index.
    uint32_t TransparentPixel() const {
        return transparentIndex >= 0 ? palette[static_cast<size_t>(transparentIndex)] & 0x00FFFFFFu
                                     : 0u;
    }
};

struct TGifImage {
    TSize screen;
    uint32_t backgroundPixel = 0xFF000000u; // the screen's background colour, opaque
    bool loops = false;                     // a looping (NETSCAPE2.0) extension is present
    std::vector<TGifFrame> frames;

    bool HasTransparency() const {
        for (const TGifFrame& f : frames)
            if (f.transparentIndex >= 0) return true;
        return false;
    }
};

// All frames together may hold no more than this many pixels (each frame's bookkeeping counts
// against it too).
inline constexpr int64_t kMaxGifTotalPixels = 400'000'000;

// Reads up to maxFrames frames (at least one must be there). Throws ImageError.
TGifImage ReadGif(std::span<const uint8_t> data, int maxFrames = std::numeric_limits<int>::max());

// The full screen-sized image of the first frame: areas the frame leaves uncovered and its
// transparent pixels carry the frame's TransparentPixel() (or, without a transparent colour,
// the opaque background colour); every other pixel is its opaque palette colour.
TBitmap32 GifFirstFrameImage(const TGifImage& gif);

} // namespace pictorelle

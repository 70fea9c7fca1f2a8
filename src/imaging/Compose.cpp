#include "imaging/Compose.h"

#include <new>

namespace pictorelle {

namespace {

// round((3 blue + 6 green + red) / 10) with halves to even, exactly.
uint32_t greyOf(uint32_t p) {
    const uint32_t sum = 3 * (p & 0xFFu) + 6 * ((p >> 8) & 0xFFu) + ((p >> 16) & 0xFFu);
    uint32_t g = sum / 10;
    const uint32_t rest = sum % 10;
    if (rest > 5 || (rest == 5 && (g & 1u) != 0)) ++g;
    return g;
}

void makeGrey(TBitmap32& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint32_t* row = bitmap.ScanLine(y);
        for (int x = 0, w = bitmap.Width(); x < w; ++x) {
            const uint32_t g = greyOf(row[x]);
            row[x] = (row[x] & 0xFF000000u) | g * 0x010101u;
        }
    }
}

// The mask stretched over dest in a working bitmap that is opaque black elsewhere; the working
// bitmap covers only the visible part of dest (origin at clip's top-left).
TBitmap32 maskLayer(const TBitmap32& mask, const TRect& dest, const TRect& clip) {
    TBitmap32 m(clip.width(), clip.height());
    m.Clear(0xFF000000u);
    const TRect local = dest.translated(-clip.left, -clip.top);
    try {
        m.DrawScaled(local, mask, TResampler::Bilinear, TDrawMode::Blend);
    } catch (const std::bad_alloc&) {
        m.DrawScaled(local, mask, TResampler::Nearest, TDrawMode::Opaque);
    }
    return m;
}

void composeLayered(const TBitmap32& picture, TBitmap32& frame, const TRect& dest,
                    const TRect& pictureRect, bool pictureOpaque, const TBitmap32* mask) {
    const TRect clip = dest.intersected(frame.BoundsRect());
    if (clip.isEmpty() || picture.Empty()) return;
    if (!mask && pictureOpaque) {
        // An opaque picture laid over a transparent layer is itself, and that layer blended
        // onto the frame is a plain copy: skip the layer.
        frame.DrawScaled(pictureRect, picture, TResampler::Bilinear, TDrawMode::Opaque);
        return;
    }
    // Outside dest the layer would be fully transparent and change nothing, so it only needs
    // to cover the visible part of dest.
    TBitmap32 layer(clip.width(), clip.height());
    layer.DrawScaled(pictureRect.translated(-clip.left, -clip.top), picture, TResampler::Bilinear,
                     TDrawMode::Blend);
    if (mask) ApplyMaskAlpha(layer, maskLayer(*mask, dest, clip));
    frame.Draw(clip.left, clip.top, layer, TDrawMode::Blend);
}

} // namespace

void ApplyPictureFlags(TBitmap32& bitmap, int flags) {
    if (flags & kFlagMirror) bitmap.Mirror();
    if (flags & kFlagFlip) bitmap.Flip();
    if (flags & kFlagGrey) makeGrey(bitmap);
}

void ComposeItem(TBitmap32& picture, TBitmap32& frame, const TRect& dest, bool makeOpaque,
                 const TBitmap32* mask, const std::optional<TRect>& pictureRect) {
    if (makeOpaque) picture.ResetAlpha();
    const TRect placed = pictureRect.value_or(dest);
    try {
        composeLayered(picture, frame, dest, placed, makeOpaque, mask);
    } catch (const std::bad_alloc&) {
        try {
            frame.DrawScaled(placed, picture, TResampler::Bilinear, TDrawMode::Blend);
        } catch (const std::bad_alloc&) {
            // Nothing more to try: the frame keeps its background.
        }
    }
}

void ApplyMaskAlpha(TBitmap32& target, const TBitmap32& mask) {
    if (mask.Width() != target.Width() || mask.Height() != target.Height()) {
        TBitmap32 sized(target.Width(), target.Height());
        sized.DrawScaled(sized.BoundsRect(), mask, TResampler::Bilinear, TDrawMode::Opaque);
        ApplyMaskAlpha(target, sized);
        return;
    }
    for (int y = 0; y < target.Height(); ++y) {
        uint32_t* t = target.ScanLine(y);
        const uint32_t* m = mask.ScanLine(y);
        for (int x = 0, w = target.Width(); x < w; ++x)
            t[x] = (t[x] & 0x00FFFFFFu) | (m[x] << 24);
    }
}

void ReplaceTransparentColor(TBitmap32& bitmap, uint32_t colour, TColor backColor) {
    const uint32_t replacement = ColorToPixel(backColor) & 0x00FFFFFFu;
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint32_t* row = bitmap.ScanLine(y);
        for (int x = 0, w = bitmap.Width(); x < w; ++x)
            if (row[x] == colour) row[x] = replacement;
    }
}

} // namespace pictorelle

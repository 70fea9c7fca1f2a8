#include "imaging/GifAnimation.h"

#include "imaging/Decode.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>

namespace pictorelle {

namespace {

// Sizes a reused bitmap; its pixels are about to be overwritten, so an unchanged size keeps
// them instead of clearing them.
void ensureSize(TBitmap32& bitmap, int width, int height) {
    if (bitmap.Width() != width || bitmap.Height() != height) bitmap.SetSize(width, height);
}

// Straight-alpha source-over of one true-colour pixel onto the canvas.
uint32_t blendOver(uint32_t src, uint32_t dst) {
    const uint32_t sa = src >> 24;
    if (sa == 255) return src;
    if (sa == 0) return dst;
    const uint32_t da = dst >> 24;
    if (da == 0) return src;
    const uint32_t dw = da * (255 - sa); // the canvas's weight, scaled by 255
    const uint32_t a255 = sa * 255 + dw; // the result's alpha, scaled by 255
    auto channel = [&](int shift) {
        const uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
        return ((s * sa * 255 + d * dw + a255 / 2) / a255) << shift;
    };
    return (((a255 + 127) / 255) << 24) | channel(16) | channel(8) | channel(0);
}

} // namespace

TGifAnimator::TGifAnimator(TGifImage gif) : gif_(std::move(gif)) {
    const TSize canvas = gif_.Canvas();
    canvas_.SetSize(canvas.width, canvas.height);
    image_.SetSize(canvas.width, canvas.height);
}

const TBitmap32& TGifAnimator::Frame(int k) {
    if (k < 0 || k >= FrameCount()) throw std::out_of_range("GIF frame index out of range");
    if (k == current_) return image_;
    if (k < current_) restart();
    while (current_ < k) {
        if (current_ >= 0) disposeCurrent();
        drawNext();
    }
    publish();
    return image_;
}

void TGifAnimator::restart() {
    canvas_.Clear(0);
    current_ = -1;
}

void TGifAnimator::disposeCurrent() {
    const TGifFrame& frame = gif_.frames[static_cast<size_t>(current_)];
    switch (frame.disposal) {
    case TGifDisposal::RestoreBackground:
        canvas_.FillRect(gif_.SampledRect(frame).intersected(canvas_.BoundsRect()), 0);
        break;
    case TGifDisposal::RestorePrevious:
        canvas_.Draw(savedRect_.left, savedRect_.top, saved_);
        break;
    case TGifDisposal::Unspecified:
    case TGifDisposal::Keep:
        break;
    }
}

void TGifAnimator::drawNext() {
    ++current_;
    const TGifFrame& frame = gif_.frames[static_cast<size_t>(current_)];
    const TRect kept = gif_.SampledRect(frame);
    const TRect visible = kept.intersected(canvas_.BoundsRect());
    if (frame.disposal == TGifDisposal::RestorePrevious) {
        savedRect_ = visible;
        ensureSize(saved_, visible.width(), visible.height());
        saved_.Draw(0, 0, visible, canvas_);
    }
    const int w = kept.width();
    if (!frame.pixels.empty()) {
        for (int y = visible.top; y < visible.bottom; ++y) {
            const uint32_t* src = frame.pixels.data() +
                                  static_cast<size_t>(y - kept.top) * static_cast<size_t>(w) +
                                  (visible.left - kept.left);
            uint32_t* dst = canvas_.ScanLine(y);
            if (!frame.blend) {
                std::copy_n(src, visible.width(), dst + visible.left);
                continue;
            }
            for (int x = visible.left; x < visible.right; ++x, ++src)
                dst[x] = blendOver(*src, dst[x]);
        }
        return;
    }
    const bool transparent = frame.transparentIndex >= 0;
    for (int y = visible.top; y < visible.bottom; ++y) {
        const uint8_t* src = frame.indices.data() +
                             static_cast<size_t>(y - kept.top) * static_cast<size_t>(w) +
                             (visible.left - kept.left);
        uint32_t* dst = canvas_.ScanLine(y);
        for (int x = visible.left; x < visible.right; ++x, ++src) {
            if (transparent && *src == frame.transparentIndex) continue;
            dst[x] = frame.palette[*src];
        }
    }
}

void TGifAnimator::publish() {
    const TGifFrame& frame = gif_.frames[static_cast<size_t>(current_)];
    const uint32_t uncovered =
        frame.transparentIndex >= 0 ? frame.TransparentPixel() : gif_.backgroundPixel;
    const size_t count = static_cast<size_t>(canvas_.Width()) * canvas_.Height();
    const uint32_t* in = canvas_.Bits();
    uint32_t* out = image_.Bits();
    for (size_t i = 0; i < count; ++i)
        out[i] = (in[i] >> 24) != 0 ? in[i] : uncovered;
}

std::unique_ptr<TGifAnimator> LoadGif(const std::string& path, const TDecodePlan& plan) {
    return std::make_unique<TGifAnimator>(
        ReadGif(ReadPictureFile(path), std::numeric_limits<int>::max(), plan));
}

bool GifAnimates(const TGifImage& gif) {
    return gif.frames.size() > 1;
}

TGifTimerStep GifTimerStep(const TGifImage& gif, int drawnIndex) {
    const int count = static_cast<int>(gif.frames.size());
    TGifTimerStep step;
    step.nextIndex = drawnIndex + 1;
    if (step.nextIndex == count && gif.loops) step.nextIndex = 0;
    if (step.nextIndex < 0 || step.nextIndex >= count) return step; // stays on the last frame
    step.interval = gif.frames[static_cast<size_t>(step.nextIndex)].delayMs;
    step.enabled = step.interval > 0;
    return step;
}

TRect TGifFramePainter::Paint(const TBitmap32& image, bool transparency, TColor backColor,
                              const TFramePart* background, const TRect& itemRect,
                              TBitmap32& display) {
    const TRect reach = itemRect.intersected(display.BoundsRect());
    if (!background) {
        if (transparency || reach.isEmpty() || image.Empty()) return {};
        display.DrawScaled(itemRect, image, TResampler::Bilinear, TDrawMode::Opaque);
        return reach;
    }
    const TRect visible = reach.intersected(background->Rect());
    // The same rectangle in the background's own pixels.
    const TRect under = visible.translated(-background->left, -background->top);
    if (visible.isEmpty() || image.Empty()) return {};

    const TBitmap32* source = &image;
    if (transparency) {
        const uint32_t replacement = ColorToPixel(backColor) & 0x00FFFFFFu;
        ensureSize(picture_, image.Width(), image.Height());
        const size_t count = static_cast<size_t>(image.Width()) * image.Height();
        const uint32_t* in = image.Bits();
        uint32_t* out = picture_.Bits();
        for (size_t i = 0; i < count; ++i)
            out[i] = (in[i] >> 24) != 0 ? in[i] : replacement;
        source = &picture_;
    }
    const TDrawMode mode = transparency ? TDrawMode::Blend : TDrawMode::Opaque;

    if (reach == visible) {
        // The usual case: straight into the display. An opaque frame covers the whole
        // rectangle, so only a blended one needs the background under it first.
        if (transparency) display.Draw(visible.left, visible.top, under, background->bitmap);
        display.DrawScaled(itemRect, *source, TResampler::Bilinear, mode);
        return visible;
    }
    // A background smaller than the display limits what changes; drawing through a bitmap of
    // that part keeps the scaling exactly as it is in place.
    ensureSize(work_, visible.width(), visible.height());
    work_.Draw(0, 0, under, background->bitmap);
    work_.DrawScaled(itemRect.translated(-visible.left, -visible.top), *source,
                     TResampler::Bilinear, mode);
    display.Draw(visible.left, visible.top, work_);
    return visible;
}

} // namespace pictorelle

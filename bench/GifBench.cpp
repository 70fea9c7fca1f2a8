// One tick of an animated GIF item: compose the next frame and lay it over the background into
// the item's rectangle of the display. Runs on the user-interface thread while the show waits,
// so it must stay well below a frame delay; at 10 frames a second the time per tick times 10
// is the share of one core the animation takes.
#include "core/Bitmap32.h"
#include "core/Color.h"
#include "imaging/GifAnimation.h"
#include "imaging/Gradient.h"
#include "imaging/Placement.h"

#include <benchmark/benchmark.h>

using namespace pictorelle;

namespace {

constexpr int kGifSide = 500;
constexpr int kGifFrames = 10;

// Ten full 500 x 500 frames of moving stripes, each with a transparent hole when asked, so
// that every tick changes every pixel of the item.
TGifImage stripes(bool transparent) {
    TGifImage gif;
    gif.screen = {kGifSide, kGifSide};
    gif.loops = true;
    for (int k = 0; k < kGifFrames; ++k) {
        TGifFrame f;
        f.rect = {0, 0, kGifSide, kGifSide};
        for (int i = 0; i < 256; ++i)
            f.palette[static_cast<size_t>(i)] = MakePixel(i, 255 - i, (i * 7) & 255);
        f.transparentIndex = transparent ? 255 : -1;
        f.delayMs = 100;
        f.indices.resize(size_t{kGifSide} * kGifSide);
        for (int y = 0; y < kGifSide; ++y)
            for (int x = 0; x < kGifSide; ++x) {
                const bool hole =
                    transparent && (x - 250) * (x - 250) + (y - 250) * (y - 250) < 100 * 100;
                f.indices[static_cast<size_t>(y) * kGifSide + x] =
                    hole ? 255 : static_cast<uint8_t>((x + y + k * 25) % 255);
            }
        gif.frames.push_back(std::move(f));
    }
    return gif;
}

void BM_GifTick(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = w == 1920 ? 1080 : 2160;
    const bool transparent = state.range(1) != 0;
    TGifAnimator gif(stripes(transparent));
    TFramePart background{TBitmap32(w, h)};
    PaintGradient(background.bitmap, 1, 0x00402010, background.bitmap.BoundsRect(), 0x00F0E0D0);
    TBitmap32 display = background.bitmap;
    const TRect itemRect = PlacePicture(0, w, h, kGifSide, kGifSide); // fitted, centred
    TGifFramePainter painter;
    int k = 0;
    for (auto _ : state) {
        const TRect changed =
            painter.Paint(gif.Frame(k), transparent, 0x00402010, &background, itemRect, display);
        benchmark::DoNotOptimize(changed);
        benchmark::ClobberMemory();
        k = (k + 1) % kGifFrames;
    }
    state.SetLabel(transparent ? "transparent" : "opaque");
}
BENCHMARK(BM_GifTick)
    ->ArgsProduct({{1920, 3840}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

// The animator alone, stepping through the frames in order as the ticks do.
void BM_GifComposeFrame(benchmark::State& state) {
    TGifAnimator gif(stripes(true));
    int k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gif.Frame(k).Bits());
        k = (k + 1) % kGifFrames;
    }
}
BENCHMARK(BM_GifComposeFrame)->Unit(benchmark::kMicrosecond);

} // namespace

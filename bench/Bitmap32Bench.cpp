// Frame-sized draws as the transition engine issues them, one full-HD frame per iteration.
#include "core/Bitmap32.h"

#include <benchmark/benchmark.h>
#include <cstdint>

using namespace pictorelle;

namespace {

constexpr int kFrameW = 1920;
constexpr int kFrameH = 1080;

TBitmap32 noise(int w, int h) {
    TBitmap32 b(w, h);
    uint32_t v = 0x12345678u;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1664525u + 1013904223u;
            b.SetPixel(x, y, v);
        }
    return b;
}

void scaledFrame(benchmark::State& state, TResampler resampler, TDrawMode mode, int alpha) {
    const TBitmap32 src = noise(2560, 1440);
    TBitmap32 dst = noise(kFrameW, kFrameH);
    for (auto _ : state) {
        dst.DrawScaled({0, 0, kFrameW, kFrameH}, src, resampler, mode, alpha);
        benchmark::DoNotOptimize(dst.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrameW * kFrameH);
}

void BM_DrawScaledBilinear(benchmark::State& state) {
    scaledFrame(state, TResampler::Bilinear, TDrawMode::Opaque, 255);
}
void BM_DrawScaledNearest(benchmark::State& state) {
    scaledFrame(state, TResampler::Nearest, TDrawMode::Opaque, 255);
}
void BM_DrawScaledBilinearBlend(benchmark::State& state) {
    scaledFrame(state, TResampler::Bilinear, TDrawMode::Blend, 128);
}

// Upscaling a quarter-size picture, as the zooms do early on.
void BM_DrawScaledBilinearUpscale(benchmark::State& state) {
    const TBitmap32 src = noise(960, 540);
    TBitmap32 dst(kFrameW, kFrameH);
    for (auto _ : state) {
        dst.DrawScaled({0, 0, kFrameW, kFrameH}, src);
        benchmark::DoNotOptimize(dst.Bits());
        benchmark::ClobberMemory();
    }
}

void unscaledFrame(benchmark::State& state, TDrawMode mode, int alpha) {
    const TBitmap32 src = noise(kFrameW, kFrameH);
    TBitmap32 dst = noise(kFrameW, kFrameH);
    for (auto _ : state) {
        dst.Draw(0, 0, src, mode, alpha);
        benchmark::DoNotOptimize(dst.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrameW * kFrameH);
}

void BM_DrawUnscaledCopy(benchmark::State& state) {
    unscaledFrame(state, TDrawMode::Opaque, 255);
}
void BM_DrawUnscaledBlend(benchmark::State& state) {
    unscaledFrame(state, TDrawMode::Blend, 128);
}

} // namespace

BENCHMARK(BM_DrawScaledBilinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScaledNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScaledBilinearBlend)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScaledBilinearUpscale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawUnscaledCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawUnscaledBlend)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

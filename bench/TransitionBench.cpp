// Per-frame cost of the transition engine: Box Out and Box In compose and paint, and the
// engine's own share of a frame (timing, flag polling, the call onto the paint thread).
#include "transitions/TransThread.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pictorelle;

void RunTransition(benchmark::State& bench, int effect) {
    const int w = static_cast<int>(bench.range(0)), h = static_cast<int>(bench.range(1));
    TBitmap32 a(w, h), b(w, h);
    a.Clear(0xFF203040);
    b.Clear(0xFFD0C0B0);
    TBitmapTarget target(w, h);
    TDirectMainThread direct;
    int64_t frames = 0;
    for (auto _ : bench) {
        TTransitionState state;
        state.FrameObserver = [&] { ++frames; };
        StartTransition(state, direct, target, frames % 2 ? a : b, effect, true, 240, 0);
        state.JoinWorker();
    }
    // items_per_second counts frames: its inverse is the time of one frame.
    bench.SetItemsProcessed(frames);
}

void BM_BoxOut(benchmark::State& bench) { RunTransition(bench, 69); }
void BM_BoxIn(benchmark::State& bench) { RunTransition(bench, 70); }

// One frame with nothing to compose: the paint call carries an empty rectangle.
void BM_EngineFrameOverhead(benchmark::State& bench) {
    const int w = static_cast<int>(bench.range(0)), h = static_cast<int>(bench.range(1));
    TBitmap32 picture(w, h);
    TBitmapTarget target(w, h);
    TDirectMainThread direct;
    TTransitionState state;
    state.StepCount = 240;
    TTransThread thread(state, direct, 69, 0, picture, target);
    for (auto _ : bench) {
        thread.BeginFrame();
        thread.SourceRect = thread.DestRect = TRect{};
        thread.PaintFromNew();
        benchmark::DoNotOptimize(thread.EndFrame());
    }
    bench.SetItemsProcessed(bench.iterations());
}

} // namespace

BENCHMARK(BM_BoxOut)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BoxIn)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineFrameOverhead)->Args({1920, 1080})->Args({3840, 2160});

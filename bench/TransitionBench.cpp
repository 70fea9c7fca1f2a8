// The transition engine's own share of a frame: timing, flag polling and the call onto the
// paint thread, with nothing to compose. Each effect's frame times are in EffectsBench.
#include "transitions/TransThread.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pictorelle;

// One frame with nothing to compose: the paint call carries an empty rectangle.
void BM_EngineFrameOverhead(benchmark::State& bench) {
    const int w = static_cast<int>(bench.range(0)), h = static_cast<int>(bench.range(1));
    TBitmap32 picture(w, h);
    TBitmapTarget target(w, h);
    TDirectMainThread direct;
    TTransitionState state;
    state.StepCount = 240;
    TTransThread thread(state, direct, 69, 0, picture, target);
    // Each benchmark iteration is one frame of the engine's own loop.
    thread.RunFrames([&] {
        if (!bench.KeepRunning()) return false;
        thread.PaintFromNew(TRect{});
        return true;
    });
    bench.SetItemsProcessed(bench.iterations());
}

} // namespace

BENCHMARK(BM_EngineFrameOverhead)->Args({1920, 1080})->Args({3840, 2160});

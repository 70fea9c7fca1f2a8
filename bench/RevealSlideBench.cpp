// Per-frame cost of the slide, reveal and line-drop effects: one member of each row group of
// their tables, whole transitions of 240 steps. `pictorelle-render --time` covers every member.
#include "transitions/TransThread.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pictorelle;

void BM_SlideRevealEffect(benchmark::State& bench) {
    const int effect = static_cast<int>(bench.range(0));
    const int w = static_cast<int>(bench.range(1)), h = static_cast<int>(bench.range(2));
    TBitmap32 a(w, h), b(w, h);
    a.Clear(0xFF203040);
    b.Clear(0xFFD0C0B0);
    TBitmapTarget target(w, h);
    TDirectMainThread direct;
    int64_t frames = 0;
    for (auto _ : bench) {
        TTransitionState state;
        state.FrameObserver = [&] { ++frames; };
        StartTransition(state, direct, target, frames % 2 ? a : b, effect, false, 240, 0);
        state.JoinWorker();
    }
    // items_per_second counts frames: its inverse is the time of one frame.
    bench.SetItemsProcessed(frames);
}

void Sizes(benchmark::internal::Benchmark* b) {
    // Slides 1, 5, 10 (door), 14 (staggered), 21 (blinds); reveals 23, 36 (staggered), 47
    // (32 rows), 57 (cross lines), 61 (sweep), 63 (download); line drops 65 and 67.
    for (const int effect : {1, 5, 10, 14, 21, 23, 36, 47, 57, 61, 63, 65, 67})
        for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}})
            b->Args({effect, w, h});
}

} // namespace

BENCHMARK(BM_SlideRevealEffect)->Apply(Sizes)->Unit(benchmark::kMillisecond)->UseRealTime();

// Frame times of every effect (1 to 120) at the slide show's default step count for the width,
// with frame delay 0. Each run reports the
// median and the worst frame (the first frame, which also starts the worker, is left out), by
// the wall clock and by the worker's own processor time, which other load on the machine does
// not inflate:
//   pictorelle-bench --benchmark_filter=Effect/      (one effect: 'Effect/effect:69/')
// and the region primitives on their own:
//   pictorelle-bench --benchmark_filter=Region
#include "core/Region.h"
#include "transitions/OffscreenRun.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <string>
#include <vector>

namespace {

using namespace pictorelle;

TBitmap32 Ramp(int w, int h, bool flip) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto r = static_cast<uint32_t>((flip ? w - 1 - x : x) * 255 / std::max(w - 1, 1));
            const auto g = static_cast<uint32_t>(y * 255 / std::max(h - 1, 1));
            b.SetPixel(x, y, 0xFF000000u | r << 16 | g << 8 | 0x60u);
        }
    return b;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void BM_Effect(benchmark::State& bench) {
    const int effect = static_cast<int>(bench.range(0));
    const int w = static_cast<int>(bench.range(1)), h = static_cast<int>(bench.range(2));
    const int steps = TransitionSteps(w, 4);
    const TBitmap32 a = Ramp(w, h, false), b = Ramp(w, h, true);
    std::vector<double> times, cpuTimes;
    for (auto _ : bench) {
        double lastCpu = 0;
        TOffscreenObserver observer;
        // Runs on the worker after each frame, so the thread clock is the worker's; like the
        // wall times, the first frame's is left out.
        observer.frame = [&](int frame, const TBitmap32&, TTransitionState&) {
            const double cpu = ThreadCpuMs();
            if (frame > 1) cpuTimes.push_back(cpu - lastCpu);
            lastCpu = cpu;
        };
        const TOffscreenRun run = RunOffscreen(effect, steps, a, b, observer);
        times.insert(times.end(), run.frameMs.begin(), run.frameMs.end());
    }
    if (times.empty()) return;
    bench.counters["frames"] =
        static_cast<double>(times.size()) / static_cast<double>(bench.iterations());
    bench.counters["median_ms"] = Median(times);
    bench.counters["worst_ms"] = times.back();
    bench.counters["cpu_median_ms"] = Median(cpuTimes);
    bench.counters["cpu_worst_ms"] = cpuTimes.back();
}

void EffectArgs(benchmark::internal::Benchmark* b) {
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}})
        for (int effect = 1; effect <= 120; ++effect)
            b->Args({effect, w, h});
}

// The region work of one heavy frame: a union of many small ellipses, and a full-picture
// rounded rectangle copied through.
void BM_RegionManyEllipses(benchmark::State& bench) {
    const int w = static_cast<int>(bench.range(0)), h = static_cast<int>(bench.range(1));
    TRegionUnion shapes;
    TRegion region;
    const int d = h / 8, n = d / 4 * 4;
    for (auto _ : bench) {
        shapes.Clear();
        for (int k = 0; k < n; ++k) {
            const int x = (k * 37) % (d + 1), y = (k * 53) % (d + 1);
            shapes.AddEllipse({w * (x - 1) / d, h * (y - 1) / d, w * (x + 1) / d, h * (y + 1) / d});
        }
        shapes.Build(region);
        benchmark::DoNotOptimize(region.Area());
    }
}

void BM_RegionRoundRectCopy(benchmark::State& bench) {
    const int w = static_cast<int>(bench.range(0)), h = static_cast<int>(bench.range(1));
    TBitmap32 dst(w, h);
    const TBitmap32 src = Ramp(w, h, false);
    TRegion region;
    for (auto _ : bench) {
        region.SetRoundRect({-w / 6, -h / 6, w + w / 6, h + h / 6}, w, h);
        DrawClipped(dst, src, region);
        benchmark::DoNotOptimize(dst.Bits());
    }
    bench.SetBytesProcessed(bench.iterations() * int64_t{w} * h * 4);
}

} // namespace

BENCHMARK(BM_Effect)
    ->Apply(EffectArgs)
    ->ArgNames({"effect", "w", "h"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Name("Effect");
BENCHMARK(BM_RegionManyEllipses)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegionRoundRectCopy)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMicrosecond);

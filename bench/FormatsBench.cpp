// The newer formats against Debian's own command-line decoders of the same file, side by side:
// a 12-megapixel HEIC decoded for a 1920 x 1080 show, and a 4096 x 4096 WebP at full size and
// for the same show. The files are made once per run with heif-enc and cwebp (which takes a
// while); the command-line decoders write raw output (Y4M, PPM), so they pay no compression.
// Each is the median of five runs, in wall time: the tools run as child processes.
#include "imaging/Decode.h"
#include "package/TempFolder.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace pictorelle;

namespace {

// A photo-like picture as a binary PPM: smooth shading with grain, so the encoders produce
// files of a realistic size.
void writePpm(const std::string& path, int w, int h) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << w << " " << h << "\n255\n";
    std::string row(static_cast<size_t>(w) * 3, '\0');
    uint32_t noise = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>((noise >> 28) & 0x0F);
            row[static_cast<size_t>(x) * 3] = static_cast<char>((x * 255 / w + grain) & 0xFF);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<char>((y * 255 / h + grain) & 0xFF);
            row[static_cast<size_t>(x) * 3 + 2] =
                static_cast<char>((((x + y) / 40 % 2) ? 200 : 60) + grain);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
}

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

struct Files {
    std::string heic, webp;
    bool ok = false;
};

const Files& files() {
    static const Files made = [] {
        Files f;
        const std::string dir = TempFolder();
        const std::string photo = dir + "photo12.ppm", square = dir + "square.ppm";
        writePpm(photo, 4032, 3024);
        writePpm(square, 4096, 4096);
        f.heic = dir + "photo12.heic";
        f.webp = dir + "square.webp";
        f.ok = run("convert '" + photo + "' '" + dir + "photo12.png'") &&
               run("heif-enc -q 85 -p preset=ultrafast '" + dir + "photo12.png' -o '" + f.heic +
                   "'") &&
               run("convert '" + square + "' '" + dir + "square.png'") &&
               run("cwebp -quiet -q 85 '" + dir + "square.png' -o '" + f.webp + "'");
        return f;
    }();
    return made;
}

// What a fitted picture asks of its decoder on a 1920 x 1080 show: at least its size on screen,
// never more than twice the screen.
TDecodePlan fittedOnto1080p() {
    return [](TSize natural) {
        const double scale = std::min(1920.0 / natural.width, 1080.0 / natural.height);
        return TDecodeRequest{
            {},
            {static_cast<int>(natural.width * scale), static_cast<int>(natural.height * scale)},
            {3840, 2160}};
    };
}

void decodeOurs(benchmark::State& state, const std::string& path, bool fitted) {
    if (!files().ok) {
        state.SkipWithError("heif-enc, cwebp or convert missing");
        return;
    }
    for (auto _ : state) {
        TDecodedPicture d = DecodePicture(path, fitted ? fittedOnto1080p() : TDecodePlan{});
        benchmark::DoNotOptimize(d.bitmap.Bits());
    }
}

void decodeTheirs(benchmark::State& state, const std::string& command) {
    if (!files().ok) {
        state.SkipWithError("heif-enc, cwebp or convert missing");
        return;
    }
    for (auto _ : state)
        if (!run(command)) state.SkipWithError(("failed: " + command).c_str());
}

void BM_Heic12MpOnto1080p_Ours(benchmark::State& state) {
    decodeOurs(state, files().heic, true);
}
void BM_Heic12Mp_HeifConvert(benchmark::State& state) {
    decodeTheirs(state, "heif-convert '" + files().heic + "' '" + TempFolder() + "out.y4m'");
}
void BM_Webp4096_Ours(benchmark::State& state) {
    decodeOurs(state, files().webp, false);
}
void BM_Webp4096Onto1080p_Ours(benchmark::State& state) {
    decodeOurs(state, files().webp, true);
}
void BM_Webp4096_Dwebp(benchmark::State& state) {
    decodeTheirs(state, "dwebp '" + files().webp + "' -ppm -o '" + TempFolder() + "out.ppm'");
}

#define FORMAT_BENCH(name)                                                                         \
    BENCHMARK(name)                                                                                \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->Iterations(1)                                                                            \
        ->Repetitions(5)                                                                           \
        ->ComputeStatistics("median",                                                              \
                            [](const std::vector<double>& v) {                                     \
                                std::vector<double> s = v;                                         \
                                std::sort(s.begin(), s.end());                                     \
                                return s[s.size() / 2];                                            \
                            })                                                                     \
        ->ReportAggregatesOnly(true)                                                               \
        ->UseRealTime()

FORMAT_BENCH(BM_Heic12MpOnto1080p_Ours);
FORMAT_BENCH(BM_Heic12Mp_HeifConvert);
FORMAT_BENCH(BM_Webp4096_Ours);
FORMAT_BENCH(BM_Webp4096Onto1080p_Ours);
FORMAT_BENCH(BM_Webp4096_Dwebp);

} // namespace

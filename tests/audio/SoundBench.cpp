// pictorelle-sound-bench: the two figures of the sound path, measured through the same private
// sound server the tests use.
//   - enter-sound latency: from the LoadEnterSound call to the first 10 ms of the recording in
//     which its tone sounds, with the music playing underneath (the recorder's own buffering
//     makes the figure a little high, never low);
//   - processor use while only music plays: the process's CPU time over wall time while an
//     MP3 melody plays (mpv decodes in this process), in percent of one core.
#include "AudioServer.h"
#include "media/MediaPlayer.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "sound/EnterSoundPlayer.h"
#include "sound/MelodyPlayer.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The first 10 ms block at or after `from` where the tone sounds.
std::optional<size_t> Onset(const Recorder& recorder, double frequency, size_t from) {
    constexpr size_t block = kRecordRate / 100;
    size_t at = from;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents();
        const size_t have = recorder.Frames();
        for (; at + block <= have; at += block) {
            const auto samples = recorder.Samples(at, at + block);
            if (ToneLevel(samples.data(), samples.size(), frequency) > kToneThreshold) return at;
        }
    }
    return std::nullopt;
}

} // namespace

int main() {
    EnsureApplication();
    AudioServer server;
    Recorder recorder(server);
    ScratchDir dir;

    // A show with one long melody and ten enter sounds of their own pitches.
    PackageContent content;
    content.Strings[StringId::SaverTitle] = "Bench";
    content.Melodies.push_back({{{}, ".wav"}, ToneWav(440, 60)});
    std::vector<double> pitches;
    for (int i = 0; i < 10; ++i) {
        pitches.push_back(1000 + 100 * i);
        content.EnterSounds.push_back({{{}, ".wav"}, ToneWav(pitches.back(), 0.5)});
    }
    const std::string show = dir / "bench.scr";
    WriteFile(show, WritePackage(content));
    FileSource file(show);
    const Package package = ReadPackage(file);

    SaverSettings settings;
    TMelodyPlayer music(show, package, settings);
    TEnterSoundPlayer enter(show, package);
    music.Start();
    recorder.WaitForTone(440, recorder.Frames());

    std::vector<double> latencies;
    for (size_t i = 0; i < pitches.size(); ++i) {
        PumpUntil([] { return false; }, 700);
        const size_t from = recorder.Frames();
        enter.LoadEnterSound(static_cast<int>(i));
        if (const auto at = Onset(recorder, pitches[i], from))
            latencies.push_back(1000.0 * static_cast<double>(*at - from) / kRecordRate);
    }
    enter.Stop();
    music.Stop();
    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
        std::printf("enter sound latency: not heard\n");
    } else {
        std::printf("enter sound latency over %zu sounds: median %.0f ms, worst %.0f ms\n",
                    latencies.size(), latencies[latencies.size() / 2], latencies.back());
    }

    // MP3 music alone.
    WriteFile(dir / "melody.wav", ToneWav(440, 40));
    if (RunProgram("lame", {"--quiet", "-b", "128", dir / "melody.wav", dir / "melody.mp3"}).status != 0) {
        std::printf("cpu while an MP3 plays: lame is missing\n");
        return 1;
    }
    TMediaPlayer player;
    player.SetFileName(dir / "melody.mp3");
    player.Open();
    player.Play();
    PumpUntil([] { return false; }, 2000); // past the start
    const double cpu0 = CpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    // Sleep rather than run the event loop: the figure is the player's, not the bench's polling.
    std::this_thread::sleep_for(std::chrono::seconds(20));
    QCoreApplication::processEvents();
    const double cpu = CpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    std::printf("cpu while an MP3 plays: %.2f %% of one core (%.2f s over %.1f s)\n",
                100 * cpu / wall, cpu, wall);
    player.Close();
    return 0;
}

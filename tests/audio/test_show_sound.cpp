// The real show program with sound: a private X server shows it, a private sound server
// records it. Melodies and enter sounds are sine tones of their own frequencies.
#include "../e2e/PlayerFixture.h"
#include "AudioServer.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>

namespace pictorelle::test {
namespace {

constexpr size_t kSecond = kRecordRate;
constexpr double kMelody0 = 440, kMelody1 = 660, kEnterSound = 1320;

class ShowSound : public PlayerOnDisplay {
protected:
    static void SetUpTestSuite() { server = new AudioServer(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    // Two pictures of two seconds, the second with an enter sound; two melodies, repeated.
    static PackageContent SoundContent() {
        PackageContent c = ShowContent();
        c.Header.Seconds = 2;
        c.Header.Loop = true;
        c.Items.push_back({{}, SolidPng(Qt::red)});
        c.Items.push_back({{}, SolidPng(Qt::blue)});
        for (auto& item : c.Items)
            item.Record.Ext = ".png";
        c.Items[1].Record.EnterSoundIndex = 0;
        c.Melodies.push_back({{{}, ".wav"}, ToneWav(kMelody0, 1.5)});
        c.Melodies.push_back({{{}, ".wav"}, ToneWav(kMelody1, 1.5)});
        c.EnterSounds.push_back({{{}, ".wav"}, ToneWav(kEnterSound, 0.6)});
        return c;
    }

    std::unique_ptr<Process> StartShow(const PackageContent& content) {
        std::vector<std::string> env = Env();
        for (const std::string& e : server->ClientEnvironment())
            env.push_back(e);
        auto show =
            std::make_unique<Process>(MakeShow(content), std::vector<std::string>{"/s"}, env);
        EXPECT_FALSE(WaitForWindow(kTitleRegex).empty());
        return show;
    }

    // The sound files the running show has extracted so far.
    std::vector<std::string> SoundFiles() const {
        std::vector<std::string> found;
        for (const auto& folder : fs::directory_iterator(dir / "tmp"))
            for (const auto& file : fs::directory_iterator(folder))
                if (file.path().filename().string().rfind("SSS", 0) == 0)
                    found.push_back(file.path().filename());
        return found;
    }

    static inline AudioServer* server = nullptr;
};

TEST_F(ShowSound, MusicLoopsAndTheEnterSoundPlaysOverItUntilTheShowEnds) {
    Recorder recorder(*server);
    auto show = StartShow(SoundContent());

    // The built-in list in order, then again from its start.
    const auto first = recorder.WaitForTone(kMelody0, 0);
    ASSERT_TRUE(first);
    const auto second = recorder.WaitForTone(kMelody1, *first);
    ASSERT_TRUE(second);
    EXPECT_TRUE(recorder.WaitForTone(kMelody0, *second + kSecond));

    // The second picture's enter sound comes while a melody goes on underneath.
    const auto enter = recorder.WaitForTone(kEnterSound, 0, 30000);
    ASSERT_TRUE(enter);
    EXPECT_TRUE(recorder.ToneIn(kMelody0, *enter, *enter + kSecond / 2) ||
                recorder.ToneIn(kMelody1, *enter, *enter + kSecond / 2));

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    const size_t ended = recorder.Frames();
    EXPECT_TRUE(recorder.SilentFor(kMelody0, ended + kSecond / 2, 2 * kSecond));
    EXPECT_TRUE(recorder.SilentFor(kMelody1, ended + kSecond / 2, 2 * kSecond));
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(ShowSound, MuteSoundsNothingAndWritesNoSoundFile) {
    PackageContent content = SoundContent();
    content.Header.Mute = true;
    Recorder recorder(*server);
    auto show = StartShow(content);
    // Long enough for both pictures and their enter sound.
    EXPECT_TRUE(recorder.SilentFor(kMelody0, 0, 5 * kSecond));
    EXPECT_TRUE(recorder.SilentFor(kEnterSound, 0, 5 * kSecond));
    EXPECT_TRUE(SoundFiles().empty());
    x.Key("Escape");
    EXPECT_TRUE(show->WaitExit(kExitTimeoutMs));
}

TEST_F(ShowSound, EndedBySigtermWhileMusicPlaysItLeavesNoTemporaryFiles) {
    Recorder recorder(*server);
    auto show = StartShow(SoundContent());
    ASSERT_TRUE(recorder.WaitForTone(kMelody0, 0));
    EXPECT_FALSE(SoundFiles().empty());
    show->Kill(SIGTERM);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

// What sounds in each 10 ms of a recording: one of the given tones, sound that is none of them
// (a release dying away), or silence (below -60 dBFS; the private server adds no noise).
struct Timeline {
    static constexpr size_t kBlock = kRecordRate / 100;
    static constexpr int kSilence = -1, kOther = -2;
    std::vector<int> label; // index into the tones, or kSilence or kOther
    std::vector<double> rms;

    Timeline(const std::vector<int16_t>& samples, const std::vector<double>& tones) {
        for (size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
            double sum = 0;
            for (size_t i = at; i < at + kBlock; ++i)
                sum += static_cast<double>(samples[i]) * samples[i];
            rms.push_back(std::sqrt(sum / kBlock));
            int best = rms.back() < 33 ? kSilence : kOther;
            double bestLevel = kToneThreshold;
            for (size_t t = 0; t < tones.size() && best != kSilence; ++t) {
                const double level = ToneLevel(&samples[at], kBlock, tones[t]);
                if (level > bestLevel) {
                    bestLevel = level;
                    best = static_cast<int>(t);
                }
            }
            label.push_back(best);
        }
    }

    // For every change from tone `from` to tone `to`: the longest silence between the last
    // block of the one and the first block of the other, in milliseconds.
    std::vector<int> Gaps(int from, int to) const {
        std::vector<int> gaps;
        int last = -100; // the tone heard last
        int run = 0, longest = 0;
        for (int l : label) {
            if (l == kSilence) {
                longest = std::max(longest, ++run);
                continue;
            }
            run = 0;
            if (l == kOther) continue;
            if (l != last) {
                if (last == from && l == to) gaps.push_back(longest * 10);
                last = l;
            }
            longest = 0;
        }
        return gaps;
    }

    // RMS in dBFS over the blocks of one tone, leaving out each stretch's first and last
    // 100 ms (attack and release).
    double Level(int tone) const {
        double sum = 0;
        size_t n = 0;
        for (size_t i = 10; i + 10 < label.size(); ++i) {
            bool inside = true;
            for (size_t j = i - 10; j <= i + 10 && inside; ++j)
                inside = label[j] == tone;
            if (!inside) continue;
            sum += rms[i] * rms[i];
            ++n;
        }
        return n == 0 ? -1000 : 20 * std::log10(std::sqrt(sum / static_cast<double>(n)) / 32768);
    }
};

std::string Joined(const std::vector<int>& values) {
    std::string out;
    for (int v : values)
        out += std::to_string(v) + " ";
    return out;
}

// Two WAV melodies and a MIDI one, repeated: each follows the one before without a pause
// (the MIDI one too, its synthesis trimmed after the release of its note), and the MIDI
// melody sounds as loud as the others.
TEST_F(ShowSound, MelodiesFollowEachOtherWithoutAPauseAndMidiIsAsLoudAsTheRest) {
    constexpr double kMidiTone = 880;
    PackageContent content = SoundContent();
    content.Items[1].Record.EnterSoundIndex = -1; // nothing over the music
    content.Melodies.clear();
    content.Melodies.push_back({{{}, ".wav"}, ToneWav(kMelody0, 1.2)});
    content.Melodies.push_back({{{}, ".wav"}, ToneWav(kMelody1, 1.2)});
    content.Melodies.push_back({{{}, ".mid"}, OneNoteMidi(81, 1.5)});
    Recorder recorder(*server);
    auto show = StartShow(content);
    const auto first = recorder.WaitForTone(kMelody0, 0, 30000);
    ASSERT_TRUE(first) << show->Err();
    // Three rounds of the list, read from the recording whenever it gets there.
    const size_t end = *first + 13 * kSecond;
    ASSERT_TRUE(recorder.WaitFrames(end, 60000));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));

    const Timeline timeline(recorder.Samples(*first, end), {kMelody0, kMelody1, kMidiTone});
    const std::vector<int> wavToWav = timeline.Gaps(0, 1);
    const std::vector<int> intoMidi = timeline.Gaps(1, 2);
    const std::vector<int> afterMidi = timeline.Gaps(2, 0);
    std::printf("gaps in ms: wav to wav %s| wav to midi %s| midi to wav %s\n",
                Joined(wavToWav).c_str(), Joined(intoMidi).c_str(), Joined(afterMidi).c_str());
    std::printf("levels in dBFS: wav %.1f, midi %.1f\n", timeline.Level(0), timeline.Level(2));
    ASSERT_GE(wavToWav.size(), 2u);
    ASSERT_GE(afterMidi.size(), 2u);
    // A starved sound server on a loaded machine can drop out at any moment, so one pause may
    // run long; the usual one may not.
    std::vector<int> pauses = wavToWav;
    pauses.insert(pauses.end(), afterMidi.begin(), afterMidi.end());
    std::sort(pauses.begin(), pauses.end());
    EXPECT_LE(pauses[pauses.size() / 2], 150);
    EXPECT_LE(pauses.back(), 500);
    // Into the MIDI melody the synthesis has had the whole previous melody to finish; a very
    // busy machine may still be late with it, so only a pause as long as a melody counts.
    for (int gap : intoMidi)
        EXPECT_LE(gap, 1000);
    EXPECT_NEAR(timeline.Level(2), timeline.Level(0), 4.0);
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

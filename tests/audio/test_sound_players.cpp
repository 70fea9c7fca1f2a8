// The players on the real audio path: a private sound server records what they play, and
// tones of distinct frequencies tell which sound is heard when.
#include "AudioServer.h"
#include "media/MediaPlayer.h"
#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"
#include "sound/EnterSoundPlayer.h"
#include "sound/MelodyPlayer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

namespace pictorelle::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kSecond = kRecordRate;

class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        EnsureApplication();
        server = new AudioServer();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override { recorder = std::make_unique<Recorder>(*server); }
    void TearDown() override { recorder.reset(); }

    std::string Tone(const std::string& name, double frequency, double seconds) {
        const std::string path = dir / name;
        WriteFile(path, ToneWav(frequency, seconds));
        return path;
    }
    // A package of melodies and enter sounds, read back the way the show reads it.
    std::string WriteShow(const std::vector<std::vector<uint8_t>>& melodies,
                          const std::vector<std::vector<uint8_t>>& enterSounds) {
        PackageContent content;
        content.Strings[StringId::SaverTitle] = "Sound Show";
        for (const auto& bytes : melodies) content.Melodies.push_back({{{}, ".wav"}, bytes});
        for (const auto& bytes : enterSounds) content.EnterSounds.push_back({{{}, ".wav"}, bytes});
        const std::string path = dir / "show.scr";
        WriteFile(path, WritePackage(content));
        FileSource file(path);
        package = ReadPackage(file);
        return path;
    }
    std::optional<size_t> Hear(double frequency, size_t from, int timeoutMs = 20000) {
        return recorder->WaitForTone(frequency, from, timeoutMs);
    }

    static inline AudioServer* server = nullptr;
    std::unique_ptr<Recorder> recorder;
    ScratchDir dir;
    Package package;
};

TEST_F(SoundTest, WaveTonePlaysToItsEndAndReportsSuccess) {
    TMediaPlayer player;
    std::vector<TNotifyValue> ends;
    player.OnNotify = [&](TNotifyValue v) { ends.push_back(v); };
    player.SetFileName(Tone("a.wav", 440, 1.0));
    const size_t start = recorder->Frames();
    ASSERT_TRUE(player.Open());
    player.Play();
    player.SetNotify(true);
    const auto heard = Hear(440, start);
    ASSERT_TRUE(heard);
    EXPECT_FALSE(recorder->ToneIn(1000, start, *heard + kSecond / 2));
    ASSERT_TRUE(PumpUntil([&] { return !ends.empty(); }));
    EXPECT_EQ(ends, std::vector<TNotifyValue>{TNotifyValue::Successful});
    EXPECT_FALSE(player.Playing());
    EXPECT_FALSE(TMediaPlayer::AudioDeviceMissing());
    // Once ended it stays quiet (the notification comes when the last samples are handed to
    // the server, which still plays what it buffered).
    EXPECT_TRUE(recorder->SilentFor(440, recorder->Frames() + kSecond, kSecond / 2));
}

TEST_F(SoundTest, MidiFileIsSynthesisedHeardAndEndsWithSuccess) {
    TMediaPlayer player;
    std::vector<TNotifyValue> ends;
    player.OnNotify = [&](TNotifyValue v) { ends.push_back(v); };
    const std::string midi = dir / "note.MID";
    WriteFile(midi, OneNoteMidi(81, 1.0));
    player.SetFileName(midi);
    const size_t start = recorder->Frames();
    ASSERT_TRUE(player.Open());
    player.Play();
    player.SetNotify(true);
    EXPECT_TRUE(Hear(880, start, 30000));
    ASSERT_TRUE(PumpUntil([&] { return !ends.empty(); }, 30000));
    EXPECT_EQ(ends, std::vector<TNotifyValue>{TNotifyValue::Successful});
    // The synthesised sound goes with the player's close; the MIDI file stays.
    player.Close();
    EXPECT_TRUE(fs::exists(midi));
    for (const auto& entry : fs::directory_iterator(TempFolder()))
        EXPECT_EQ(entry.path().filename().string().rfind("SSMIDI", 0), std::string::npos);
}

TEST_F(SoundTest, CloseCutsTheSoundAndReportsAbortedOnlyWithNotification) {
    TMediaPlayer player;
    std::vector<TNotifyValue> ends;
    player.OnNotify = [&](TNotifyValue v) { ends.push_back(v); };
    player.SetFileName(Tone("long.wav", 660, 20.0));
    ASSERT_TRUE(player.Open());
    player.Play();
    player.SetNotify(true);
    ASSERT_TRUE(Hear(660, recorder->Frames()));
    player.Close();
    EXPECT_FALSE(player.Playing());
    EXPECT_EQ(player.FileName(), dir / "long.wav");
    // Give the stop a moment to reach the server, then nothing more of the tone.
    PumpUntil([] { return false; }, 600);
    EXPECT_TRUE(recorder->SilentFor(660, recorder->Frames(), kSecond));
    EXPECT_EQ(ends, std::vector<TNotifyValue>{TNotifyValue::Aborted});

    // Without notification a close says nothing; a file that is not there fails.
    ends.clear();
    player.Open();
    player.Play();
    player.SetNotify(false);
    player.Close();
    player.SetFileName(dir / "missing.wav");
    EXPECT_FALSE(player.Open());
    player.Play();
    player.SetNotify(true);
    ASSERT_TRUE(PumpUntil([&] { return !ends.empty(); }));
    EXPECT_EQ(ends, std::vector<TNotifyValue>{TNotifyValue::Failed});
}

TEST_F(SoundTest, EnterSoundPlaysOverTheMusicAndTheNextOneCutsItOff) {
    const std::string show = WriteShow({ToneWav(440, 20.0)}, {ToneWav(1000, 20.0), ToneWav(1320, 1.0)});
    SaverSettings settings;
    TMelodyPlayer music(show, package, settings);
    TEnterSoundPlayer enter(show, package);
    const size_t start = recorder->Frames();
    music.Start();
    const auto musicHeard = Hear(440, start);
    ASSERT_TRUE(musicHeard);
    EXPECT_TRUE(fs::exists(TempFilePath("SSSND", ".wav")));

    enter.LoadEnterSound(0);
    const auto first = Hear(1000, *musicHeard);
    ASSERT_TRUE(first);
    EXPECT_TRUE(Hear(440, *first, 2000)) << "the music goes on under the enter sound";
    EXPECT_TRUE(fs::exists(TempFilePath("SSSnd", ".wav")));

    enter.LoadEnterSound(1);
    const size_t cut = recorder->Frames();
    ASSERT_TRUE(Hear(1320, cut));
    PumpUntil([] { return false; }, 600);
    EXPECT_TRUE(recorder->SilentFor(1000, recorder->Frames(), kSecond / 2));

    enter.Stop();
    music.Stop();
    EXPECT_FALSE(fs::exists(TempFilePath("SSSnd", ".wav")));
    EXPECT_FALSE(fs::exists(TempFilePath("SSSND", ".wav")));
    PumpUntil([] { return false; }, 600);
    EXPECT_TRUE(recorder->SilentFor(440, recorder->Frames(), kSecond / 2));
}

TEST_F(SoundTest, BuiltInListPlaysInOrderOnceWithoutLoop) {
    const std::string show = WriteShow({ToneWav(440, 0.8), ToneWav(660, 0.8)}, {});
    SaverSettings settings;
    settings.Loop = false;
    TMelodyPlayer music(show, package, settings);
    const size_t start = recorder->Frames();
    music.Start();
    const auto first = Hear(440, start);
    ASSERT_TRUE(first);
    const auto second = Hear(660, *first);
    ASSERT_TRUE(second);
    EXPECT_TRUE(PumpUntil([&] { return music.CurrentMelody() == 2 && !music.SndPlay().Playing(); }));
    // Each melody's file went when it ended; no third melody and no new pass.
    EXPECT_FALSE(fs::exists(TempFilePath("SSSND", ".wav")));
    EXPECT_TRUE(recorder->SilentFor(440, recorder->Frames(), kSecond));
}

TEST_F(SoundTest, UsersOwnListSkipsNothingAndDeletesNothing) {
    const std::string mine = Tone("mine.wav", 880, 0.6);
    SaverSettings settings;
    settings.UseCustomPlaylist = true;
    TMelodyPlayer music("", package, settings, {mine, mine});
    EXPECT_EQ(music.MelodyCount(), 2);
    const size_t start = recorder->Frames();
    music.Start();
    ASSERT_TRUE(Hear(880, start));
    // With Loop the list goes round: the second pass starts at melody 0 again.
    EXPECT_TRUE(PumpUntil([&] { return music.CurrentMelody() == 0 && recorder->Frames() > start + 2 * kSecond; }, 30000));
    music.Stop();
    music.DeleteMelodyFile();
    EXPECT_TRUE(fs::exists(mine));

    // A list whose first file is missing plays nothing. The recording can lag behind the
    // sink on a loaded machine, so first find where the stopped tone has died away in it.
    size_t quiet = recorder->Frames();
    for (int tries = 0; tries < 20 && !recorder->SilentFor(880, quiet, kSecond / 2); ++tries)
        quiet = recorder->Frames();
    TMelodyPlayer missing("", package, settings, {dir / "gone.wav", mine});
    missing.Start();
    EXPECT_FALSE(missing.SndPlay().Playing());
    EXPECT_TRUE(recorder->SilentFor(880, quiet, 3 * kSecond));
}

} // namespace
} // namespace pictorelle::test

namespace pictorelle::test {
namespace {

// No sound server, no PipeWire, no ALSA device: the player goes silent but keeps its time.
TEST(NoAudioDevice, FilesStillPlayInTheirOwnTimeAndTheUserIsToldOnce) {
    EnsureApplication();
    ScratchDir dir;
    WriteFile(dir / "empty.conf", {});
    ::setenv("PULSE_SERVER", "unix:/nonexistent/pictorelle", 1);
    ::setenv("PIPEWIRE_REMOTE", "/nonexistent/pictorelle", 1);
    ::setenv("ALSA_CONFIG_PATH", (dir / "empty.conf").c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    WriteFile(dir / "a.wav", ToneWav(440, 1.5));

    testing::internal::CaptureStderr();
    std::vector<TNotifyValue> ends;
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < 2; ++round) {
        TMediaPlayer player;
        player.OnNotify = [&](TNotifyValue v) { ends.push_back(v); };
        player.SetFileName(dir / "a.wav");
        ASSERT_TRUE(player.Open());
        player.Play();
        player.SetNotify(true);
        ASSERT_TRUE(PumpUntil([&] { return ends.size() == static_cast<size_t>(round + 1); }, 30000));
    }
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_EQ(ends, (std::vector<TNotifyValue>{TNotifyValue::Successful, TNotifyValue::Successful}));
    EXPECT_TRUE(TMediaPlayer::AudioDeviceMissing());
    // Silent playback is not instant: a playlist of such melodies does not race round.
    EXPECT_GT(took, std::chrono::milliseconds(1500));
    const std::string message = "no audio device could be opened";
    ASSERT_NE(said.find(message), std::string::npos) << said;
    EXPECT_EQ(said.find(message, said.find(message) + 1), std::string::npos) << said;
}

} // namespace
} // namespace pictorelle::test

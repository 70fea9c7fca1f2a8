// The real show program with sound: a private X server shows it, a private sound server
// records it. Melodies and enter sounds are sine tones of their own frequencies.
#include "../e2e/PlayerFixture.h"
#include "AudioServer.h"

#include <QBuffer>
#include <QImage>
#include <csignal>

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

} // namespace
} // namespace pictorelle::test

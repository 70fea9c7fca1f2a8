// A video's own sound in the real show: heard over the music, and silent with MuteVideo while
// the music goes on.
#include "../e2e/PlayerFixture.h"
#include "../e2e/VideoClips.h"
#include "AudioServer.h"

namespace pictorelle::test {
namespace {

constexpr size_t kSecond = kRecordRate;
constexpr double kMelody = 440, kVideoTone = 1000;

class VideoSound : public PlayerOnDisplay {
protected:
    static void SetUpTestSuite() {
        server = new AudioServer();
        clips = new ScratchDir();
        const std::string complaint =
            MakeClip(*clips / "tone.wmv", kWmv, 320, 240, {QColor(230, 30, 30)}, 4.0, kVideoTone);
        if (!complaint.empty()) std::fprintf(stderr, "%s\n", complaint.c_str());
    }
    static void TearDownTestSuite() {
        delete clips;
        delete server;
        clips = nullptr;
        server = nullptr;
    }

    // The video with its tone as the only item; music all along.
    static PackageContent Content(bool muteVideo) {
        PackageContent c = ShowContent();
        c.Header.Seconds = 1;
        c.Header.Loop = true;
        c.Header.MuteVideo = muteVideo;
        PackageEntry<ItemRecord> video;
        video.Record.Ext = ".wmv";
        video.Data = ReadWholeFile(*clips / "tone.wmv");
        c.Items.push_back(std::move(video));
        c.Melodies.push_back({{{}, ".wav"}, ToneWav(kMelody, 2.0)});
        return c;
    }

    std::unique_ptr<Process> StartShow(const PackageContent& content) {
        std::vector<std::string> env = Env();
        for (const std::string& e : server->ClientEnvironment())
            env.push_back(e);
        x.MoveMouse(5, 5);
        auto show =
            std::make_unique<Process>(MakeShow(content), std::vector<std::string>{"/s"}, env);
        EXPECT_FALSE(WaitForWindow(kTitleRegex).empty());
        return show;
    }

    static inline AudioServer* server = nullptr;
    static inline ScratchDir* clips = nullptr;
};

TEST_F(VideoSound, AVideoIsHeardOverTheMusic) {
    Recorder recorder(*server);
    auto show = StartShow(Content(false));
    const auto tone = recorder.WaitForTone(kVideoTone, 0, 30000);
    ASSERT_TRUE(tone) << show->Err();
    EXPECT_TRUE(recorder.WaitForTone(kMelody, 0));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(VideoSound, MuteVideoSilencesTheVideoWhileTheMusicGoesOn) {
    Recorder recorder(*server);
    auto show = StartShow(Content(true));
    // The video on screen, the music sounding.
    ASSERT_TRUE(WaitUntil([&] {
        const Rgb p = x.Pixel(512, 384);
        return p.r > 180 && p.g < 80 && p.b < 80;
    })) << show->Err();
    const auto melody = recorder.WaitForTone(kMelody, 0);
    ASSERT_TRUE(melody);
    const size_t from = recorder.Frames();
    ASSERT_TRUE(recorder.WaitFrames(from + 5 * kSecond));
    EXPECT_TRUE(recorder.SilentFor(kVideoTone, 0, from + 5 * kSecond));
    EXPECT_TRUE(recorder.ToneIn(kMelody, from, from + 5 * kSecond));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

// A user who starts a show from a terminal reads only the show's own lines: the libraries
// behind the music (the sound server's client libraries, the MIDI synthesiser), the enter
// sound and the video (its decoders) keep theirs to themselves. This machine has PipeWire's
// client library without a PipeWire server, and no video decoding hardware.
TEST_F(VideoSound, AShowWithMusicAnEnterSoundAndAVideoPrintsNothingOfTheLibraries) {
    PackageContent c = Content(false);
    c.Header.Seconds = 2;
    PackageEntry<ItemRecord> picture;
    picture.Record.Ext = ".png";
    picture.Record.EnterSoundIndex = 0;
    picture.Data = SolidPng(Qt::blue);
    c.Items.insert(c.Items.begin(), std::move(picture));
    c.EnterSounds.push_back({{{}, ".wav"}, ToneWav(1320, 0.5)});
    c.Melodies.push_back({{{}, ".mid"}, OneNoteMidi(81, 1.0)});
    Recorder recorder(*server);
    auto show = StartShow(c);
    // The enter sound, the melodies and then the video, each heard.
    ASSERT_TRUE(recorder.WaitForTone(1320, 0, 30000)) << show->Err();
    const auto video = recorder.WaitForTone(kVideoTone, 0, 30000);
    ASSERT_TRUE(video) << show->Err();
    ASSERT_TRUE(recorder.WaitForTone(880, 0, 30000)) << show->Err();
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Err(), "");
}

} // namespace
} // namespace pictorelle::test

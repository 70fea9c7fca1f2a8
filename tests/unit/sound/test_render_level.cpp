#include "sound/engine/RenderLevel.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace pictorelle {
namespace {

constexpr size_t kBlock = 1024;

// Blocks of a sine at `peak`, as the synthesiser's float output would give them.
void AddSine(TRenderLevels& levels, double peak, int blocks) {
    std::vector<float> block(kBlock);
    for (int b = 0; b < blocks; ++b) {
        for (size_t i = 0; i < kBlock; ++i)
            block[i] = static_cast<float>(
                peak * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / 44100));
        levels.Add(block.data(), block.size());
    }
}

void AddConstant(TRenderLevels& levels, float value, int blocks) {
    const std::vector<float> block(kBlock, value);
    for (int b = 0; b < blocks; ++b)
        levels.Add(block.data(), block.size());
}

TEST(RenderLevel, AQuietRenderIsRaisedToTheLevelOfOrdinaryMusic) {
    // A held note as the synthesiser plays it by default: about -39 dBFS RMS.
    TRenderLevels levels;
    const double peak = TRenderLevels::FromDb(-39) * std::sqrt(2.0);
    AddSine(levels, peak, 40);
    const double gain = levels.Gain();
    EXPECT_NEAR(TRenderLevels::ToDb(gain), 23.0, 0.3);
    EXPECT_NEAR(TRenderLevels::ToDb(gain * peak / std::sqrt(2.0)), kMusicLevelDb, 0.3);

    // A loud render is brought down to the same level.
    TRenderLevels loud;
    AddSine(loud, 0.9, 40);
    EXPECT_NEAR(TRenderLevels::ToDb(loud.Gain() * 0.9 / std::sqrt(2.0)), kMusicLevelDb, 0.3);
}

TEST(RenderLevel, TheGainNeverClipsAndNeverBlowsUpNearSilence) {
    // Mostly quiet with one loud stroke: the average alone would push the stroke past full
    // scale.
    TRenderLevels spiky;
    AddSine(spiky, 0.01, 1000);
    AddSine(spiky, 0.9, 1);
    const double gain = spiky.Gain();
    EXPECT_LE(gain * 0.9, TRenderLevels::FromDb(kPeakCeilingDb) + 1e-6);
    EXPECT_GT(TRenderLevels::ToDb(gain * 0.9), kPeakCeilingDb - 0.1);

    // A faint hiss is not made into noise.
    TRenderLevels faint;
    AddSine(faint, 1e-4, 10);
    EXPECT_NEAR(TRenderLevels::ToDb(faint.Gain()), kMaxGainDb, 1e-9);

    // No sound at all: left as it is.
    TRenderLevels silent;
    AddConstant(silent, 0.0f, 10);
    EXPECT_EQ(silent.Gain(), 1.0);
}

TEST(RenderLevel, ALongFadingReleaseDoesNotLowerTheLevel) {
    // A short note with a long tail: the level is the note's, not the average with the tail.
    TRenderLevels levels;
    AddSine(levels, 0.05, 10);
    for (int b = 0; b < 60; ++b)
        AddSine(levels, 0.05 * std::pow(0.9, b + 1), 1);
    // (Averaged with its tail the note would come out 7 dB too loud.)
    EXPECT_NEAR(TRenderLevels::ToDb(levels.Gain() * 0.05 / std::sqrt(2.0)), kMusicLevelDb, 2.5);
}

TEST(RenderLevel, TheSilenceAfterTheLastReleaseIsCutAndNothingBefore) {
    TRenderLevels levels;
    AddSine(levels, 0.2, 10);     // the notes
    AddConstant(levels, 0.0f, 5); // a rest inside the melody
    AddSine(levels, 0.2, 10);
    AddSine(levels, 0.01, 3);       // the release, fading
    AddSine(levels, 3e-5, 4);       // the reverb's last trace, far below hearing unless raised
    AddConstant(levels, 0.0f, 100); // digital silence until the file's end
    const double gain = levels.Gain();
    EXPECT_EQ(levels.KeptBlocks(gain), 28u);
    // The cut follows the gain: a render raised a lot keeps less of its fading trace.
    EXPECT_EQ(levels.KeptBlocks(1.0), 28u);
    EXPECT_EQ(levels.KeptBlocks(100.0), 32u);

    // A render of nothing but silence still keeps one block: an empty file reads as broken.
    TRenderLevels silent;
    AddConstant(silent, 0.0f, 50);
    EXPECT_EQ(silent.KeptBlocks(silent.Gain()), 1u);
    EXPECT_EQ(TRenderLevels().KeptBlocks(1.0), 0u);
}

TEST(RenderLevel, BrokenSamplesDoNotPoisonTheMeasure) {
    TRenderLevels levels;
    AddSine(levels, 0.05, 20);
    AddConstant(levels, std::nanf(""), 2);
    const double gain = levels.Gain();
    EXPECT_TRUE(std::isfinite(gain));
    EXPECT_NEAR(TRenderLevels::ToDb(gain * 0.05 / std::sqrt(2.0)), kMusicLevelDb, 0.5);
}

} // namespace
} // namespace pictorelle

#include "sound/engine/RenderLevel.h"

#include <algorithm>
#include <cmath>

namespace pictorelle {

namespace {

// Below this a block counts as no sound at all when the average is taken (the gain is not
// known yet, so this floor is absolute: far under anything the synthesiser plays as a note).
constexpr double kNoSoundDb = -100.0;
// Blocks whose power is this far under the average of all sounding blocks do not count
// towards the level.
constexpr double kRelativeGateDb = -10.0;

} // namespace

double TRenderLevels::ToDb(double factor) {
    return factor > 0 ? 20.0 * std::log10(factor) : -1000.0;
}

double TRenderLevels::FromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

void TRenderLevels::Add(const float* samples, size_t count) {
    TBlock block;
    block.Samples = count;
    for (size_t i = 0; i < count; ++i) {
        const float s = samples[i];
        // A NaN compares false and is left out; the writer turns it into silence.
        if (!(std::fabs(s) <= 1e30f)) continue;
        block.Peak = std::max(block.Peak, std::fabs(s));
        block.SumSquares += double{s} * s;
    }
    blocks_.push_back(block);
}

double TRenderLevels::Gain() const {
    // The level is that of the music while it plays: blocks without any sound (rests, the
    // silence after the end) are left out, and so are those far under the average (a release
    // dying away), as loudness meters gate them, so that a short tune with a long reverb tail
    // is not raised past the others.
    const double noSound = FromDb(kNoSoundDb);
    auto power = [](const TBlock& b) { return b.SumSquares / static_cast<double>(b.Samples); };
    auto mean = [&](double gate) {
        double sum = 0;
        size_t samples = 0;
        for (const TBlock& b : blocks_)
            if (b.Samples > 0 && b.Peak > noSound && power(b) >= gate) {
                sum += b.SumSquares;
                samples += b.Samples;
            }
        return samples == 0 ? 0.0 : sum / static_cast<double>(samples);
    };
    const double ungated = mean(0);
    if (ungated <= 0) return 1.0;
    // Twice: the first gate still lets the loud start of a release pull the average down.
    const double gate = std::pow(10.0, kRelativeGateDb / 10.0);
    const double rms = std::sqrt(mean(mean(ungated * gate) * gate));
    float peak = 0;
    for (const TBlock& b : blocks_)
        peak = std::max(peak, b.Peak);
    double gain = FromDb(kMusicLevelDb) / rms;
    gain = std::min(gain, FromDb(kPeakCeilingDb) / peak);
    return std::min(gain, FromDb(kMaxGainDb));
}

size_t TRenderLevels::KeptBlocks(double gain) const {
    const double floor = FromDb(kTailFloorDb);
    size_t end = blocks_.size();
    while (end > 0 && blocks_[end - 1].Peak * gain < floor)
        --end;
    return std::max(end, std::min<size_t>(1, blocks_.size()));
}

} // namespace pictorelle

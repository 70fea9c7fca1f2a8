// How a synthesised melody is finished before it plays: brought to the loudness of ordinary
// music (the synthesiser's own output is about 20 dB quieter than a mastered recording) without
// clipping, and cut after the release of its last notes so that the next melody follows at once
// instead of after seconds of digital silence.
//
// The synthesiser's floating-point output (full scale is +-1) is measured block by block while
// it is written; afterwards the gain and the length to keep are decided from those figures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pictorelle {

// The average level a melody is brought to (RMS over its sounding part), the highest peak
// allowed after the gain, and the most a render is ever raised (so that a nearly silent file
// does not turn into amplified noise).
inline constexpr double kMusicLevelDb = -16.0;
inline constexpr double kPeakCeilingDb = -1.0;
inline constexpr double kMaxGainDb = 40.0;
// After the gain, a block whose peak stays below this is silence (44 dB under the music's
// average, and nothing a listener hears once the next melody starts): what follows the last
// louder block is cut, and that block fades out.
inline constexpr double kTailFloorDb = -60.0;

class TRenderLevels {
public:
    // Measures one block of samples (any layout; all samples count alike).
    void Add(const float* samples, size_t count);

    size_t Blocks() const { return blocks_.size(); }
    // Gain (a factor) that brings the music, as it sounds while it plays, to kMusicLevelDb:
    // the RMS over the blocks with sound, leaving out those far under their average (fading
    // releases, rests). Lowered so that no peak passes kPeakCeilingDb, and at most kMaxGainDb;
    // 1 for a render without any sound.
    double Gain() const;
    // How many of the measured blocks to keep with that gain: up to and including the last one
    // that is not silence, and never less than one block of a non-empty render (an empty file
    // would read as a broken one).
    size_t KeptBlocks(double gain) const;

    // dBFS of a factor or RMS value, and back.
    static double ToDb(double factor);
    static double FromDb(double db);

private:
    struct TBlock {
        float Peak = 0;
        double SumSquares = 0;
        size_t Samples = 0;
    };
    std::vector<TBlock> blocks_;
};

} // namespace pictorelle

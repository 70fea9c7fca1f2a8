#include "media/MidiRender.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <vector>

namespace pictorelle {

namespace {

constexpr int kBlockFrames = 1024;
// After the last event the notes ring out until they fall silent, at most this long.
constexpr int kMaxTailSeconds = 3;

// fluidsynth reports to standard error by default; media errors are ours to swallow.
void SilenceFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

void PutLe(std::ostream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void WriteWavHeader(std::ostream& out, uint32_t dataBytes) {
    constexpr uint32_t channels = 2, bits = 16;
    out.write("RIFF", 4);
    PutLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, channels, 2);
    PutLe(out, kMidiSampleRate, 4);
    PutLe(out, kMidiSampleRate * channels * bits / 8, 4);
    PutLe(out, channels * bits / 8, 2);
    PutLe(out, bits, 2);
    out.write("data", 4);
    PutLe(out, dataBytes, 4);
}

struct SynthParts {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    ~SynthParts() {
        if (player) delete_fluid_player(player);
        if (synth) delete_fluid_synth(synth);
        if (settings) delete_fluid_settings(settings);
    }
};

bool Silent(const std::vector<int16_t>& block) {
    return std::all_of(block.begin(), block.end(), [](int16_t s) { return s > -8 && s < 8; });
}

bool Render(const std::string& midiPath, std::ofstream& out, const std::string& soundFont,
            std::stop_token stop, uint32_t& dataBytes) {
    SilenceFluidLog();
    if (!fluid_is_midifile(midiPath.c_str())) return false;
    SynthParts parts;
    parts.settings = new_fluid_settings();
    if (!parts.settings) return false;
    // The player's clock follows the samples we pull, not the wall clock.
    fluid_settings_setstr(parts.settings, "player.timing-source", "sample");
    fluid_settings_setint(parts.settings, "synth.lock-memory", 0);
    fluid_settings_setnum(parts.settings, "synth.sample-rate", kMidiSampleRate);
    parts.synth = new_fluid_synth(parts.settings);
    if (!parts.synth || fluid_synth_sfload(parts.synth, soundFont.c_str(), 1) == FLUID_FAILED)
        return false;
    parts.player = new_fluid_player(parts.synth);
    if (!parts.player || fluid_player_add(parts.player, midiPath.c_str()) != FLUID_OK ||
        fluid_player_play(parts.player) != FLUID_OK)
        return false;

    std::vector<int16_t> block(kBlockFrames * 2);
    const uint64_t maxFrames = uint64_t{kMaxMidiSeconds} * kMidiSampleRate;
    uint64_t frames = 0;
    int tailFrames = 0;
    while (frames < maxFrames) {
        if (stop.stop_requested()) return false;
        const bool playing = fluid_player_get_status(parts.player) == FLUID_PLAYER_PLAYING;
        if (!playing) {
            if (tailFrames >= kMaxTailSeconds * kMidiSampleRate) break;
            tailFrames += kBlockFrames;
        }
        if (fluid_synth_write_s16(parts.synth, kBlockFrames, block.data(), 0, 2, block.data(), 1,
                                  2) != FLUID_OK)
            return false;
        if (!playing && Silent(block)) break;
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(block.size() * sizeof(int16_t)));
        frames += kBlockFrames;
    }
    if (!out) return false;
    dataBytes = static_cast<uint32_t>(frames * 4);
    return true;
}

} // namespace

std::string FindSoundFont() {
    if (const char* chosen = std::getenv("PICTORELLE_SOUNDFONT"); chosen && *chosen)
        return chosen;
    static constexpr std::array<const char*, 4> kCandidates = {
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"};
    std::error_code error;
    for (const char* candidate : kCandidates)
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    return {};
}

bool IsMidiFileName(const std::string& path) {
    const auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == "mid" || ext == "midi";
}

bool RenderMidiToWav(const std::string& midiPath, const std::string& wavPath,
                     const std::string& soundFont, std::stop_token stop) {
    if (soundFont.empty()) return false;
    bool ok = false;
    {
        std::ofstream out(wavPath, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        WriteWavHeader(out, 0);
        uint32_t dataBytes = 0;
        ok = Render(midiPath, out, soundFont, stop, dataBytes);
        if (ok) {
            out.seekp(0);
            WriteWavHeader(out, dataBytes);
            ok = static_cast<bool>(out.flush());
        }
    }
    if (!ok) std::remove(wavPath.c_str());
    return ok;
}

} // namespace pictorelle

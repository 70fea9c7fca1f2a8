#include "media/MidiRender.h"

#include "core/LibraryChatter.h"
#include "sound/engine/RenderLevel.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fluidsynth.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace pictorelle {

namespace {

constexpr int kBlockFrames = 1024;
// After the last event the notes ring out until they fall silent, at most this long.
constexpr int kMaxTailSeconds = 3;

// fluidsynth reports to standard error by default; media errors are ours to swallow, and
// only someone debugging wants to read them.
void SilenceFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (LibraryChatterWanted()) return;
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

constexpr size_t kHeaderBytes = 44;
constexpr uint32_t kChannels = 2;

void PutLe(uint8_t* out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
}

std::array<uint8_t, kHeaderBytes> WavHeader(uint32_t dataBytes) {
    constexpr uint32_t bits = 16;
    std::array<uint8_t, kHeaderBytes> h{};
    std::memcpy(h.data(), "RIFF", 4);
    PutLe(h.data() + 4, 36 + dataBytes, 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    PutLe(h.data() + 16, 16, 4);
    PutLe(h.data() + 20, 1, 2); // PCM
    PutLe(h.data() + 22, kChannels, 2);
    PutLe(h.data() + 24, kMidiSampleRate, 4);
    PutLe(h.data() + 28, kMidiSampleRate * kChannels * bits / 8, 4);
    PutLe(h.data() + 32, kChannels * bits / 8, 2);
    PutLe(h.data() + 34, bits, 2);
    std::memcpy(h.data() + 36, "data", 4);
    PutLe(h.data() + 40, dataBytes, 4);
    return h;
}

// pread or pwrite over the whole range, going on after interruptions and short transfers.
template <class Transfer, class Byte>
bool WholeRange(Transfer transfer, int fd, Byte* p, size_t bytes, off_t at) {
    while (bytes > 0) {
        const ssize_t n = transfer(fd, p, bytes, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<size_t>(n);
        at += n;
    }
    return true;
}

bool WriteAt(int fd, const void* data, size_t bytes, off_t at) {
    return WholeRange(::pwrite, fd, static_cast<const uint8_t*>(data), bytes, at);
}

bool ReadAt(int fd, void* data, size_t bytes, off_t at) {
    return WholeRange(::pread, fd, static_cast<uint8_t*>(data), bytes, at);
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

// The first pass: the synthesiser's float output goes to the file after the header room,
// measured on the way. Returns the frames written.
bool Synthesise(const std::string& midiPath, int fd, const std::string& soundFont,
                std::stop_token stop, TRenderLevels& levels, uint64_t& frames) {
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

    std::vector<float> block(kBlockFrames * kChannels);
    const uint64_t maxFrames = uint64_t{kMaxMidiSeconds} * kMidiSampleRate;
    frames = 0;
    int tailFrames = 0;
    while (frames < maxFrames) {
        if (stop.stop_requested()) return false;
        const bool playing = fluid_player_get_status(parts.player) == FLUID_PLAYER_PLAYING;
        if (!playing) {
            if (tailFrames >= kMaxTailSeconds * kMidiSampleRate) break;
            tailFrames += kBlockFrames;
        }
        if (fluid_synth_write_float(parts.synth, kBlockFrames, block.data(), 0, 2, block.data(), 1,
                                    2) != FLUID_OK)
            return false;
        const bool silent =
            std::all_of(block.begin(), block.end(), [](float s) { return std::fabs(s) < 1e-6f; });
        if (!playing && silent) break;
        levels.Add(block.data(), block.size());
        const off_t at = static_cast<off_t>(kHeaderBytes + frames * kChannels * sizeof(float));
        if (!WriteAt(fd, block.data(), block.size() * sizeof(float), at)) return false;
        frames += kBlockFrames;
    }
    return true;
}

// The second pass, in place: the kept frames become 16-bit samples with the gain applied,
// the last block fading out so that the cut is never a click. A 16-bit frame is half the size
// of a float one, so the writing never overtakes the reading.
bool ConvertToPcm(int fd, uint64_t keptFrames, double gain, std::stop_token stop) {
    std::vector<float> in(kBlockFrames * kChannels);
    std::vector<int16_t> out(kBlockFrames * kChannels);
    const auto factor = static_cast<float>(gain * 32767.0);
    const uint64_t fadeFrom = keptFrames > kBlockFrames ? keptFrames - kBlockFrames : 0;
    for (uint64_t done = 0; done < keptFrames; done += kBlockFrames) {
        if (stop.stop_requested()) return false;
        const size_t count =
            static_cast<size_t>(std::min<uint64_t>(kBlockFrames, keptFrames - done)) * kChannels;
        const off_t from = static_cast<off_t>(kHeaderBytes + done * kChannels * sizeof(float));
        if (!ReadAt(fd, in.data(), count * sizeof(float), from)) return false;
        for (size_t i = 0; i < count; ++i) {
            float v = in[i] * factor;
            if (const uint64_t frame = done + i / kChannels; frame >= fadeFrom)
                v *= static_cast<float>(keptFrames - frame) /
                     static_cast<float>(keptFrames - fadeFrom);
            if (std::isnan(v)) v = 0;
            out[i] = static_cast<int16_t>(std::lrint(std::clamp(v, -32768.0f, 32767.0f)));
        }
        const off_t to = static_cast<off_t>(kHeaderBytes + done * kChannels * sizeof(int16_t));
        if (!WriteAt(fd, out.data(), count * sizeof(int16_t), to)) return false;
    }
    return true;
}

bool Render(const std::string& midiPath, int fd, const std::string& soundFont,
            std::stop_token stop) {
    TRenderLevels levels;
    uint64_t frames = 0;
    if (!Synthesise(midiPath, fd, soundFont, stop, levels, frames)) return false;
    const double gain = levels.Gain();
    const uint64_t kept =
        std::min<uint64_t>(frames, uint64_t{levels.KeptBlocks(gain)} * kBlockFrames);
    if (!ConvertToPcm(fd, kept, gain, stop)) return false;
    const uint64_t dataBytes = kept * kChannels * sizeof(int16_t);
    const auto header = WavHeader(static_cast<uint32_t>(dataBytes));
    return ::ftruncate(fd, static_cast<off_t>(kHeaderBytes + dataBytes)) == 0 &&
           WriteAt(fd, header.data(), header.size(), 0);
}

} // namespace

std::string FindSoundFont() {
    if (const char* chosen = std::getenv("PICTORELLE_SOUNDFONT"); chosen && *chosen) return chosen;
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
    const int fd = ::open(wavPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = Render(midiPath, fd, soundFont, stop);
    if (::close(fd) != 0) ok = false;
    if (!ok) std::remove(wavPath.c_str());
    return ok;
}

} // namespace pictorelle

// A private sound server for tests that listen to what the players play: PulseAudio with a
// null sink, in a runtime folder of its own, and a recorder of that sink's monitor. The
// machine's own sound server, if it runs one, is never touched: this process is pointed at
// the private server (and away from any PipeWire) while the object lives.
#pragma once

#include "../e2e/Run.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pictorelle::test {

inline constexpr int kRecordRate = 48000;

class AudioServer {
public:
    // Starts the server and waits until it answers; throws std::runtime_error otherwise.
    AudioServer();
    ~AudioServer();
    AudioServer(const AudioServer&) = delete;
    AudioServer& operator=(const AudioServer&) = delete;

    // PULSE_SERVER and friends, for a child process.
    std::vector<std::string> ClientEnvironment() const;
    const std::string& Folder() const { return dir_.path(); }

private:
    ScratchDir dir_;
    std::string socket_;
    std::unique_ptr<Process> daemon_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

// Records the null sink's monitor as 16-bit mono at kRecordRate into a file, from
// construction until destruction. Frame positions count from the recording's start.
class Recorder {
public:
    explicit Recorder(const AudioServer& server);
    ~Recorder();

    // Frames recorded so far.
    size_t Frames() const;
    // Waits until at least `frames` are recorded; false when the time ran out.
    bool WaitFrames(size_t frames, int timeoutMs = 30000) const;
    std::vector<int16_t> Samples(size_t from, size_t to) const;

    // The first 50 ms block at or after `from` in which the tone sounds, waiting for the
    // recording to get there; empty when it did not sound before timeoutMs.
    std::optional<size_t> WaitForTone(double frequency, size_t from, int timeoutMs = 20000) const;
    // True when the tone sounds in some 50 ms block between the two positions.
    bool ToneIn(double frequency, size_t from, size_t to) const;
    // Waits until `frames` of the recording after `from` are there, then: true when the tone
    // sounds in none of their 50 ms blocks.
    bool SilentFor(double frequency, size_t from, size_t frames) const;

private:
    std::string path_;
    std::unique_ptr<Process> parec_;
};

// Goertzel amplitude of one frequency in a block: about half the sine's peak amplitude.
double ToneLevel(const int16_t* samples, size_t count, double frequency, int rate = kRecordRate);
// A tone counts as sounding above this level (test tones are made with amplitude 8000).
inline constexpr double kToneThreshold = 600;

// Test fixtures written by the tests: a sine tone as 16-bit mono WAV, and a one-note MIDI
// file (General MIDI ocarina, nearly a sine; note 81 is 880 Hz).
std::vector<uint8_t> ToneWav(double frequency, double seconds, int rate = 44100);
std::vector<uint8_t> OneNoteMidi(int note, double seconds);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Runs the Qt event loop until done() holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 20000);
// The process's QCoreApplication, made on first use.
void EnsureApplication();

} // namespace pictorelle::test

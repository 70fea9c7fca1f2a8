#include "AudioServer.h"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace pictorelle::test {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kBlock = kRecordRate / 20; // 50 ms: a whole number of periods of 20 Hz steps

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end) return false;
        Sleep(20);
    }
    return true;
}

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBig(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
    std::vector<uint8_t> groups = {static_cast<uint8_t>(value & 0x7F)};
    while (value >>= 7) groups.push_back(static_cast<uint8_t>(0x80 | (value & 0x7F)));
    out.insert(out.end(), groups.rbegin(), groups.rend());
}

} // namespace

AudioServer::AudioServer() {
    const std::string runtime = dir_ / "runtime";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    fs::create_directories(dir_ / "home");
    socket_ = runtime + "/native";
    const std::vector<std::string> env = {
        "HOME=" + (dir_ / "home"), "XDG_RUNTIME_DIR=" + runtime,
        "PULSE_RUNTIME_PATH=" + runtime + "/pulse", "PULSE_STATE_PATH=" + (dir_ / "state"),
        "PULSE_SERVER=", "DBUS_SESSION_BUS_ADDRESS=", "DISPLAY="};
    daemon_ = std::make_unique<Process>(
        "pulseaudio",
        std::vector<std::string>{"-n", "--daemonize=no", "--system=no", "--exit-idle-time=-1",
                                 "--use-pid-file=no", "--disable-shm=yes", "--realtime=no",
                                 "--high-priority=no", "--log-target=stderr",
                                 "--load=module-native-protocol-unix socket=" + socket_ +
                                     " auth-anonymous=1",
                                 "--load=module-null-sink sink_name=tests rate=48000",
                                 "--load=module-always-sink"},
        env);
    const bool up = WaitFor(
        [&] {
            if (!daemon_->Running()) return true;
            return fs::exists(socket_) &&
                   RunProgram("pactl", {"info"}, ClientEnvironment()).status == 0;
        },
        30000);
    if (!up || !daemon_->Running())
        throw std::runtime_error("the private sound server did not start: " + daemon_->Err());

    // This process's players talk to the private server only.
    for (const std::string& entry : ClientEnvironment()) {
        const std::string name = entry.substr(0, entry.find('='));
        const char* old = std::getenv(name.c_str());
        savedEnv_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), entry.substr(entry.find('=') + 1).c_str(), 1);
    }
}

AudioServer::~AudioServer() {
    for (const auto& [name, value] : savedEnv_) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    daemon_->Kill(SIGTERM);
    if (!daemon_->WaitExit(5000)) daemon_->Kill(SIGKILL);
    daemon_->WaitExit(5000);
}

std::vector<std::string> AudioServer::ClientEnvironment() const {
    return {"PULSE_SERVER=unix:" + socket_, "PULSE_RUNTIME_PATH=" + (dir_ / "runtime") + "/pulse",
            "XDG_RUNTIME_DIR=" + (dir_ / "runtime"), "PIPEWIRE_REMOTE=/nonexistent/pictorelle"};
}

Recorder::Recorder(const AudioServer& server) : path_(server.Folder() + "/recording.raw") {
    std::remove(path_.c_str());
    parec_ = std::make_unique<Process>(
        "parec",
        std::vector<std::string>{"-d", "tests.monitor", "--format=s16le",
                                 "--rate=" + std::to_string(kRecordRate), "--channels=1",
                                 "--latency-msec=20", "--raw", path_},
        server.ClientEnvironment());
    // The recording runs once the first blocks arrive.
    if (!WaitFrames(kBlock, 30000)) throw std::runtime_error("the recorder did not start");
}

Recorder::~Recorder() {
    parec_->Kill(SIGTERM);
    parec_->WaitExit(5000);
    std::remove(path_.c_str());
}

size_t Recorder::Frames() const {
    std::error_code error;
    const auto size = fs::file_size(path_, error);
    return error ? 0 : static_cast<size_t>(size / 2);
}

bool Recorder::WaitFrames(size_t frames, int timeoutMs) const {
    return WaitFor([&] { return Frames() >= frames; }, timeoutMs);
}

std::vector<int16_t> Recorder::Samples(size_t from, size_t to) const {
    std::vector<int16_t> samples(to > from ? to - from : 0);
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from * 2));
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    samples.resize(static_cast<size_t>(in.gcount() / 2));
    return samples;
}

std::optional<size_t> Recorder::WaitForTone(double frequency, size_t from, int timeoutMs) const {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t at = from;
    while (Clock::now() < end) {
        // Let the players' events run while we listen.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const size_t have = Frames();
        while (at + kBlock <= have) {
            const std::vector<int16_t> block = Samples(at, at + kBlock);
            if (block.size() == kBlock && ToneLevel(block.data(), kBlock, frequency) > kToneThreshold)
                return at;
            at += kBlock;
        }
        Sleep(5);
    }
    return std::nullopt;
}

bool Recorder::ToneIn(double frequency, size_t from, size_t to) const {
    const std::vector<int16_t> samples = Samples(from, to);
    for (size_t at = 0; at + kBlock <= samples.size(); at += kBlock)
        if (ToneLevel(samples.data() + at, kBlock, frequency) > kToneThreshold) return true;
    return false;
}

bool Recorder::SilentFor(double frequency, size_t from, size_t frames) const {
    PumpUntil([&] { return Frames() >= from + frames; }, 30000);
    return !ToneIn(frequency, from, from + frames);
}

double ToneLevel(const int16_t* samples, size_t count, double frequency, int rate) {
    const double k = 2 * std::cos(2 * M_PI * frequency / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < count; ++i) {
        const double s0 = samples[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    return std::sqrt(std::max(power, 0.0)) / static_cast<double>(count);
}

std::vector<uint8_t> ToneWav(double frequency, double seconds, int rate) {
    const auto frames = static_cast<uint32_t>(seconds * rate);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put(out, 36 + frames * 2, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(out, 16, 4);
    Put(out, 1, 2);
    Put(out, 1, 2);
    Put(out, static_cast<uint32_t>(rate), 4);
    Put(out, static_cast<uint32_t>(rate) * 2, 4);
    Put(out, 2, 2);
    Put(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put(out, frames * 2, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const double v = 8000 * std::sin(2 * M_PI * frequency * i / rate);
        Put(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v))), 2);
    }
    return out;
}

std::vector<uint8_t> OneNoteMidi(int note, double seconds) {
    // 96 ticks a quarter note at the default 120 beats a minute: 192 ticks a second.
    std::vector<uint8_t> track = {0x00, 0xC0, 79, // ocarina
                                  0x00, 0x90, static_cast<uint8_t>(note), 100};
    PutVarLen(track, static_cast<uint32_t>(seconds * 192));
    track.insert(track.end(), {0x80, static_cast<uint8_t>(note), 64, 0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                                'M', 'T', 'r', 'k'};
    PutBig(out, static_cast<uint32_t>(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        Sleep(2);
    }
    return true;
}

void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "pictorelle-audio-tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

} // namespace pictorelle::test

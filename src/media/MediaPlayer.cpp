#include "media/MediaPlayer.h"

#include "core/LibraryChatter.h"
#include "media/MidiRender.h"
#include "package/TempFolder.h"

#include <QMetaObject>
#include <algorithm>
#include <alsa/asoundlib.h>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mpv/client.h>
#include <mutex>
#include <utility>
#include <vector>

namespace pictorelle {

namespace {

std::atomic<bool> noAudioDevice{false};

// Said once for the process, however many players find the same thing.
void SayOnce(std::atomic<bool>& said, const char* text) {
    if (!said.exchange(true)) std::fprintf(stderr, "Pictorelle: %s\n", text);
}

// libasound prints its own complaints when it finds no sound card; the fallback message
// below is the one thing a user needs to read.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// The libraries behind mpv's audio outputs write to standard error on their own: libasound
// about missing cards, libpipewire (installed without PipeWire itself) that it has no client
// configuration. Neither is anything a user can act on; PICTORELLE_DEBUG=1 lets them through.
// A PIPEWIRE_DEBUG the user set is theirs and stays.
void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (LibraryChatterWanted()) return;
        snd_lib_error_set_handler(QuietAlsa);
        ::setenv("PIPEWIRE_DEBUG", "0", 0);
    });
}

// The audio output the first working player found. Every later file goes straight to it
// instead of walking mpv's list again (PipeWire, then PulseAudio, ...), which costs time at each
// file and sound. A player that fell back to silence chooses nothing, so that a device that
// comes later is still found.
std::mutex chosenAoMutex;
std::string chosenAo;

void RememberAudioOutput(const char* ao) {
    std::lock_guard lock(chosenAoMutex);
    if (chosenAo.empty()) chosenAo = ao;
}

std::string ChosenAudioOutput() {
    std::lock_guard lock(chosenAoMutex);
    return chosenAo;
}

// Tearing down an mpv instance waits for its threads and its audio output (a third of a
// second is common), so it happens on one helper thread. Its destructor runs at program end,
// before the libraries go away, and waits for the instances still queued.
class TMpvReaper {
public:
    ~TMpvReaper() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
    }
    void Reap(mpv_handle* handle) {
        std::lock_guard lock(mutex_);
        queue_.push_back(handle);
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        wake_.notify_one();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
            if (queue_.empty()) return;
            mpv_handle* handle = queue_.front();
            queue_.pop_front();
            lock.unlock();
            mpv_terminate_destroy(handle);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<mpv_handle*> queue_;
    bool ending_ = false;
    std::thread thread_;
};

TMpvReaper& Reaper() {
    static TMpvReaper reaper;
    return reaper;
}

void SetOption(mpv_handle* mpv, const char* name, const char* value) {
    mpv_set_option_string(mpv, name, value);
}

// The video side: mpv draws into the display's native window. "gpu" where the machine has
// real OpenGL or Vulkan (mpv turns software renderers down while probing), else the plain
// "x11" output, which needs nothing but the X server. mpv's input, cursor, on-screen display
// and controller stay off: the window's own input hook sees every key and mouse move.
void SetVideoOptions(mpv_handle* mpv, const std::string& windowId) {
    SetOption(mpv, "wid", windowId.c_str());
    SetOption(mpv, "vo", "gpu,x11");
    // Hardware decoding pays only where the "gpu" output takes the decoded frames as they
    // are; the choice is made once the output is known (see TMediaPlayer::OpenVideo).
    SetOption(mpv, "hwdec", "no");
    // The video fills the rectangle the show gave it, as the size mode placed it.
    SetOption(mpv, "keepaspect", "no");
    // The output stays between videos: probing it again costs a large part of a second.
    SetOption(mpv, "force-window", "yes");
    // At the end the file stays loaded, so a single video can start again without a reload.
    SetOption(mpv, "keep-open", "yes");
    SetOption(mpv, "input-default-bindings", "no");
    SetOption(mpv, "input-vo-keyboard", "no");
    SetOption(mpv, "input-cursor", "no");
    SetOption(mpv, "cursor-autohide", "no");
    SetOption(mpv, "osc", "no");
    SetOption(mpv, "osd-level", "0");
    SetOption(mpv, "stop-screensaver", "no");
    SetOption(mpv, "sid", "no");
}

mpv_handle* CreateMpv(const std::string& videoWindowId, bool music) {
    QuietLibraries();
    mpv_handle* mpv = mpv_create();
    if (!mpv) return nullptr;
    // No user configuration. mpv's own messages reach the terminal only for debugging.
    if (LibraryChatterWanted()) {
        SetOption(mpv, "terminal", "yes");
        SetOption(mpv, "msg-level", "all=warn");
    }
    if (const std::string ao = ChosenAudioOutput(); !ao.empty()) SetOption(mpv, "ao", ao.c_str());
    // A sound player has no video track and no window.
    if (videoWindowId.empty()) {
        SetOption(mpv, "vid", "no");
        SetOption(mpv, "vo", "null");
        SetOption(mpv, "keep-open", "no");
    }
    // Music keeps its output open from one file to the next queued one, so that melodies
    // follow each other without a pause (QueueNext). Kept open, the output keeps the format it
    // was opened with: a fixed one, so that a mono or low-rate first melody does not narrow
    // every melody after it. CD rate, as most music files and the MIDI renders have it. (A
    // mono file is spread to both sides at -3 dB each, the usual equal-power rule.)
    if (music) {
        SetOption(mpv, "gapless-audio", "yes");
        SetOption(mpv, "audio-channels", "stereo");
        SetOption(mpv, "audio-samplerate", "44100");
    }
    if (!videoWindowId.empty()) {
        SetVideoOptions(mpv, videoWindowId);
    }
    SetOption(mpv, "audio-display", "no");
    SetOption(mpv, "idle", "yes");
    SetOption(mpv, "audio-client-name", "Pictorelle");
    // Music needs no short buffers: fewer wake-ups of the decoder and the output.
    SetOption(mpv, "audio-buffer", "0.5");
    // Without a device the file still plays, silently and in its own time, so a playlist
    // goes on at its usual pace instead of failing (or racing) through its melodies.
    SetOption(mpv, "audio-fallback-to-null", "yes");
    // Package content is not trusted: a "sound" that is really a playlist must not send the
    // player to other files or to the network, and nothing is looked up beside the file.
    SetOption(mpv, "access-references", "no");
    SetOption(mpv, "ytdl", "no");
    SetOption(mpv, "load-scripts", "no");
    SetOption(mpv, "audio-file-auto", "no");
    SetOption(mpv, "sub-auto", "no");
    SetOption(mpv, "cover-art-auto", "no");
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return nullptr;
    }
    mpv_observe_property(mpv, 0, "current-ao", MPV_FORMAT_STRING);
    if (!videoWindowId.empty()) mpv_observe_property(mpv, 0, "eof-reached", MPV_FORMAT_FLAG);
    return mpv;
}

// A library folder holds a file whose name starts with `prefix` and ends with `suffix` (or
// holds it with a version after the suffix), `except` aside.
bool DriverInstalled(const std::vector<std::string>& folders, const std::string& prefix,
                     const std::string& suffix, const std::string& except = {}) {
    std::error_code error;
    for (const std::string& folder : folders) {
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0 || name.find(suffix) == std::string::npos) continue;
            if (!except.empty() && name.find(except) != std::string::npos) continue;
            return true;
        }
    }
    return false;
}

std::vector<std::string> LibraryFolders(const char* variable, const char* below) {
    if (const char* chosen = variable ? std::getenv(variable) : nullptr; chosen && *chosen)
        return {chosen};
    std::vector<std::string> folders;
    for (const char* lib : {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu",
                            "/usr/lib/i386-linux-gnu", "/usr/lib64", "/usr/lib"})
        folders.push_back(std::string(lib) + below);
    return folders;
}

// The hardware decoding interfaces mpv may try: those with a driver installed (VA-API's
// *_drv_video.so, a VDPAU backend other than its tracer, NVIDIA's CUDA library), decided once.
std::string HardwareDecoders() {
    static const std::string chosen = [] {
        const bool vaapi =
            DriverInstalled(LibraryFolders("LIBVA_DRIVERS_PATH", "/dri"), "", "_drv_video.so");
        const bool vdpau = DriverInstalled(LibraryFolders("VDPAU_DRIVER_PATH", "/vdpau"),
                                           "libvdpau_", ".so", "trace");
        const bool nvdec = DriverInstalled(LibraryFolders(nullptr, ""), "libcuda.so", "");
        std::string list;
        for (auto [present, name] :
             {std::pair{vaapi, "vaapi"}, std::pair{vdpau, "vdpau"}, std::pair{nvdec, "nvdec"}})
            if (present) list += list.empty() ? name : std::string(",") + name;
        if (list.empty()) return std::string("no");
        // One interface by name; several: mpv's own safe order among them.
        return list.find(',') == std::string::npos ? list : std::string("auto-safe");
    }();
    return chosen;
}

std::atomic<int> playerSerial{0};

} // namespace

TMediaPlayer::TMediaPlayer(QObject* parent) : TMediaPlayer(TPlayerRole::Sound, parent) {}

TMediaPlayer::TMediaPlayer(TPlayerRole role, QObject* parent)
    : QObject(parent), mpv_(CreateMpv({}, role == TPlayerRole::Music)) {
    Attach();
}

TMediaPlayer::TMediaPlayer(QWidget& display, QObject* parent)
    : QObject(parent), mpv_(CreateMpv(std::to_string(display.winId()), false)), video_(true),
      display_(&display) {
    Attach();
}

void TMediaPlayer::Attach() {
    if (!mpv_) return;
    mpv_set_wakeup_callback(
        mpv_,
        [](void* context) {
            // Called on one of mpv's threads: only hand the work to the interface thread.
            auto* self = static_cast<TMediaPlayer*>(context);
            if (self->drainQueued_.exchange(true)) return;
            QMetaObject::invokeMethod(
                self,
                [self] {
                    self->drainQueued_ = false;
                    self->DrainEvents();
                },
                Qt::QueuedConnection);
        },
        this);
}

TMediaPlayer::~TMediaPlayer() {
    // After this returns mpv calls no more wakeups; posted drains die with the object.
    if (mpv_) mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    StopRender(render_);
    DropRenderedFile(render_);
    DropQueued();
    if (!mpv_) return;
    // A video's output draws into the display's window until mpv has gone, and a window
    // destroyed under it is an X error that ends the process: wait for it here.
    if (video_)
        mpv_terminate_destroy(mpv_);
    else
        Reaper().Reap(mpv_);
}

bool TMediaPlayer::AudioDeviceMissing() {
    return noAudioDevice;
}

void TMediaPlayer::Close() {
    if (active_) {
        active_ = false;
        entryId_ = -1;
        if (notify_) PostNotification(TNotifyValue::Aborted, playToken_, false);
    }
    playWhenRendered_ = false;
    loaded_ = false;
    videoEntry_ = -1;
    if (mpv_) {
        // Also empties mpv's playlist, a queued follower with it.
        const char* stop[] = {"stop", nullptr};
        mpv_command_async(mpv_, 0, stop);
    }
    StopRender(render_);
    DropRenderedFile(render_);
    DropQueued();
    kind_ = TKind::None;
}

void TMediaPlayer::SetFileName(const std::string& path) {
    fileName_ = path;
}

bool TMediaPlayer::Open() {
    StopRender(render_);
    DropRenderedFile(render_);
    kind_ = TKind::None;
    std::error_code error;
    if (fileName_.empty() || !std::filesystem::is_regular_file(fileName_, error)) return false;
    if (video_) return OpenVideo();
    if (!IsMidiFileName(fileName_)) {
        kind_ = TKind::Decoded;
        return true;
    }
    static std::atomic<bool> saidNoSoundFont{false};
    if (FindSoundFont().empty()) {
        SayOnce(saidNoSoundFont, "no General MIDI SoundFont found; MIDI files stay silent.");
        return false;
    }
    kind_ = TKind::Midi;
    StartRender(render_, fileName_);
    return !render_.file.empty();
}

void TMediaPlayer::Play() {
    if (active_ && notify_) PostNotification(TNotifyValue::Superseded, playToken_, false);
    // Loading replaces mpv's whole playlist: a queued follower goes too.
    DropQueued();
    playToken_ = ++tokenSerial_;
    entryId_ = -1;
    active_ = true;
    loaded_ = false;
    playWhenRendered_ = false;
    if (!mpv_ || kind_ == TKind::None ||
        (kind_ == TKind::Midi && render_.state == TRender::Failed)) {
        PostNotification(TNotifyValue::Failed, playToken_, true);
        return;
    }
    if (kind_ == TKind::Midi && render_.state != TRender::Done) {
        playWhenRendered_ = true;
        return;
    }
    if (video_) {
        // Opening loaded the video paused; an ended one was rewound or stays on its end.
        if (videoEntry_ < 0) {
            PostNotification(TNotifyValue::Failed, playToken_, true);
            return;
        }
        entryId_ = videoEntry_;
        int paused = 0;
        mpv_set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &paused);
        return;
    }
    LoadIntoMpv(kind_ == TKind::Midi ? render_.file : fileName_);
}

void TMediaPlayer::QueueNext(const std::string& path) {
    DropQueued();
    std::error_code error;
    if (video_ || path.empty() || !std::filesystem::is_regular_file(path, error)) return;
    queued_.path = path;
    queued_.kind = IsMidiFileName(path) ? TKind::Midi : TKind::Decoded;
    if (queued_.kind == TKind::Midi) {
        if (FindSoundFont().empty()) {
            // Played as usual when its turn comes, it fails there as any MIDI file would.
            queued_.kind = TKind::None;
            return;
        }
        StartRender(queued_.render, path);
    }
    SendQueued();
}

// Into mpv's playlist behind the current file, once that one is there and this one is ready.
// "append-play" rather than "append": should the current file have ended meanwhile, mpv starts
// this one instead of idling (late, but without losing it).
void TMediaPlayer::SendQueued() {
    if (!mpv_ || queued_.path.empty() || queued_.sent || !active_ || !loaded_) return;
    std::string file;
    if (queued_.kind == TKind::Decoded)
        file = queued_.path;
    else if (queued_.kind == TKind::Midi && queued_.render.state == TRender::Done)
        file = queued_.render.file;
    else
        return;
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(file, error).string();
    if (error) return;
    queued_.token = ++tokenSerial_;
    const char* load[] = {"loadfile", absolute.c_str(), "append-play", nullptr};
    if (mpv_command_async(mpv_, queued_.token, load) < 0) return;
    queued_.sent = true;
}

void TMediaPlayer::DropQueued() {
    StopRender(queued_.render);
    DropRenderedFile(queued_.render);
    queued_.path.clear();
    queued_.kind = TKind::None;
    queued_.token = 0;
    queued_.entry = -1;
    queued_.sent = false;
    queued_.ended = false;
}

bool TMediaPlayer::PlayQueued() {
    if (queued_.path.empty()) return false;
    fileName_ = queued_.path;
    // The earlier file has ended and mpv has already gone on to this one, or will: the play
    // that runs becomes ours. The earlier MIDI render is read through by now.
    if (queued_.sent && !active_) {
        StopRender(render_);
        DropRenderedFile(render_);
        render_.file = std::move(queued_.render.file);
        render_.state = queued_.render.state;
        kind_ = queued_.kind;
        playToken_ = queued_.token;
        entryId_ = queued_.entry;
        active_ = true;
        loaded_ = true;
        playWhenRendered_ = false;
        const bool ended = queued_.ended;
        const TNotifyValue endValue = queued_.endValue;
        queued_.render.file.clear();
        DropQueued();
        if (ended) PostNotification(endValue, playToken_, true);
        return true;
    }
    // Not in mpv yet (a MIDI file still being synthesised, or no current play to follow): it
    // plays the usual way, its render taken over as it stands.
    StopRender(render_);
    DropRenderedFile(render_);
    render_.file = std::move(queued_.render.file);
    render_.state = queued_.render.state;
    render_.token = queued_.render.token;
    render_.thread = std::move(queued_.render.thread);
    kind_ = queued_.kind;
    queued_.render.file.clear();
    queued_.render.state = TRender::Idle;
    DropQueued();
    Play();
    return true;
}

void TMediaPlayer::Rewind() {
    if (!mpv_ || ((!active_ || entryId_ < 0) && videoEntry_ < 0)) return;
    const char* seek[] = {"seek", "0", "absolute", nullptr};
    mpv_command_async(mpv_, 0, seek);
}

void TMediaPlayer::SetVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    if (!mpv_) return;
    double value = volume_;
    mpv_set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void TMediaPlayer::LoadIntoMpv(const std::string& path) {
    PinAudioOutput();
    // An absolute path is always a plain file to mpv, never a protocol ("fd://", "av://").
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    const char* load[] = {"loadfile", absolute.c_str(), "replace", nullptr};
    if (error || mpv_command_async(mpv_, playToken_, load) < 0) {
        PostNotification(TNotifyValue::Failed, playToken_, true);
        return;
    }
    loaded_ = true;
    SendQueued();
}

void TMediaPlayer::PinAudioOutput() {
    if (aoPinned_ || !mpv_) return;
    const std::string ao = ChosenAudioOutput();
    if (ao.empty()) return;
    aoPinned_ = true;
    const char* value = ao.c_str();
    mpv_set_property_async(mpv_, 0, "ao", MPV_FORMAT_STRING, &value);
}

namespace {

// The playlist entry that a loadfile command's reply names; -1 without one.
int64_t EntryOfReply(const mpv_event& event) {
    const auto* reply = static_cast<const mpv_event_command*>(event.data);
    if (!reply || reply->result.format != MPV_FORMAT_NODE_MAP) return -1;
    const mpv_node_list* map = reply->result.u.list;
    for (int i = 0; i < map->num; ++i)
        if (std::strcmp(map->keys[i], "playlist_entry_id") == 0 &&
            map->values[i].format == MPV_FORMAT_INT64)
            return map->values[i].u.int64;
    return -1;
}

constexpr uint64_t kVideoOpenReply = ~uint64_t{0};

} // namespace

// A media control opens a video before it plays it and knows its frame size from then on,
// so this is the one call that waits for mpv: the video is loaded paused, and the wait ends
// when mpv has read its streams (or failed to). Events that are not about the opening go the
// usual way.
bool TMediaPlayer::OpenVideo() {
    if (!mpv_) return false;
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(fileName_, error).string();
    if (error) return false;
    PinAudioOutput();
    if (outputReleased_) {
        // Made again as the one that worked before, without probing the others.
        if (!videoOutput_.empty()) mpv_set_property_string(mpv_, "vo", videoOutput_.c_str());
        mpv_set_property_string(mpv_, "force-window", "yes");
        outputReleased_ = false;
    }
    ChooseHardwareDecoding();
    int paused = 1;
    mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &paused);
    const char* load[] = {"loadfile", absolute.c_str(), "replace", nullptr};
    if (mpv_command_async(mpv_, kVideoOpenReply, load) < 0) return false;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kVideoOpenTimeoutMs);
    int64_t entry = -1;
    for (;;) {
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (left <= 0) break;
        const mpv_event* event = mpv_wait_event(mpv_, left);
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            continue;
        case MPV_EVENT_COMMAND_REPLY:
            if (event->reply_userdata != kVideoOpenReply) break;
            if (event->error < 0) return false;
            entry = EntryOfReply(*event);
            continue;
        case MPV_EVENT_END_FILE:
            if (entry >= 0 &&
                static_cast<const mpv_event_end_file*>(event->data)->playlist_entry_id == entry)
                return false;
            break;
        case MPV_EVENT_FILE_LOADED: {
            if (entry < 0) break; // an earlier file's
            int64_t width = 0, height = 0;
            if (mpv_get_property(mpv_, "width", MPV_FORMAT_INT64, &width) < 0 ||
                mpv_get_property(mpv_, "height", MPV_FORMAT_INT64, &height) < 0 || width <= 0 ||
                height <= 0) {
                // Sound without a picture is no video: unload it.
                const char* stop[] = {"stop", nullptr};
                mpv_command_async(mpv_, 0, stop);
                return false;
            }
            videoEntry_ = entry;
            displayRect_ = QRect(0, 0, static_cast<int>(width), static_cast<int>(height));
            kind_ = TKind::Decoded;
            return true;
        }
        default:
            break;
        }
        HandleEvent(*event);
    }
    const char* stop[] = {"stop", nullptr};
    mpv_command_async(mpv_, 0, stop);
    return false;
}

// Hardware decoding only with the "gpu" output, which takes the decoder's frames as they are,
// and only through the interfaces whose drivers this machine has. The plain "x11" output (no
// usable OpenGL or Vulkan) would need every frame copied back; and probing an interface whose
// library is installed without a driver (libvdpau comes with the video libraries, its backends
// with a graphics driver) fails, and says so on standard error for every video.
void TMediaPlayer::ChooseHardwareDecoding() {
    NoteVideoOutput();
    const std::string hwdec = videoOutput_ == "gpu" ? HardwareDecoders() : "no";
    mpv_set_property_string(mpv_, "hwdec", hwdec.c_str());
}

// Remembers the output mpv settled on, so that an output made again after ReleaseVideoOutput
// probes nothing (a failing "gpu" probe costs a large part of a second).
void TMediaPlayer::NoteVideoOutput() {
    if (!videoOutput_.empty()) return;
    char* vo = mpv_get_property_string(mpv_, "current-vo");
    if (vo != nullptr) videoOutput_ = vo;
    mpv_free(vo);
}

void TMediaPlayer::ReleaseVideoOutput() {
    if (!mpv_ || !video_ || outputReleased_) return;
    NoteVideoOutput();
    // Without a file to play and without force-window, mpv closes its output and window.
    mpv_set_property_string(mpv_, "force-window", "no");
    outputReleased_ = true;
}

bool TMediaPlayer::VideoOutputOpen() const {
    if (!mpv_ || !video_) return false;
    char* vo = mpv_get_property_string(mpv_, "current-vo");
    mpv_free(vo);
    return vo != nullptr;
}

int64_t TMediaPlayer::DroppedFrames() const {
    int64_t dropped = -1;
    if (mpv_) mpv_get_property(mpv_, "frame-drop-count", MPV_FORMAT_INT64, &dropped);
    return dropped;
}

void TMediaPlayer::DrainEvents() {
    while (mpv_) {
        mpv_event* event = mpv_wait_event(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE) return;
        HandleEvent(*event);
    }
}

void TMediaPlayer::HandleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_COMMAND_REPLY: {
        if (queued_.sent && event.reply_userdata == queued_.token) {
            if (event.error < 0) {
                queued_.ended = true;
                queued_.endValue = TNotifyValue::Failed;
            } else {
                queued_.entry = EntryOfReply(event);
            }
            return;
        }
        if (!active_ || event.reply_userdata != playToken_ || playToken_ == 0) return;
        if (event.error < 0) {
            EndCurrent(TNotifyValue::Failed);
            return;
        }
        if (const int64_t entry = EntryOfReply(event); entry >= 0) entryId_ = entry;
        return;
    }
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->playlist_entry_id == videoEntry_) videoEntry_ = -1; // no longer loaded
        if (queued_.sent && queued_.entry >= 0 && end->playlist_entry_id == queued_.entry) {
            // The follower ended before it was taken over: its end is reported then.
            queued_.ended = true;
            queued_.endValue = end->reason == MPV_END_FILE_REASON_EOF ? TNotifyValue::Successful
                                                                      : TNotifyValue::Failed;
            return;
        }
        if (!active_ || entryId_ < 0 || end->playlist_entry_id != entryId_) return;
        switch (end->reason) {
        case MPV_END_FILE_REASON_EOF:
            EndCurrent(TNotifyValue::Successful);
            break;
        case MPV_END_FILE_REASON_STOP:
        case MPV_END_FILE_REASON_QUIT:
            EndCurrent(TNotifyValue::Aborted);
            break;
        default: {
            // An error, or a file that turned out to be a playlist: whatever it would have
            // expanded to is not played.
            const char* stop[] = {"stop", nullptr};
            mpv_command_async(mpv_, 0, stop);
            EndCurrent(TNotifyValue::Failed);
            break;
        }
        }
        return;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<const mpv_event_property*>(event.data);
        if (property->format == MPV_FORMAT_FLAG &&
            std::strcmp(property->name, "eof-reached") == 0) {
            // A video's end: mpv keeps it loaded, paused on its last frame.
            if (*static_cast<int*>(property->data) && active_ && entryId_ >= 0)
                EndCurrent(TNotifyValue::Successful);
            return;
        }
        if (property->format != MPV_FORMAT_STRING || std::strcmp(property->name, "current-ao") != 0)
            return;
        const char* ao = *static_cast<char**>(property->data);
        if (ao && *ao && std::strcmp(ao, "null") != 0) RememberAudioOutput(ao);
        if (ao && std::strcmp(ao, "null") == 0) {
            static std::atomic<bool> said{false};
            noAudioDevice = true;
            SayOnce(said, "no audio device could be opened; sounds play silently.");
        }
        return;
    }
    default:
        return;
    }
}

void TMediaPlayer::EndCurrent(TNotifyValue value) {
    active_ = false;
    entryId_ = -1;
    loaded_ = false;
    playWhenRendered_ = false;
    // Only a melody that played to its end is followed; after a failure mpv would go on to the
    // queued file on its own, unasked.
    if (value != TNotifyValue::Successful && !queued_.path.empty()) {
        if (queued_.sent && mpv_) {
            const char* stop[] = {"stop", nullptr};
            mpv_command_async(mpv_, 0, stop);
        }
        DropQueued();
    }
    if (notify_) Deliver(value);
}

void TMediaPlayer::PostNotification(TNotifyValue value, uint64_t playToken, bool belongsToCurrent) {
    QMetaObject::invokeMethod(
        this,
        [this, value, playToken, belongsToCurrent] {
            if (!belongsToCurrent) {
                Deliver(value);
                return;
            }
            // A later Play or a Close made this one history.
            if (active_ && playToken == playToken_) EndCurrent(value);
        },
        Qt::QueuedConnection);
}

void TMediaPlayer::Deliver(TNotifyValue value) {
    // A copy: the handler may replace itself.
    if (auto handler = OnNotify) handler(value);
}

void TMediaPlayer::StartRender(TRenderJob& job, const std::string& midiPath) {
    try {
        job.file = TempFilePath("SSMIDI" + std::to_string(++playerSerial), ".wav");
    } catch (const std::exception&) {
        job.file.clear();
        job.state = TRender::Failed;
        return;
    }
    const uint64_t token = ++tokenSerial_;
    job.token = token;
    job.state = TRender::Running;
    job.thread = std::jthread([this, token, midi = midiPath, wav = job.file,
                               soundFont = FindSoundFont()](std::stop_token stop) {
        const bool ok = RenderMidiToWav(midi, wav, soundFont, stop);
        if (stop.stop_requested()) return;
        QMetaObject::invokeMethod(
            this, [this, token, ok] { RenderFinished(token, ok); }, Qt::QueuedConnection);
    });
}

void TMediaPlayer::RenderFinished(uint64_t renderToken, bool ok) {
    if (renderToken == 0) return;
    if (renderToken == queued_.render.token) {
        queued_.render.thread.join();
        queued_.render.state = ok ? TRender::Done : TRender::Failed;
        // A failed one is left for PlayQueued, where it fails as the current file would.
        if (ok) SendQueued();
        return;
    }
    if (renderToken != render_.token) return;
    render_.thread.join();
    render_.state = ok ? TRender::Done : TRender::Failed;
    if (!playWhenRendered_ || !active_) return;
    playWhenRendered_ = false;
    if (ok)
        LoadIntoMpv(render_.file);
    else
        EndCurrent(TNotifyValue::Failed);
}

void TMediaPlayer::StopRender(TRenderJob& job) {
    if (job.thread.joinable()) {
        job.thread.request_stop();
        job.thread.join();
    }
    job.token = 0;
    job.state = TRender::Idle;
}

void TMediaPlayer::DropRenderedFile(TRenderJob& job) {
    if (job.file.empty()) return;
    std::remove(job.file.c_str());
    job.file.clear();
}

} // namespace pictorelle

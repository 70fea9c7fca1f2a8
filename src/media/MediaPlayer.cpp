#include "media/MediaPlayer.h"

#include "media/MidiRender.h"
#include "package/TempFolder.h"

#include <alsa/asoundlib.h>
#include <mpv/client.h>

#include <QMetaObject>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>

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

mpv_handle* CreateMpv() {
    static std::once_flag alsaOnce;
    std::call_once(alsaOnce, [] { snd_lib_error_set_handler(QuietAlsa); });
    mpv_handle* mpv = mpv_create();
    if (!mpv) return nullptr;
    // Sound only for now: no video track, no window, no terminal, no user configuration.
    SetOption(mpv, "vid", "no");
    SetOption(mpv, "vo", "null");
    SetOption(mpv, "audio-display", "no");
    SetOption(mpv, "idle", "yes");
    SetOption(mpv, "keep-open", "no");
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
    return mpv;
}

std::atomic<int> playerSerial{0};

} // namespace

TMediaPlayer::TMediaPlayer(QObject* parent) : QObject(parent), mpv_(CreateMpv()) {
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
    StopRender();
    DropRenderedFile();
    if (mpv_) Reaper().Reap(mpv_);
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
    if (mpv_) {
        const char* stop[] = {"stop", nullptr};
        mpv_command_async(mpv_, 0, stop);
    }
    StopRender();
    DropRenderedFile();
    kind_ = TKind::None;
}

void TMediaPlayer::SetFileName(const std::string& path) {
    fileName_ = path;
}

bool TMediaPlayer::Open() {
    StopRender();
    DropRenderedFile();
    kind_ = TKind::None;
    std::error_code error;
    if (fileName_.empty() || !std::filesystem::is_regular_file(fileName_, error)) return false;
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
    StartRender();
    return !renderedFile_.empty();
}

void TMediaPlayer::Play() {
    if (active_ && notify_) PostNotification(TNotifyValue::Superseded, playToken_, false);
    ++playToken_;
    entryId_ = -1;
    active_ = true;
    playWhenRendered_ = false;
    if (!mpv_ || kind_ == TKind::None || (kind_ == TKind::Midi && renderState_ == TRender::Failed)) {
        PostNotification(TNotifyValue::Failed, playToken_, true);
        return;
    }
    if (kind_ == TKind::Midi && renderState_ != TRender::Done) {
        playWhenRendered_ = true;
        return;
    }
    LoadIntoMpv(kind_ == TKind::Midi ? renderedFile_ : fileName_);
}

void TMediaPlayer::Rewind() {
    if (!mpv_ || !active_ || entryId_ < 0) return;
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
    // An absolute path is always a plain file to mpv, never a protocol ("fd://", "av://").
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).string();
    const char* load[] = {"loadfile", absolute.c_str(), "replace", nullptr};
    if (error || mpv_command_async(mpv_, playToken_, load) < 0)
        PostNotification(TNotifyValue::Failed, playToken_, true);
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
        if (!active_ || event.reply_userdata != playToken_ || playToken_ == 0) return;
        if (event.error < 0) {
            EndCurrent(TNotifyValue::Failed);
            return;
        }
        const auto* reply = static_cast<const mpv_event_command*>(event.data);
        if (reply->result.format != MPV_FORMAT_NODE_MAP) return;
        const mpv_node_list* map = reply->result.u.list;
        for (int i = 0; i < map->num; ++i)
            if (std::strcmp(map->keys[i], "playlist_entry_id") == 0 &&
                map->values[i].format == MPV_FORMAT_INT64)
                entryId_ = map->values[i].u.int64;
        return;
    }
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
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
        if (property->format != MPV_FORMAT_STRING || std::strcmp(property->name, "current-ao") != 0)
            return;
        const char* ao = *static_cast<char**>(property->data);
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
    playWhenRendered_ = false;
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

void TMediaPlayer::StartRender() {
    try {
        renderedFile_ =
            TempFilePath("SSMIDI" + std::to_string(++playerSerial), ".wav");
    } catch (const std::exception&) {
        renderedFile_.clear();
        renderState_ = TRender::Failed;
        return;
    }
    const uint64_t token = ++renderToken_;
    renderState_ = TRender::Running;
    renderThread_ = std::jthread([this, token, midi = fileName_, wav = renderedFile_,
                                  soundFont = FindSoundFont()](std::stop_token stop) {
        const bool ok = RenderMidiToWav(midi, wav, soundFont, stop);
        if (stop.stop_requested()) return;
        QMetaObject::invokeMethod(
            this, [this, token, ok] { RenderFinished(token, ok); }, Qt::QueuedConnection);
    });
}

void TMediaPlayer::RenderFinished(uint64_t renderToken, bool ok) {
    if (renderToken != renderToken_) return;
    renderThread_.join();
    renderState_ = ok ? TRender::Done : TRender::Failed;
    if (!playWhenRendered_ || !active_) return;
    playWhenRendered_ = false;
    if (ok)
        LoadIntoMpv(renderedFile_);
    else
        EndCurrent(TNotifyValue::Failed);
}

void TMediaPlayer::StopRender() {
    if (renderThread_.joinable()) {
        renderThread_.request_stop();
        renderThread_.join();
    }
    ++renderToken_;
    renderState_ = TRender::Idle;
}

void TMediaPlayer::DropRenderedFile() {
    if (renderedFile_.empty()) return;
    std::remove(renderedFile_.c_str());
    renderedFile_.clear();
}

} // namespace pictorelle

// The media player behind the show's sounds (SndPlay, EnterSndPlay, the playlist editor's
// MPlay) and its videos (the show's MPlay): one libmpv instance per player, driven the way a
// media control is: close, set the file name, open, play with an end notification.
//
// Threads: every call is made on the user-interface thread and returns at once; nothing here
// waits for mpv. mpv's events are taken from its queue on the user-interface thread, and
// OnNotify runs there too, never from inside a call of this class.
//
// Sound goes to mpv's default audio output (PipeWire, PulseAudio, ALSA, ...). When no device
// can be opened a file plays silently in its own time and ends as usual; the program says so
// once on standard error.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

struct mpv_handle;
struct mpv_event;

namespace pictorelle {

// How a play ended, as the end notification reports it.
enum class TNotifyValue {
    Successful, // the file played to its end
    Superseded, // Play started the file again, or another one, before it ended
    Aborted,    // Close stopped it
    Failed,     // it could not be opened or decoded
};

class TMediaPlayer : public QObject {
    Q_OBJECT
public:
    // A player for sound only.
    explicit TMediaPlayer(QObject* parent = nullptr);
    // A player for videos, which show in display's own native window (made here), filling
    // it. mpv's own input, cursor handling and on-screen controls are off, so keys and mouse
    // moves over the video reach the window as over any other control.
    explicit TMediaPlayer(QWidget& display, QObject* parent = nullptr);
    // Stops playback; the mpv instance is torn down on a helper thread (a video player's at
    // once, while its display window is still there).
    ~TMediaPlayer() override;
    TMediaPlayer(const TMediaPlayer&) = delete;
    TMediaPlayer& operator=(const TMediaPlayer&) = delete;

    // Stops what plays and forgets the opened file; the file name stays. Reports Aborted
    // when a file was playing and the notification was on.
    void Close();
    void SetFileName(const std::string& path);
    const std::string& FileName() const { return fileName_; }
    // Opens the file by its extension: .mid and .midi are synthesised first (on a worker
    // thread), everything else goes to mpv's decoders. False when the file does not exist,
    // or a MIDI file has no SoundFont to play with; Play then reports Failed.
    // A video player opens the file at once, waiting for mpv (a few hundredths of a second,
    // at most kVideoOpenTimeoutMs): false when it cannot be opened or has no picture. After
    // it, DisplayRect is the video's own frame, (0, 0, width, height).
    bool Open();
    // Plays the opened file from its start. A MIDI file starts as soon as it is synthesised.
    void Play();
    // Back to the start of the file that plays; nothing when none does. A video player also
    // rewinds a video that has ended, which then waits for Play without being loaded again.
    void Rewind();

    // Notification rules: Successful and Failed belong to the current play and are reported
    // when the notification is on as they happen (so switching it on right after Play is
    // in time); Aborted and Superseded are reported when it was on as Close or Play ended the
    // earlier play.
    void SetNotify(bool on) { notify_ = on; }
    bool Notify() const { return notify_; }
    std::function<void(TNotifyValue)> OnNotify;

    // Audio volume, 0 to 100 (clamped).
    void SetVolume(int percent);
    int Volume() const { return volume_; }

    // Where a video shows: a window and a rectangle in it. The video fills the window the
    // player was made with; these are kept for the caller, and sound files ignore them.
    void SetDisplay(QWidget* display) { display_ = display; }
    QWidget* Display() const { return display_; }
    void SetDisplayRect(const QRect& rect) { displayRect_ = rect; }
    QRect DisplayRect() const { return displayRect_; }

    // A play was started and has not ended (a MIDI file still being synthesised counts).
    bool Playing() const { return active_; }

    // True once any player found no audio device and fell back to silence.
    static bool AudioDeviceMissing();

    // How long a video player's Open waits for mpv before it gives the file up.
    static constexpr int kVideoOpenTimeoutMs = 10000;
    // Frames the video output dropped since the player was made (-1 when mpv cannot say).
    int64_t DroppedFrames() const;

private:
    enum class TKind { None, Decoded, Midi };
    enum class TRender { Idle, Running, Done, Failed };

    void Attach();
    bool OpenVideo();
    void DrainEvents();
    void HandleEvent(const mpv_event& event);
    void StartRender();
    void RenderFinished(uint64_t renderToken, bool ok);
    void LoadIntoMpv(const std::string& path);
    void EndCurrent(TNotifyValue value);
    void PostNotification(TNotifyValue value, uint64_t playToken, bool belongsToCurrent);
    void Deliver(TNotifyValue value);
    void StopRender();
    void DropRenderedFile();

    mpv_handle* mpv_ = nullptr;
    bool video_ = false;
    // A video player keeps its file loaded at the end (paused on the last frame), so that it
    // can be played again from the start; this is its playlist entry while it stays loaded.
    int64_t videoEntry_ = -1;
    std::atomic<bool> drainQueued_{false};

    std::string fileName_;
    TKind kind_ = TKind::None;
    bool notify_ = false;
    int volume_ = 100;
    QPointer<QWidget> display_;
    QRect displayRect_;

    // Each Play gets a token; mpv's answer to its loadfile names the playlist entry whose
    // end is ours to report. Ends of earlier entries are ignored.
    uint64_t playToken_ = 0;
    int64_t entryId_ = -1;
    bool active_ = false;
    bool playWhenRendered_ = false;

    std::string renderedFile_;
    TRender renderState_ = TRender::Idle;
    uint64_t renderToken_ = 0;
    std::jthread renderThread_;
};

} // namespace pictorelle

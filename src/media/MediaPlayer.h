// The media player behind the show's sounds (SndPlay, EnterSndPlay, the playlist editor's
// MPlay) and its videos (the show's MPlay): one libmpv instance per player, driven the way a
// media control is: close, set the file name, open, play with an end notification.
//
// Threads: every call is made on the user-interface thread and returns at once; nothing here
// waits for mpv. mpv's events are taken from its queue on the user-interface thread, and
// OnNotify runs there too, never from inside a call of this class.
//
// Sound goes to mpv's default audio output (PipeWire, PulseAudio, ALSA, ...), probed once: the
// first output that works is the one every player of the process uses from then on. When no
// device can be opened a file plays silently in its own time and ends as usual; the program
// says so once on standard error. The libraries' own diagnostics stay off standard error
// unless PICTORELLE_DEBUG=1.
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

// What a sound player plays: short sounds, each on its own, or music, whose files follow one
// another without a pause (QueueNext) through an output kept open in one fixed format.
enum class TPlayerRole { Sound, Music };

class TMediaPlayer : public QObject {
    Q_OBJECT
public:
    // A player for sound only.
    explicit TMediaPlayer(QObject* parent = nullptr);
    explicit TMediaPlayer(TPlayerRole role, QObject* parent = nullptr);
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
    // Gapless continuation (a Music player's): prepares the file at `path` (a MIDI file is
    // synthesised meanwhile) to follow the current play without a pause. Once the current file is
    // in mpv and this one is ready, it goes into mpv's playlist behind it, so that mpv starts it
    // while its output still plays the end of the current one. The current play's end notification
    // comes as usual; its handler then calls PlayQueued to take the follower over. Close,
    // Play and a current play that ends other than successfully drop it.
    void QueueNext(const std::string& path);
    // Makes the queued file the current play, with its file name. When it already follows (it
    // is in mpv's playlist and the current play has ended), the play that runs is adopted;
    // otherwise it is played as Play would. False when nothing is queued.
    bool PlayQueued();
    bool HasQueued() const { return !queued_.path.empty(); }

    // A video player's output window goes when the file stops (call it before Close; set
    // after the stop, mpv may already have decided to keep it); the next Open makes it again.
    // mpv's window would otherwise stay in the display window, black, over whatever is shown
    // there next. The output that worked is kept for later videos, so they probe no others.
    void ReleaseVideoOutput();
    // The video output (and its window) is still there.
    bool VideoOutputOpen() const;

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

    // One MIDI file being synthesised (or done) into its WAV file.
    struct TRenderJob {
        std::string file;
        TRender state = TRender::Idle;
        uint64_t token = 0;
        std::jthread thread;
    };
    // The file that follows the current one (QueueNext): its MIDI render, and once it is in
    // mpv's playlist, the loadfile's token and the playlist entry it made.
    struct TQueued {
        std::string path;
        TKind kind = TKind::None;
        TRenderJob render;
        uint64_t token = 0;
        int64_t entry = -1;
        bool sent = false;
        bool ended = false;
        TNotifyValue endValue = TNotifyValue::Failed;
    };

    void Attach();
    bool OpenVideo();
    void DrainEvents();
    void HandleEvent(const mpv_event& event);
    void StartRender(TRenderJob& job, const std::string& midiPath);
    void RenderFinished(uint64_t renderToken, bool ok);
    void LoadIntoMpv(const std::string& path);
    void SendQueued();
    void DropQueued();
    void PinAudioOutput();
    void ChooseHardwareDecoding();
    void NoteVideoOutput();
    void EndCurrent(TNotifyValue value);
    void PostNotification(TNotifyValue value, uint64_t playToken, bool belongsToCurrent);
    void Deliver(TNotifyValue value);
    static void StopRender(TRenderJob& job);
    static void DropRenderedFile(TRenderJob& job);

    mpv_handle* mpv_ = nullptr;
    bool video_ = false;
    // A video player keeps its file loaded at the end (paused on the last frame), so that it
    // can be played again from the start; this is its playlist entry while it stays loaded.
    int64_t videoEntry_ = -1;
    // The video output mpv chose the first time ("gpu" or "x11"); empty until then.
    std::string videoOutput_;
    bool outputReleased_ = false;
    std::atomic<bool> drainQueued_{false};

    std::string fileName_;
    TKind kind_ = TKind::None;
    bool notify_ = false;
    int volume_ = 100;
    QPointer<QWidget> display_;
    QRect displayRect_;

    // Each Play (and each queued file) gets a token; mpv's answer to its loadfile names the
    // playlist entry whose end is ours to report. Ends of earlier entries are ignored.
    uint64_t tokenSerial_ = 0;
    uint64_t playToken_ = 0;
    int64_t entryId_ = -1;
    bool active_ = false;
    // The current play has been handed to mpv (a MIDI file only once it is synthesised).
    bool loaded_ = false;
    bool playWhenRendered_ = false;
    // The audio output this instance was told to use (see PinAudioOutput).
    bool aoPinned_ = false;

    TRenderJob render_;
    TQueued queued_;
};

} // namespace pictorelle

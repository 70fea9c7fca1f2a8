// TVideoItem: the show's video items. The show's media player MPlay plays the item's extracted
// file in the display panel, which the size mode places over the background and logo; the
// slide timer is off while a video plays, and its end asks for the next item at once (the only
// item of a show starts again from its beginning instead, without being loaded again).
//
// User-interface thread only; MPlay's notifications arrive there too.
#pragma once

#include "media/MediaPlayer.h"
#include "media/MovieStage.h"
#include "package/TempFolder.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace pictorelle {

struct Package;
struct TShowMediaState;

class TVideoItem {
public:
    // Asks the window for the next item: at once (a video ended), or when the item on screen
    // has had its usual time (a video that could not be played was passed over).
    using TNextItem = std::function<void(bool atOnce)>;

    TVideoItem(QWidget& panelDisplay, TShowDisplays& displays, const TShowComposer& composer,
               TShowMediaState& state, const Package& package, TNextItem nextItem);
    ~TVideoItem();
    TVideoItem(const TVideoItem&) = delete;
    TVideoItem& operator=(const TVideoItem&) = delete;

    // The loader's video branch for the file at path (the item's extracted SSIMG file), over
    // frame (the item's background). True when it plays: VideoPlaying is set and the file
    // belongs to this object from then on. False when it cannot be opened; the panel is then
    // hidden, and a video that was still playing has been stopped (VideoPlaying cleared).
    bool ShowVideoItem(int index, const std::string& path, int sizeMode, TBitmap32& frame);

    // MPlay's end notification.
    void MPlayNotify(TNotifyValue value);

    // A video that still plays gives the panel up at once (a movie comes to it): its end is
    // no longer waited for, its output and file go and the panel hides.
    void CloseAndStopVideo();

    // The show ends: notification off, MPlay closed and let go (mpv must not outlive the
    // window it draws into), its file deleted, the panel hidden.
    void StopVideo();

    // MPlay, once the first video made it; for figures and tests.
    const TMediaPlayer* Player() const { return MPlay.get(); }

private:
    void EndVideo();
    void WatchOutput();

    QWidget& panel_;
    TMovieStage stage_;
    TShowMediaState& state_;
    const Package& package_;
    TNextItem nextItem_;
    std::unique_ptr<TMediaPlayer> MPlay;
    TempFile file_;  // the file MPlay plays
    int index_ = -1; // the item it belongs to
    // Looks for mpv's window to be gone after a video, to draw the panel again then.
    QTimer outputWatch_;
    int outputLooks_ = 0;
};

} // namespace pictorelle

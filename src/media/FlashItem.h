// TFlashItem: the show's Flash movie items. The player (TShockWaveFlashEx) plays the item's
// extracted file in the display panel, which the movie's frame size and the size mode place
// over the background and logo. The item's time ends it as for a picture; FlashTimer watches
// every 100 ms for the movie's own end and then asks for the next item at once.
//
// User-interface thread only.
#pragma once

#include "media/MovieStage.h"
#include "package/TempFolder.h"

#include <QTimer>
#include <functional>
#include <string>

class QWidget;

namespace pictorelle {

struct Package;
struct SaverSettings;
struct TShowMediaState;

class TFlashItem {
public:
    // Asks the window for the next item at once (the slide timer fires with interval 1).
    using TNextItem = std::function<void()>;

    // package and settings are the window's own (read later than this is made): a movie's negative
    // ItemSeconds becomes 86400 when it loads.
    TFlashItem(QWidget& panelDisplay, TShowDisplays& displays, const TShowComposer& composer,
               TShowMediaState& state, Package& package, const SaverSettings& settings,
               TNextItem nextItem);
    TFlashItem(const TFlashItem&) = delete;
    TFlashItem& operator=(const TFlashItem&) = delete;

    // The loader's Flash branch for the file at path (the item's extracted SSIMG file), over
    // frame. True when the movie plays (FlashPlaying is set, the file belongs to this object);
    // false, with one line on standard error, when no player can be made or the file is no
    // movie.
    bool ShowFlashItem(int index, const std::string& path, int sizeMode, TBitmap32& frame);

    // The tick's end of a movie: stopped, unloaded, hidden, FlashPlaying cleared, the end
    // watch off, the file deleted.
    void CloseAndStopFlash();

    // FlashTimer's handler.
    void FlashTimerTimer();

    // The show ends: the movie stops, the player and the web engine go, and no later movie
    // starts.
    void StopFlash();

    const QTimer& FlashTimer() const { return FlashTimer_; }

private:
    QWidget& panel_;
    TShowDisplays& displays_;
    TMovieStage stage_;
    TShowMediaState& state_;
    Package& package_;
    const SaverSettings& settings_;
    TNextItem nextItem_;
    QTimer FlashTimer_;
    TempFile file_; // the movie the player reads
    bool ended_ = false;
};

} // namespace pictorelle

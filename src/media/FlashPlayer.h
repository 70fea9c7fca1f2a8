// The Flash movie player behind a small interface, and the factory that makes one inside the
// main window's display panel. Movies are played by Ruffle (a Flash player built for the web)
// in a Qt WebEngine page that this program serves itself; a build without Qt WebEngine, or one
// that cannot find Ruffle's files or start the web engine, has no player, and the factory says
// so.
#pragma once

#include "core/Error.h"

#include <QString>
#include <memory>
#include <string>

class QWidget;

namespace pictorelle {

class FlashPlayerUnavailable : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

class TShockWaveFlashEx {
public:
    virtual ~TShockWaveFlashEx() = default;
    // The movie file to play; "none" unloads the movie.
    virtual void SetMovie(const QString& path) = 0;
    virtual QString Movie() const = 0;
    virtual void SetPlaying(bool playing) = 0;
    // The player's own context menu on a right click (off: a right click shows nothing).
    virtual void SetMenu(bool menu) = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    // False once the movie's main timeline has stopped for good (or the movie failed); true
    // while it runs, while it is still starting, and when the player cannot tell.
    virtual bool IsPlaying() const = 0;
    virtual QWidget* Widget() = 0;
};

// Whether the show in programFile may play a Flash movie: it carries a Flash player, or one of
// its items is a movie. Only such a show loads the player's module (and the web engine).
bool ShowPlaysFlash(const std::string& programFile);

// What the web engine needs before the QApplication exists: the player's own URL scheme, and
// the engine's start options. Loads the player's module; does nothing when there is none (a
// build without Qt WebEngine, or a module not installed), and the factory then says why.
void PrepareFlashPlayer();

// Creates the player inside parent, filling it, hidden, with its context menu off. The first
// one starts the web engine (and waits for Ruffle to be ready); later ones reuse it. Throws
// FlashPlayerUnavailable when no player can be made.
std::unique_ptr<TShockWaveFlashEx> CreateFlashPlayer(QWidget& parent);

// The show ends: the web engine's page and processes go (controls still held do nothing).
void StopFlashPlayers();

} // namespace pictorelle

// The Flash movie player behind a small interface, and the factory that makes one inside the
// main window's display panel. No Flash runtime is available to this player yet, so the
// factory reports that it cannot create one; start-up then tells the user and ends.
#pragma once

#include "core/Error.h"

#include <QString>
#include <memory>

class QWidget;

namespace pictorelle {

class FlashPlayerUnavailable : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

class TShockWaveFlashEx {
public:
    virtual ~TShockWaveFlashEx() = default;
    virtual void SetMovie(const QString& path) = 0;
    virtual void SetPlaying(bool playing) = 0;
    virtual void SetMenu(bool menu) = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
    virtual QWidget* Widget() = 0;
};

// Creates the player inside parent, filling it, hidden, with its context menu off. Throws
// FlashPlayerUnavailable when no player can be made.
std::unique_ptr<TShockWaveFlashEx> CreateFlashPlayer(QWidget& parent);

} // namespace pictorelle

// TShowMedia: everything the show window asks of its players, in one small interface. The
// window calls these where their steps belong (start of the show, each item, the end of a
// transition, the exit keys, the stop before closing) and never talks to a player directly.
// TNullShowMedia plays nothing: the options panel and the preview have it. The full-screen
// show has TShowPlayers (media/ShowPlayers.h).
//
// TShowMediaState is what the players share with the window: what plays now, and the picture
// item on screen with what a GIF animation or the wallpaper needs of it.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"
#include "imaging/GifAnimation.h"
#include "imaging/PictureItem.h"
#include "media/FlashPlayer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pictorelle {

struct TShowMediaState {
    bool FlashPlaying = false;
    bool VideoPlaying = false;

    // The picture item on screen.
    bool IsGifItem = false;
    // A GIF item's frame without the picture, where the picture lies (the rest of the frame
    // never changes while the GIF plays); none when the GIF has no transparent pixels.
    std::optional<TFramePart> GifBackground;
    TRect ItemRect;                     // where the picture lies in the frame
    TBitmap32* DisplayBitmap = nullptr; // the display that received it
    // Repaints a rectangle of that display once its bitmap has changed.
    std::function<void(const TRect&)> RepaintDisplay;
    // A GIF item's frames (the GIF object and its animator); none between GIF items.
    std::unique_ptr<TGifAnimator> Gif;

    // Made at start-up when the package carries a Flash player.
    std::unique_ptr<TShockWaveFlashEx> FlashPlayer;

    // The show has ended: the item's pictures go (the players keep what they need).
    void FreePictures() {
        GifBackground.reset();
        DisplayBitmap = nullptr;
        RepaintDisplay = nullptr;
        Gif.reset();
    }
};

class TShowMedia {
public:
    virtual ~TShowMedia() = default;

    // Full-screen start: reads the user's own playlist (when the settings ask for it) and
    // starts the music (unless muted; the window decides).
    virtual void LoadCustomPlaylist() = 0;
    virtual void StartMelody() = 0;

    // An item comes on screen: its enter sound plays over the music.
    virtual void PlayEnterSound(int enterSoundIndex) = 0;
    // GIF items: the frames start once the item is fully on screen, and stop before the next.
    virtual void AnimateGif() = 0;
    virtual void StopGif() = 0;
    // Flash movies and videos play in the display panel over frame (the background, already
    // drawn into it). False when the item cannot be played: it is passed over.
    virtual bool ShowMovieItem(TItemKind kind, int index, const std::string& path, int sizeMode,
                               TBitmap32& frame) = 0;
    virtual void CloseAndStopFlash() = 0;

    // Before the window closes: the GIF animation, the video, the melody and the enter sound
    // stop and their temporary files go. Throws when a player cannot be stopped; the window
    // then stays open and the next exit condition tries again.
    virtual void StopMedia() = 0;

    // The melody playing or last played; -1 once a shuffled list has ended.
    virtual int CurrentMelody() const = 0;
    // At close: the built-in list's current melody file goes (the user's own files stay).
    virtual void DeleteMelodyFile() = 0;

    // F2: picture item shownPicture, as stored, becomes the desktop wallpaper. Failures are
    // said on standard error; the show goes on.
    virtual void SetWallpaper(int shownPicture) = 0;
    // F2 in a library show: the picture's own file becomes the wallpaper.
    virtual void SetWallpaperFile(const std::string& picture) = 0;
};

class TNullShowMedia final : public TShowMedia {
public:
    void LoadCustomPlaylist() override {}
    void StartMelody() override {}
    void PlayEnterSound(int) override {}
    void AnimateGif() override {}
    void StopGif() override {}
    bool ShowMovieItem(TItemKind, int, const std::string&, int, TBitmap32&) override {
        return false;
    }
    void CloseAndStopFlash() override {}
    void StopMedia() override {}
    int CurrentMelody() const override { return 0; }
    void DeleteMelodyFile() override {}
    void SetWallpaper(int) override {}
    void SetWallpaperFile(const std::string&) override {}
};

} // namespace pictorelle

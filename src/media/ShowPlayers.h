// TShowPlayers: the show's real players behind the media seam: the background music (SndPlay,
// through TMelodyPlayer), the enter sounds (EnterSndPlay, through TEnterSoundPlayer), the
// frames of animated GIF items (GifTimer, through TGifPlayer), the video items (MPlay,
// through TVideoItem, once the window has attached it), the Flash movies (through TFlashItem,
// likewise) and the wallpaper that F2 sets.
//
// Made for the full-screen show only; the players start their audio instances when first
// used, so a muted show opens none. The package, the settings and the window's media state
// must outlive it.
#pragma once

#include "media/ShowMedia.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pictorelle {

struct Package;
struct SaverSettings;
class TEnterSoundPlayer;
class TFlashItem;
class TGifPlayer;
class TMelodyPlayer;
class TVideoItem;

class TShowPlayers final : public TShowMedia {
public:
    TShowPlayers(std::string programFile, const Package& package, const SaverSettings& settings,
                 TShowMediaState& state);
    ~TShowPlayers() override;

    // The user's own playlist from the store, narrowed to one random entry with PlayOneRandom;
    // a store that cannot be read means an empty list (no music) and one line on standard
    // error.
    void LoadCustomPlaylist() override;
    // The built-in list must have been narrowed already (PlayOneRandom).
    void StartMelody() override;
    void PlayEnterSound(int enterSoundIndex) override;
    void AnimateGif() override;
    void StopGif() override;
    // The window's video items; without them videos are passed over.
    void AttachVideo(std::unique_ptr<TVideoItem> video);
    // The window's Flash items; without them movies are passed over.
    void AttachFlash(std::unique_ptr<TFlashItem> flash);
    bool ShowMovieItem(TItemKind kind, int index, const std::string& path, int sizeMode,
                       TBitmap32& frame) override;
    void CloseAndStopFlash() override;
    void StopMedia() override;
    int CurrentMelody() const override;
    void DeleteMelodyFile() override;
    // Writes the wallpaper file and applies it to the running desktop (platform/Wallpaper.h).
    void SetWallpaper(int shownPicture) override;
    void SetWallpaperFile(const std::string& picture) override;

private:
    void WriteAndApplyWallpaper(const std::function<void(const std::string&)>& write);
    std::string programFile_;
    const Package& package_;
    const SaverSettings& settings_;
    std::vector<std::string> customPlaylist_;
    std::unique_ptr<TMelodyPlayer> melody_;
    std::unique_ptr<TEnterSoundPlayer> enterSound_;
    std::unique_ptr<TVideoItem> video_;
    std::unique_ptr<TFlashItem> flash_;
    std::unique_ptr<TGifPlayer> gif_;
};

} // namespace pictorelle

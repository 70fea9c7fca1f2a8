// TShowPlayers: the show's real players behind the media seam. For now that is the sound: the
// background music (SndPlay, through TMelodyPlayer) and the enter sounds (EnterSndPlay,
// through TEnterSoundPlayer), and the wallpaper that F2 sets. GIF frames and movies are not
// played yet and do what TNullShowMedia does.
//
// Made for the full-screen show only; the players start their audio instances when first
// used, so a muted show opens none. The package and the settings must outlive it.
#pragma once

#include "media/ShowMedia.h"

#include <memory>
#include <string>
#include <vector>

namespace pictorelle {

struct Package;
struct SaverSettings;
class TEnterSoundPlayer;
class TMelodyPlayer;

class TShowPlayers final : public TShowMedia {
public:
    TShowPlayers(std::string programFile, const Package& package, const SaverSettings& settings);
    ~TShowPlayers() override;

    // The user's own playlist from the store, narrowed to one random entry with PlayOneRandom;
    // a store that cannot be read means an empty list (no music) and one line on standard
    // error.
    void LoadCustomPlaylist() override;
    // The built-in list must have been narrowed already (PlayOneRandom).
    void StartMelody() override;
    void PlayEnterSound(int enterSoundIndex) override;
    void AnimateGif() override {}
    void StopGif() override {}
    bool ShowMovieItem(TItemKind, int, const std::string&, int, TBitmap32&) override {
        return false;
    }
    void CloseAndStopFlash() override {}
    void StopMedia() override;
    int CurrentMelody() const override;
    void DeleteMelodyFile() override;
    // Writes the wallpaper file and applies it to the running desktop (platform/Wallpaper.h).
    void SetWallpaper(int shownPicture) override;

private:
    std::string programFile_;
    const Package& package_;
    const SaverSettings& settings_;
    std::vector<std::string> customPlaylist_;
    std::unique_ptr<TMelodyPlayer> melody_;
    std::unique_ptr<TEnterSoundPlayer> enterSound_;
};

} // namespace pictorelle

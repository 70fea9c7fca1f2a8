#include "media/ShowPlayers.h"

#include "imaging/Wallpaper.h"
#include "media/FlashItem.h"
#include "media/GifPlayer.h"
#include "media/VideoItem.h"
#include "package/PackageReader.h"
#include "package/SaverSettings.h"
#include "platform/Wallpaper.h"
#include "platform/store/SqliteRegistry.h"
#include "sound/EnterSoundPlayer.h"
#include "sound/MelodyPlayer.h"

#include <cstdio>

namespace pictorelle {

TShowPlayers::TShowPlayers(std::string programFile, const Package& package,
                           const SaverSettings& settings, TShowMediaState& state)
    : programFile_(std::move(programFile)), package_(package), settings_(settings),
      gif_(std::make_unique<TGifPlayer>(state, package.Header)) {}

TShowPlayers::~TShowPlayers() = default;

void TShowPlayers::LoadCustomPlaylist() {
    customPlaylist_.clear();
    try {
        SqliteRegistry store(SqliteRegistry::DefaultPath());
        customPlaylist_ = LoadShowPlaylist(store, package_.Strings[StringId::SaverTitle],
                                           settings_.PlayOneRandom);
    } catch (const RegistryError& e) {
        std::fprintf(stderr, "Your own playlist could not be read: %s\n", e.what());
    }
}

void TShowPlayers::StartMelody() {
    // A show without music opens no audio player at all (it would cost memory and threads).
    const bool music = settings_.UseCustomPlaylist
                           ? !customPlaylist_.empty()
                           : package_.Header.MelodyCount > 0 && !package_.Melodies.empty();
    if (!music) return;
    melody_ = std::make_unique<TMelodyPlayer>(programFile_, package_, settings_, customPlaylist_);
    melody_->Start();
}

void TShowPlayers::PlayEnterSound(int enterSoundIndex) {
    if (!enterSound_) enterSound_ = std::make_unique<TEnterSoundPlayer>(programFile_, package_);
    enterSound_->LoadEnterSound(enterSoundIndex);
}

void TShowPlayers::AnimateGif() {
    gif_->AnimateGif();
}

void TShowPlayers::StopGif() {
    gif_->StopGif();
}

void TShowPlayers::AttachVideo(std::unique_ptr<TVideoItem> video) {
    video_ = std::move(video);
}

void TShowPlayers::AttachFlash(std::unique_ptr<TFlashItem> flash) {
    flash_ = std::move(flash);
}

bool TShowPlayers::ShowMovieItem(TItemKind kind, int index, const std::string& path, int sizeMode,
                                 TBitmap32& frame) {
    if (kind == TItemKind::Flash && flash_) {
        // Both play in the one display panel: a video that still plays there (Next or Back
        // was pressed during it) would keep the movie out of sight until its end, and its end
        // would then move past the movie.
        if (video_) video_->CloseAndStopVideo();
        return flash_->ShowFlashItem(index, path, sizeMode, frame);
    }
    if (kind != TItemKind::Video || !video_) return false;
    return video_->ShowVideoItem(index, path, sizeMode, frame);
}

void TShowPlayers::CloseAndStopFlash() {
    if (flash_) flash_->CloseAndStopFlash();
}

void TShowPlayers::StopMedia() {
    gif_->StopGif();
    if (video_) video_->StopVideo();
    if (flash_) flash_->StopFlash();
    if (melody_) melody_->Stop();
    if (enterSound_) enterSound_->Stop();
}

int TShowPlayers::CurrentMelody() const {
    return melody_ ? melody_->CurrentMelody() : 0;
}

void TShowPlayers::DeleteMelodyFile() {
    if (melody_) melody_->DeleteMelodyFile();
}

void TShowPlayers::SetWallpaper(int shownPicture) {
    WriteAndApplyWallpaper([&](const std::string& file) {
        WriteItemWallpaper(programFile_, package_, shownPicture, file);
    });
}

void TShowPlayers::SetWallpaperFile(const std::string& picture) {
    WriteAndApplyWallpaper([&](const std::string& file) { WriteWallpaperFile(picture, file); });
}

void TShowPlayers::WriteAndApplyWallpaper(const std::function<void(const std::string&)>& write) {
    // Only the show-wide setting counts, not the item's own size mode.
    const TWallpaperStyle style =
        settings_.Stretch == 1 ? TWallpaperStyle::Stretched : TWallpaperStyle::Centred;
    std::string file;
    try {
        file = WallpaperFilePath();
        write(file);
    } catch (const PictorelleError& e) {
        std::fprintf(stderr, "The wallpaper was not set: %s\n", e.what());
        return;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "The wallpaper was not set: not enough memory for the picture\n");
        return;
    }
    ApplyWallpaper(file, style);
}

} // namespace pictorelle

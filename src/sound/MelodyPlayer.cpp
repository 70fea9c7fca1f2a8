#include "sound/MelodyPlayer.h"

#include "package/ExtractEntry.h"
#include "package/TempFolder.h"
#include "sound/engine/CustomPlaylist.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace pictorelle {

std::vector<std::string> LoadShowPlaylist(Registry& store, std::string_view saverTitle,
                                          bool playOneRandom) {
    std::vector<std::string> list = LoadCustomPlayListNoWindow(store, PlaylistKeyPath(saverTitle));
    if (playOneRandom) KeepOneRandom(list);
    return list;
}

TMelodyPlayer::TMelodyPlayer(std::string programFile, const Package& package,
                             const SaverSettings& settings, std::vector<std::string> customPlaylist)
    : programFile_(std::move(programFile)), package_(package),
      useCustom_(settings.UseCustomPlaylist), loop_(settings.Loop),
      shuffle_(settings.ShuffleMelody), customPlaylist_(std::move(customPlaylist)) {
    if (useCustom_) {
        order_.MelodyCount = static_cast<int>(customPlaylist_.size());
    } else {
        // The header's count, but never past the records actually read.
        order_.MelodyCount = std::clamp(package_.Header.MelodyCount, 0,
                                        static_cast<int>(package_.Melodies.size()));
    }
    order_.CurrentMelody = 0;
    SndPlay_.OnNotify = [this](TNotifyValue value) { SndPlayNotify(value); };
}

void TMelodyPlayer::Start() {
    if (shuffle_)
        SndPlayNotify(TNotifyValue::Successful);
    else
        LoadMelody(order_.CurrentMelody);
}

std::string TMelodyPlayer::MelodyFilePath(int index) const {
    if (index < 0 || index >= static_cast<int>(package_.Melodies.size())) return {};
    return TempFilePath("SSSND", package_.Melodies[static_cast<size_t>(index)].Ext);
}

void TMelodyPlayer::PlayFile(const std::string& path) {
    SndPlay_.Close();
    SndPlay_.SetFileName(path);
    SndPlay_.Open();
    SndPlay_.Play();
    SndPlay_.SetNotify(true);
}

void TMelodyPlayer::LoadMelody(int index) {
    try {
        if (index < 0) return;
        if (useCustom_) {
            if (index >= static_cast<int>(customPlaylist_.size())) return;
            const std::string& path = customPlaylist_[static_cast<size_t>(index)];
            std::error_code error;
            if (path.empty() || !std::filesystem::exists(path, error)) return;
            PlayFile(path);
            return;
        }
        if (index >= order_.MelodyCount) return;
        const MelodyRecord& melody = package_.Melodies[static_cast<size_t>(index)];
        const std::string path = MelodyFilePath(index);
        ExtractEntry(programFile_, path, melody.Compressed(), package_.EntryOffset(melody),
                     melody.StoredSize, melody.DataSize);
        PlayFile(path);
    } catch (const std::exception&) {
        // No music rather than no show.
    }
}

void TMelodyPlayer::SndPlayNotify(TNotifyValue value) {
    if (value != TNotifyValue::Successful) return;
    try {
        SndPlay_.SetNotify(false);
        SndPlay_.Close();
        DeleteMelodyFile();
        if (ChooseNextMelody(order_, shuffle_, loop_)) LoadMelody(order_.CurrentMelody);
    } catch (const std::exception&) {
    }
}

void TMelodyPlayer::Stop() {
    SndPlay_.SetNotify(false);
    SndPlay_.Close();
    DeleteMelodyFile();
}

void TMelodyPlayer::DeleteMelodyFile() {
    if (useCustom_ || !MelodyInRange(order_)) return;
    try {
        std::remove(MelodyFilePath(order_.CurrentMelody).c_str());
    } catch (const std::exception&) {
    }
}

} // namespace pictorelle

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
        order_.MelodyCount =
            std::clamp(package_.Header.MelodyCount, 0, static_cast<int>(package_.Melodies.size()));
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

std::string TMelodyPlayer::ExtractMelody(int index) {
    const MelodyRecord& melody = package_.Melodies[static_cast<size_t>(index)];
    // Two names take turns, the melody that plays and the one prepared to follow it, so that
    // preparing a melody never touches the file being played.
    const std::string path = TempFilePath(secondName_ ? "SSSND2" : "SSSND", melody.Ext);
    secondName_ = !secondName_;
    std::remove(path.c_str());
    ExtractEntry(programFile_, path, melody.Compressed(), package_.EntryOffset(melody),
                 melody.StoredSize, melody.DataSize);
    return path;
}

std::string TMelodyPlayer::PlayableFile(int index) {
    if (index < 0 || index >= order_.MelodyCount) return {};
    if (!useCustom_) return ExtractMelody(index);
    if (index >= static_cast<int>(customPlaylist_.size())) return {};
    const std::string& path = customPlaylist_[static_cast<size_t>(index)];
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) return {};
    return path;
}

void TMelodyPlayer::ForgetNext() {
    nextChosen_ = false;
    if (!nextFile_.empty()) std::remove(nextFile_.c_str());
    nextFile_.clear();
}

void TMelodyPlayer::LoadMelody(int index) {
    try {
        ForgetNext();
        const std::string path = PlayableFile(index);
        if (path.empty()) return;
        SndPlay_.Close();
        SndPlay_.SetFileName(path);
        SndPlay_.Open();
        SndPlay_.Play();
        SndPlay_.SetNotify(true);
        if (!useCustom_) currentFile_ = path;
        PrepareNext();
    } catch (const std::exception&) {
        // No music rather than no show.
    }
}

// The next melody is chosen while this one plays, exactly as its end would choose it, and
// handed to the player to follow without a pause. A user's file that is missing now is not
// queued: its turn comes the usual way and ends the music there.
void TMelodyPlayer::PrepareNext() {
    nextOrder_ = order_;
    nextChosen_ = true;
    if (!ChooseNextMelody(nextOrder_, shuffle_, loop_)) return;
    const std::string path = PlayableFile(nextOrder_.CurrentMelody);
    if (path.empty()) return;
    if (!useCustom_) nextFile_ = path;
    SndPlay_.QueueNext(path);
}

void TMelodyPlayer::SndPlayNotify(TNotifyValue value) {
    if (value != TNotifyValue::Successful) return;
    try {
        SndPlay_.SetNotify(false);
        const std::string ended = currentFile_;
        currentFile_.clear();
        if (!nextChosen_) {
            nextOrder_ = order_;
            ChooseNextMelody(nextOrder_, shuffle_, loop_);
        }
        order_ = nextOrder_;
        nextChosen_ = false;
        if (SndPlay_.PlayQueued()) {
            SndPlay_.SetNotify(true);
            currentFile_ = std::move(nextFile_);
            nextFile_.clear();
            if (!ended.empty()) std::remove(ended.c_str());
            PrepareNext();
            return;
        }
        SndPlay_.Close();
        if (!ended.empty()) std::remove(ended.c_str());
        ForgetNext();
        if (MelodyInRange(order_)) LoadMelody(order_.CurrentMelody);
    } catch (const std::exception&) {
    }
}

void TMelodyPlayer::Stop() {
    SndPlay_.SetNotify(false);
    SndPlay_.Close();
    DeleteMelodyFile();
}

void TMelodyPlayer::DeleteMelodyFile() {
    if (useCustom_) return;
    for (std::string* file : {&currentFile_, &nextFile_}) {
        if (!file->empty()) std::remove(file->c_str());
        file->clear();
    }
}

} // namespace pictorelle

#include "sound/EnterSoundPlayer.h"

#include "package/ExtractEntry.h"
#include "package/TempFolder.h"

#include <cstdio>

namespace pictorelle {

TEnterSoundPlayer::TEnterSoundPlayer(std::string programFile, const Package& package)
    : programFile_(std::move(programFile)), package_(package) {}

void TEnterSoundPlayer::CloseAndDeleteFile() {
    EnterSndPlay_.Close();
    if (!EnterSndPlay_.FileName().empty()) std::remove(EnterSndPlay_.FileName().c_str());
}

void TEnterSoundPlayer::LoadEnterSound(int index) {
    try {
        CloseAndDeleteFile();
        if (index < 0 || index >= static_cast<int>(package_.EnterSounds.size())) return;
        const EnterSoundRecord& sound = package_.EnterSounds[static_cast<size_t>(index)];
        const std::string path = TempFilePath("SSSnd", sound.Ext);
        std::remove(path.c_str());
        ExtractEntry(programFile_, path, sound.Compressed(), package_.EntryOffset(sound),
                     sound.StoredSize, sound.DataSize);
        EnterSndPlay_.SetFileName(path);
        EnterSndPlay_.Open();
        EnterSndPlay_.Play();
    } catch (const std::exception&) {
        // The item shows without its sound.
    }
}

void TEnterSoundPlayer::Stop() {
    try {
        CloseAndDeleteFile();
    } catch (const std::exception&) {
    }
}

} // namespace pictorelle

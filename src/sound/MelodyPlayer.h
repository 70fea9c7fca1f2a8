// The show's background music: the melody player SndPlay walks the built-in playlist (the
// package's melodies, played from the temporary file SSSND + extension) or the user's own
// (their files, played where they are and never deleted), one melody at a time, in order or
// shuffled, once or over and over.
//
// Runs on the user-interface thread. The package, when the built-in list plays, must outlive
// the player.
#pragma once

#include "media/MediaPlayer.h"
#include "package/PackageReader.h"
#include "package/Registry.h"
#include "package/SaverSettings.h"
#include "sound/engine/MelodyOrder.h"

#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

// The user's own list for the show: read from the store (empty entries kept, so that the
// music ends at one, as a missing file does) and narrowed to one random entry with
// PlayOneRandom. Throws RegistryError when the store fails.
std::vector<std::string> LoadShowPlaylist(Registry& store, std::string_view saverTitle,
                                          bool playOneRandom);

class TMelodyPlayer {
public:
    // programFile holds the package; package gives the melody records (the built-in list,
    // already narrowed to one melody when PlayOneRandom applies); settings give
    // UseCustomPlaylist, Loop and ShuffleMelody; customPlaylist is the user's list from
    // LoadShowPlaylist (used only with UseCustomPlaylist). CurrentMelody starts at 0.
    TMelodyPlayer(std::string programFile, const Package& package, const SaverSettings& settings,
                  std::vector<std::string> customPlaylist = {});
    TMelodyPlayer(const TMelodyPlayer&) = delete;
    TMelodyPlayer& operator=(const TMelodyPlayer&) = delete;

    // Starts the music (the caller leaves it out with Mute): a shuffled list begins with a
    // random melody, a sequential one with CurrentMelody.
    void Start();
    // Prepares and plays one melody; an index outside the list, or a user's file that does
    // not exist, plays nothing (and, as no notification follows, ends the music).
    void LoadMelody(int index);
    // SndPlay's end notification: after a melody played to its end, the next one, which is
    // already prepared and usually already playing.
    void SndPlayNotify(TNotifyValue value);
    // Ends the music: notification off, SndPlay closed, the built-in list's temporary files
    // deleted.
    void Stop();
    // Deletes the temporary files of CurrentMelody and of the melody prepared to follow it
    // when the built-in list is in use (the window's last clean-up at close); the user's files
    // are never touched.
    void DeleteMelodyFile();

    int CurrentMelody() const { return order_.CurrentMelody; }
    int MelodyCount() const { return order_.MelodyCount; }
    bool UsesCustomPlaylist() const { return useCustom_; }
    const std::vector<std::string>& CustomPlaylist() const { return customPlaylist_; }
    // The temporary file of a built-in melody that plays first; the one prepared to follow it
    // takes the name SSSND2 + extension, and the two take turns. Empty for an index outside
    // the list.
    std::string MelodyFilePath(int index) const;
    TMediaPlayer& SndPlay() { return SndPlay_; }

private:
    std::string ExtractMelody(int index);
    // The file to play for a melody: a built-in one extracted, a user's one where it is; empty
    // when there is none to play.
    std::string PlayableFile(int index);
    void PrepareNext();
    void ForgetNext();

    std::string programFile_;
    const Package& package_;
    bool useCustom_;
    bool loop_;
    bool shuffle_;
    std::vector<std::string> customPlaylist_;
    TMelodyOrder order_;
    // The choice after the current melody, made when it started (PrepareNext), and the
    // temporary files of the built-in melody playing and of the one prepared to follow it.
    TMelodyOrder nextOrder_;
    bool nextChosen_ = false;
    std::string currentFile_;
    std::string nextFile_;
    bool secondName_ = false;
    TMediaPlayer SndPlay_{TPlayerRole::Music};
};

} // namespace pictorelle

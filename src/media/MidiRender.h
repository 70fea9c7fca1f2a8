// MIDI files, which the media player's decoder cannot play, are synthesised with libfluidsynth
// and a General MIDI SoundFont into a WAV file that then plays like any other sound.
#pragma once

#include <stop_token>
#include <string>

namespace pictorelle {

// Sample rate and length cap of rendered MIDI: CD-quality stereo, and no more than a quarter
// of an hour of audio (about 160 MB, twice that while the render is measured), so a damaged
// file with absurd timing cannot fill the disk.
inline constexpr int kMidiSampleRate = 44100;
inline constexpr int kMaxMidiSeconds = 15 * 60;

// The SoundFont used for MIDI: $PICTORELLE_SOUNDFONT when set, else the first of Debian's
// General MIDI SoundFonts that exists. Empty when there is none.
std::string FindSoundFont();

// True for names ending in .mid or .midi, in any case.
bool IsMidiFileName(const std::string& path);

// Renders the MIDI file to a 16-bit stereo WAV file, with the release of the last notes and
// no silence after it, at the average level of ordinary music (sound/engine/RenderLevel.h).
// Runs for as long as synthesis takes (well under the music's own length); stops early and
// returns false when stop is requested. False, with no WAV file left, when the SoundFont or
// the MIDI file cannot be read or the file cannot be written.
bool RenderMidiToWav(const std::string& midiPath, const std::string& wavPath,
                     const std::string& soundFont, std::stop_token stop = {});

} // namespace pictorelle

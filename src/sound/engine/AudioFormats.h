// The sound files the show plays: the media player decodes the compressed and wave kinds, and
// MIDI goes through the synthesiser. The packer's music folder and the playlist editor's file
// dialog both offer exactly these, so neither refuses what the other accepts.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace pictorelle {

struct TAudioKind {
    std::string_view name;                    // as a file dialog lists it, e.g. "MP3 Files"
    std::vector<std::string_view> extensions; // lower case, with their dot
};

// Every kind, in the order a file dialog lists them.
std::span<const TAudioKind> AudioKinds();

// True when the name ends in one of the kinds' extensions, in any letter case.
bool IsAudioFileName(std::string_view name);

} // namespace pictorelle

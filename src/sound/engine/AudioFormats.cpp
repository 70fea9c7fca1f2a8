#include "sound/engine/AudioFormats.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace pictorelle {

std::span<const TAudioKind> AudioKinds() {
    static const std::vector<TAudioKind> kinds = {
        {"MIDI Files", {".mid", ".midi"}},
        {"MP3 Files", {".mp3"}},
        {"Wave Files", {".wav"}},
        {"Windows Media Audio", {".wma"}},
        {"Ogg Vorbis Files", {".ogg", ".oga"}},
        {"Opus Files", {".opus"}},
        {"FLAC Files", {".flac"}},
        {"AAC Files", {".m4a", ".aac"}},
    };
    return kinds;
}

bool IsAudioFileName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string ext(name.substr(dot));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const TAudioKind& kind : AudioKinds())
        if (std::find(kind.extensions.begin(), kind.extensions.end(), ext) != kind.extensions.end())
            return true;
    return false;
}

} // namespace pictorelle

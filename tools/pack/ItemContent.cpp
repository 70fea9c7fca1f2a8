#include "ItemContent.h"

#include "imaging/PictureFormats.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace pictorelle {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool StartsWith(std::string_view head, std::string_view magic, size_t at = 0) {
    return head.size() >= at + magic.size() && head.substr(at, magic.size()) == magic;
}

// Videos the show plays (its own extensions and what cameras and phones make); the media
// player finds the container from the content, so any container it knows will do.
constexpr std::array<std::string_view, 10> kVideos = {".asf", ".wmv", ".avi", ".mpeg", ".mpg",
                                                      ".mp4", ".m4v", ".mov", ".mkv",  ".webm"};
constexpr std::array<std::string_view, 2> kMovies = {".swf", ".fla"};

bool IsVideoContainer(std::string_view head) {
    if (StartsWith(head, "\x30\x26\xB2\x75\x8E\x66\xCF\x11")) return true; // ASF, WMV
    if (StartsWith(head, "RIFF") && StartsWith(head, "AVI ", 8)) return true;
    if (StartsWith(head, std::string_view("\0\0\1\xBA", 4)) ||
        StartsWith(head, std::string_view("\0\0\1\xB3", 4)))
        return true; // MPEG program or elementary stream
    if (head.size() > 188 && head[0] == 0x47 && head[188] == 0x47) return true; // MPEG-TS
    if (StartsWith(head, "\x1A\x45\xDF\xA3")) return true;                      // Matroska, WebM
    for (std::string_view box : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
        if (StartsWith(head, box, 4)) return true; // MP4 and QuickTime
    return StartsWith(head, "OggS");
}

} // namespace

bool IsPictureOrVideoExtension(std::string_view extension) {
    const std::string ext = Lower(extension);
    if (std::find(kVideos.begin(), kVideos.end(), ext) != kVideos.end()) return true;
    const TPictureFormatRow* row = FormatRowOfExtension(ext);
    return row != nullptr && row->decode != nullptr;
}

std::optional<std::string> ItemContentProblem(std::string_view extension, std::string_view head) {
    const std::string ext = Lower(extension);
    if (std::find(kMovies.begin(), kMovies.end(), ext) != kMovies.end()) {
        if (StartsWith(head, "FWS") || StartsWith(head, "CWS") || StartsWith(head, "ZWS"))
            return std::nullopt;
        return "not a Flash movie";
    }
    if (std::find(kVideos.begin(), kVideos.end(), ext) != kVideos.end()) {
        if (IsVideoContainer(head)) return std::nullopt;
        return "not a video";
    }
    // Pictures go by the player's own table of formats, so the packer and the player never
    // disagree on what a file is.
    if (const TPictureFormatRow* row = FormatRowOfExtension(ext); row && row->decode) {
        if (row->recognises({reinterpret_cast<const uint8_t*>(head.data()), head.size()}))
            return std::nullopt;
        return "not a " + std::string(row->name) + " picture";
    }
    // Whatever else the show would try to decode as a picture, and fail.
    return "\"" + std::string(extension) + "\" is not a picture, a video or a Flash movie";
}

} // namespace pictorelle

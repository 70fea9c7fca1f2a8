#include "ItemContent.h"

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

// The picture formats the player decodes, by extension, with the first bytes of each.
struct TPictureKind {
    std::string_view extension;
    std::string_view name;
    std::array<std::string_view, 2> magic; // either one
};
constexpr std::string_view kIcoMagic("\0\0\1\0", 4);
constexpr std::string_view kTiffBigEndian("MM\0*", 4);
constexpr std::array<TPictureKind, 11> kPictures = {{
    {".jpg", "JPEG picture", {"\xFF\xD8\xFF", ""}},
    {".jpeg", "JPEG picture", {"\xFF\xD8\xFF", ""}},
    {".jpe", "JPEG picture", {"\xFF\xD8\xFF", ""}},
    {".jfif", "JPEG picture", {"\xFF\xD8\xFF", ""}},
    {".png", "PNG picture", {"\x89PNG\r\n\x1A\n", ""}},
    {".gif", "GIF picture", {"GIF87a", "GIF89a"}},
    {".tif", "TIFF picture", {"II*", kTiffBigEndian}},
    {".tiff", "TIFF picture", {"II*", kTiffBigEndian}},
    {".bmp", "BMP picture", {"BM", ""}},
    {".dib", "BMP picture", {"BM", ""}},
    {".ico", "ICO picture", {kIcoMagic, ""}},
}};

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
    return std::find(kVideos.begin(), kVideos.end(), ext) != kVideos.end() ||
           std::any_of(kPictures.begin(), kPictures.end(),
                       [&](const TPictureKind& k) { return k.extension == ext; });
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
    for (const TPictureKind& kind : kPictures) {
        if (kind.extension != ext) continue;
        for (std::string_view magic : kind.magic)
            if (!magic.empty() && StartsWith(head, magic)) return std::nullopt;
        return "not a " + std::string(kind.name);
    }
    // Whatever else the show would try to decode as a picture, and fail.
    return "\"" + std::string(extension) + "\" is not a picture, a video or a Flash movie";
}

} // namespace pictorelle

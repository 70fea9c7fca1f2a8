// A show made from a folder of pictures in one command: the manifest an author would write by
// hand for it (every picture in file-name order, fitted, all effects, the music of another
// folder), written as JSON so it can be edited and packed again.
#pragma once

#include "core/Rect.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace pictorelle {

struct TFolderShowOptions {
    std::string pictures; // the folder of pictures (and videos)
    // Or a library: the folder whose pictures the show plays where they lie (with --recursive,
    // its subfolders too), and the template its captions are written from.
    std::string library;
    std::optional<std::string> captionTemplate;
    std::optional<std::string> music; // a folder of sound files, the built-in playlist
    std::optional<std::string> title; // default: the pictures folder's name
    int seconds = 5;
    std::vector<int> effects; // empty: every effect
    bool captions = false;    // each file's name without its extension as caption
    bool recursive = false;   // subfolders too, by path; hidden files and folders left out
    // Pictures larger than this, in either direction, are written again to fit it, into
    // fitFolder (which must outlive the packing).
    std::optional<TSize> maxSize;
    std::string fitFolder;
};

// The show's title for a folder: its own name however the path was written ("Trip/", "."),
// "Pictures" for the root folder.
std::string FolderTitle(const std::string& folder);

// What a show can hold: the package's offsets are signed 32-bit numbers.
inline constexpr uintmax_t kMaxFolderShowBytes = 2147483647;

// The effect numbers of a list such as "1-10,69,115": throws ManifestError on anything else.
std::vector<int> ParseEffectList(const std::string& list);

// The manifest for the folder, with absolute file names; throws ManifestError, naming the size
// and the limit, when the files together would not fit a show. Files that are not pictures are left
// out with a warning on standard error; an unreadable file or a folder without pictures throws
// ManifestError naming it. With maxSize the items name the pictures made smaller where there
// are any, and the size checked is theirs; originals, if given, receives each item's own file.
nlohmann::json FolderManifest(const TFolderShowOptions& options,
                              std::vector<std::string>* originals = nullptr);

// The manifest of a library show: the settings and music a folder show gets, and a "library"
// member in place of items. The folder, made absolute, must be a folder now (ManifestError
// otherwise); nothing in it is read. The manifest names the folder as UTF-8 (bad bytes made
// U+FFFD): LibraryFolderPath(options.library) is its exact name.
nlohmann::json LibraryManifest(const TFolderShowOptions& options);

} // namespace pictorelle

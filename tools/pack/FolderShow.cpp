#include "FolderShow.h"

#include "FitPicture.h"
#include "ItemContent.h"
#include "Manifest.h"
#include "imaging/PictureFormats.h"
#include "package/CodePage.h"
#include "sound/engine/AudioFormats.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string_view>
#include <utility>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

constexpr int kEffectCount = 120;

std::string Head(const fs::path& file, size_t count) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ManifestError(file.string() + ": cannot be read");
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

// The folder's regular files in file-name order.
std::vector<fs::path> FilesOf(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) throw ManifestError(folder + ": not a folder");
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file(error)) files.push_back(fs::absolute(entry.path()));
    if (error) throw ManifestError(folder + ": cannot be read (" + error.message() + ")");
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    return files;
}

bool IsHidden(const fs::path& path) {
    return path.filename().string().starts_with('.');
}

// The regular files of a folder and of all its subfolders, by their path below it. Hidden
// files and folders are left out; a folder reached through a symbolic link is walked only if
// it has not been walked already, so a link back up the tree ends there.
void CollectTree(const fs::path& folder, const fs::path& below, std::set<fs::path>& walked,
                 std::vector<std::pair<fs::path, fs::path>>& files) {
    std::error_code error;
    const fs::path real = fs::canonical(folder, error);
    if (error || !walked.insert(real).second) return;
    // In name order, so that which of two ways to one folder is taken never varies.
    std::vector<fs::directory_entry> entries;
    for (const auto& entry : fs::directory_iterator(folder, error))
        entries.push_back(entry);
    if (error) throw ManifestError(folder.string() + ": cannot be read (" + error.message() + ")");
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        const fs::path name = entry.path().filename();
        if (IsHidden(name)) continue;
        std::error_code kind;
        if (entry.is_directory(kind))
            CollectTree(entry.path(), below / name, walked, files);
        else if (entry.is_regular_file(kind))
            files.emplace_back(below / name, fs::absolute(entry.path()));
    }
    if (error) throw ManifestError(folder.string() + ": cannot be read (" + error.message() + ")");
}

std::vector<fs::path> TreeFilesOf(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) throw ManifestError(folder + ": not a folder");
    std::set<fs::path> walked;
    std::vector<std::pair<fs::path, fs::path>> found;
    CollectTree(folder, {}, walked, found);
    std::sort(found.begin(), found.end());
    std::vector<fs::path> files;
    for (auto& [below, path] : found)
        files.push_back(std::move(path));
    return files;
}

// A byte count as people read it.
std::string Gibibytes(uintmax_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f GiB", static_cast<double>(bytes) / (1u << 30));
    return text;
}

// A picture, video or movie whose first bytes are what its extension says.
bool IsPicture(const fs::path& file) {
    const std::string ext = file.extension().string();
    return IsPictureOrVideoExtension(ext) && !ItemContentProblem(ext, Head(file, kItemHeadSize));
}

// What a folder show and a library show share: the settings an author would pick, the title,
// the effects and the music. bytes is what the items weigh; the music's weight is added and the
// whole checked against what a show can hold.
nlohmann::json ShowManifest(const TFolderShowOptions& o, const std::string& folder,
                            uintmax_t& bytes) {
    nlohmann::json melodies = nlohmann::json::array();
    if (o.music)
        for (const fs::path& file : FilesOf(*o.music)) {
            if (!IsAudioFileName(file.filename().string())) {
                std::cerr << "pictorelle-pack: skipping " << file.string() << ": not music\n";
                continue;
            }
            Head(file, 1); // an unreadable file is named now, not deep inside the packing
            std::error_code error;
            bytes += fs::file_size(file, error);
            melodies.push_back({{"File", file.string()}});
        }
    // Said before anything is written, rather than after minutes of packing.
    if (bytes > kMaxFolderShowBytes)
        throw ManifestError(folder + ": its pictures and music come to " + Gibibytes(bytes) + " (" +
                            std::to_string(bytes) +
                            " bytes), more than a show can hold: the package's limit is 2 GiB (" +
                            std::to_string(kMaxFolderShowBytes) + " bytes)");

    std::vector<int> effects = o.effects;
    if (effects.empty())
        for (int e = 1; e <= kEffectCount; ++e)
            effects.push_back(e);
    // A folder's name need not be UTF-8; a title is text (bad bytes become U+FFFD).
    const std::string title = ValidUtf8(o.title.value_or(FolderTitle(folder)));

    nlohmann::json manifest;
    manifest["Header"] = {{"Seconds", o.seconds},      {"Stretch", 0},
                          {"EffectSpeed", 4},          {"GradientStyle", 1},
                          {"BackColor", "0x00000000"}, {"BackColor2", "0x00303030"},
                          {"AllowStandalone", true},   {"Loop", true}};
    manifest["Strings"] = {{"SaverTitle", title.empty() ? std::string("Pictures") : title},
                           {"Effect", effects}};
    if (!melodies.empty()) manifest["Melodies"] = melodies;
    return manifest;
}

} // namespace

std::string FolderTitle(const std::string& folder) {
    // "Trip/" and "." name their folder as well as "Trip" does: the title is the key of each
    // user's settings, so two shows must not share "Pictures" by the way they were typed.
    fs::path path = fs::absolute(folder).lexically_normal();
    if (path.filename().empty()) path = path.parent_path();
    const std::string name = path.filename().string();
    return name.empty() ? std::string("Pictures") : name;
}

std::vector<int> ParseEffectList(const std::string& list) {
    std::vector<int> effects;
    size_t at = 0;
    auto number = [&](size_t& pos) {
        size_t used = 0;
        int value = 0;
        try {
            value = std::stoi(list.substr(pos), &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || value < 1 || value > kEffectCount || list[pos] == '-' || list[pos] == '+')
            throw ManifestError("--effects: \"" + list + "\" is not a list of effects 1 to 120");
        pos += used;
        return value;
    };
    while (at < list.size()) {
        const int first = number(at);
        int last = first;
        if (at < list.size() && list[at] == '-') last = number(++at);
        if (last < first) throw ManifestError("--effects: " + list + ": a range runs backwards");
        for (int e = first; e <= last; ++e)
            effects.push_back(e);
        if (at < list.size() && list[at++] != ',')
            throw ManifestError("--effects: \"" + list + "\" is not a list of effects 1 to 120");
    }
    if (effects.empty()) throw ManifestError("--effects: the list is empty");
    return effects;
}

nlohmann::json FolderManifest(const TFolderShowOptions& o, std::vector<std::string>* originals) {
    nlohmann::json items = nlohmann::json::array();
    // What the show's entries will weigh: the files as they are, or as they were made smaller.
    uintmax_t bytes = 0;
    for (const fs::path& file : o.recursive ? TreeFilesOf(o.pictures) : FilesOf(o.pictures)) {
        if (!IsPicture(file)) {
            std::cerr << "pictorelle-pack: skipping " << file.string() << ": not a picture\n";
            continue;
        }
        fs::path packed = file;
        if (o.maxSize)
            if (auto fitted = FitPicture(file, *o.maxSize, o.fitFolder,
                                         "fitted-" + std::to_string(items.size() + 1)))
                packed = *fitted;
        std::error_code error;
        bytes += fs::file_size(packed, error);
        if (originals) originals->push_back(file.string());
        nlohmann::json item = {{"File", packed.string()}};
        if (o.captions) item["CaptionText"] = file.stem().string();
        items.push_back(item);
    }
    if (items.empty()) throw ManifestError(o.pictures + ": no pictures in this folder");

    nlohmann::json manifest = ShowManifest(o, o.pictures, bytes);
    manifest["Items"] = items;
    return manifest;
}

nlohmann::json LibraryManifest(const TFolderShowOptions& o) {
    const std::string folder = LibraryFolderPath(o.library);
    CheckLibraryFolder(folder, "--library");
    uintmax_t bytes = 0;
    nlohmann::json manifest = ShowManifest(o, o.library, bytes);
    nlohmann::json library = {{"folder", ValidUtf8(folder)}, {"recursive", o.recursive}};
    if (o.captionTemplate) library["captions"] = *o.captionTemplate;
    library["item"] = nlohmann::json::object();
    manifest["library"] = library;
    return manifest;
}

} // namespace pictorelle

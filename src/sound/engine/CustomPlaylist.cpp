#include "sound/engine/CustomPlaylist.h"

#include "package/SaverSettings.h"

#include <optional>

namespace pictorelle {

namespace {

// Scans item0, item1, ... up to the first missing one. A value of the other type counts as
// empty: a damaged entry costs that entry, not the whole list or the show.
template <class Visit> void ScanPlaylist(Registry& store, std::string_view key, Visit visit) {
    store.CreateKey(key);
    for (size_t n = 0;; ++n) {
        std::optional<RegistryData> data = store.ReadValue(key, PlaylistValueName(n));
        if (!data) return;
        const std::string* text = std::get_if<std::string>(&*data);
        visit(text ? *text : std::string());
    }
}

} // namespace

std::string PlaylistKeyPath(std::string_view saverTitle) {
    return SettingsKeyPath(saverTitle) + "\\PlayList";
}

std::string PlaylistValueName(size_t n) {
    return "item" + std::to_string(n);
}

std::vector<std::string> LoadCustomPlayListNoWindow(Registry& store, std::string_view key) {
    std::vector<std::string> list;
    ScanPlaylist(store, key, [&](std::string path) { list.push_back(std::move(path)); });
    return list;
}

std::vector<std::string> ReadPlaylistLines(Registry& store, std::string_view key) {
    std::vector<std::string> lines;
    ScanPlaylist(store, key, [&](std::string path) {
        if (!path.empty()) lines.push_back(std::move(path));
    });
    return lines;
}

bool SaveCustomPlayList(Registry& store, std::string_view key, std::span<const std::string> lines) {
    std::vector<RegistryValue> values;
    values.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        values.push_back({PlaylistValueName(i), lines[i]});
    try {
        store.WriteValues(key, values); // creates the key when missing
        const std::string end = PlaylistValueName(lines.size());
        if (store.ReadValue(key, end)) store.DeleteValue(key, end);
    } catch (const RegistryError&) {
        return false;
    }
    return true;
}

} // namespace pictorelle

// The user's own playlist in the per-user store: string values item0, item1, ... under the
// "PlayList" subkey of the show's settings key, each the full path of one sound file, in
// playing order. The list ends at the first missing number; values after a gap stay stored
// but are never read.
#pragma once

#include "package/Registry.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

// The playlist's key; the title is package text (UTF-8), as for the settings key.
std::string PlaylistKeyPath(std::string_view saverTitle);

// The name of entry n: "item" and n in decimal.
std::string PlaylistValueName(size_t n);

// The list the show plays: one element per stored value up to the gap, an empty stored
// string (or a value that is not a string) giving an empty element, so indices match the
// stored numbers. Creates the key when missing. Throws RegistryError when the store fails.
std::vector<std::string> LoadCustomPlayListNoWindow(Registry& store, std::string_view key);

// The list the editor shows: the same scan, empty entries left out.
std::vector<std::string> ReadPlaylistLines(Registry& store, std::string_view key);

// Writes the lines as item0 .. item(k-1) in one transaction, then deletes item<k> so the
// stored list ends where the edited one ends (entries after it stay, behind the gap).
// False, with nothing or only the values written, when the store fails.
bool SaveCustomPlayList(Registry& store, std::string_view key, std::span<const std::string> lines);

} // namespace pictorelle

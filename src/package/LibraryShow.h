// A library show: a show whose pictures are not in the package but in a folder where they lie.
// The package carries everything else a show carries, and in three of the string block's
// reserved slots the library's folder, whether its subfolders count, the one item record every
// picture of the library gets (size mode, effect and speed, caption font, colours and
// placement, seconds) and the caption template. The folder's slot and the record's hold ASCII
// (the folder's bytes and the record are escaped), so the package's code page cannot change
// them; the caption template is a text like the other strings. A reader that knows nothing of
// library shows reads a show of no items.
#pragma once

#include "package/PackageLayout.h"

#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

// The first line of the description slot; a slot that does not begin with it is no library.
inline constexpr std::string_view kLibraryShowMagic = "Pictorelle library 1";

struct TLibraryShow {
    std::string Folder;     // absolute, the file system's bytes
    bool Recursive = false; // subfolders too
    // What every picture gets. Ext, Offset, DataSize and StoredSize mean nothing here and are
    // stored as zero; CaptionText is the fixed caption when CaptionTemplate is empty.
    ItemRecord Template;
    std::string CaptionTemplate; // UTF-8; fields as the caption writer knows them
};

// Stores the show's description in the reserved slots (4: folder and choice, 5: the template
// record, 6: the caption template). Throws std::length_error when the folder or template is
// too long for a slot, or a text of the record does not fit its field, and
// std::invalid_argument for a folder that is not absolute or holds a NUL: what is stored must
// read back. Slots 4 and 5 are ASCII; slot 6 is a text like the other strings, so whoever stores
// the package's texts stores it in the package's code page (the packer's manifest reader does).
void StoreLibraryShow(const TLibraryShow& show, StringBlock& strings);

// The description carried by the strings, or none when the package is an ordinary show.
// Throws PackageError when slot 4 says library but its content is damaged (a folder that is
// not absolute, a record of the wrong length, a bad escape): such a package is corrupt.
// Texts of the record are taken as UTF-8 (the packer writes nothing else).
std::optional<TLibraryShow> ReadLibraryShow(const StringBlock& strings);

// Percent-escaping of bytes: letters, digits and "-._~/" stay, every other byte is %XX.
std::string EscapeBytes(std::string_view bytes);
// The reverse; none when a % is not followed by two hex digits or a byte outside printable
// ASCII is there.
std::optional<std::string> UnescapeBytes(std::string_view text);

} // namespace pictorelle

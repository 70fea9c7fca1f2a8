// Reading the package that the player carries at the end of its own file: locating the
// trailer, the string block and the record sections. Reading is all or nothing: anything out
// of place throws PackageError, and the caller shows kCorruptPackageMessage.
#pragma once

#include "package/ByteSource.h"
#include "package/PackageLayout.h"

#include <vector>

namespace pictorelle {

inline constexpr const char* kCorruptPackageMessage =
    "The screen saver can not run because of one of the following reasons:\r\n\r\n"
    "* The file is corrupted\r\n* Your computer is out of resources\r\n* Windows error";

// Everything the reader fills: the header (with FileLength set to the real length), the
// strings and the four record arrays. Texts (the strings but Effect, the items' captions and
// fonts) hold UTF-8 whatever the package's code page; selections and extensions hold the
// package's bytes.
struct Package {
    PackageHeader Header;
    int64_t PackageStart = 0;
    StringBlock Strings;
    std::vector<ItemRecord> Items;
    std::vector<MaskRecord> Masks;
    std::vector<EnterSoundRecord> EnterSounds;
    std::vector<MelodyRecord> Melodies;

    // Absolute file offset of a section: PackageStart plus the lengths of those before it.
    int64_t SectionStart(SectionId section) const;
    // Absolute file offsets of an entry's bytes. Items, masks and enter sounds count from
    // the package's start; melodies from the start of their own section.
    int64_t EntryOffset(const EntryRecord& record) const { return PackageStart + record.Offset; }
    int64_t EntryOffset(const MelodyRecord& record) const {
        return SectionStart(SectionId::Melodies) + record.Offset;
    }
};

// Reads the trailer: header, magic and PackageStart. Rejects a file without the magic and a
// header whose sizes do not fit inside the file.
void LocatePackage(const ByteSource& file, Package& package);
// Reads the 18 strings of the string block; needs the header.
void ReadPackageStrings(const ByteSource& file, Package& package);
// Reads the item, mask, enter-sound and melody records.
void ReadPackageRecords(const ByteSource& file, Package& package);

// All three steps.
Package ReadPackage(const ByteSource& file);

} // namespace pictorelle

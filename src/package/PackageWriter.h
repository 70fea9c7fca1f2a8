// Building a package: the packer appends its output to a copy of the player, and tests use it
// to make packages of any shape.
#pragma once

#include "package/PackageLayout.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace pictorelle {

template <class R> struct PackageEntry {
    R Record;
    std::vector<uint8_t> Data;
};

struct PackageContent {
    // Settings travel as given; section sizes, counts and entry locations are filled in.
    PackageHeader Header;
    StringBlock Strings;
    std::vector<uint8_t> FlashControl;
    std::vector<uint8_t> Preview;
    std::vector<uint8_t> Banner;
    std::vector<uint8_t> ExitBanner;
    std::vector<uint8_t> Logo;
    std::vector<uint8_t> Background;
    // Entries that are already zlib streams, stored as they are with the DataSize given here
    // whatever they really inflate to (packages made to test the player): the background, and
    // items by their index.
    std::optional<int32_t> BackgroundInflatedSize;
    std::map<size_t, int32_t> InflatedItemSizes;
    std::vector<PackageEntry<ItemRecord>> Items;
    std::vector<PackageEntry<MaskRecord>> Masks;
    std::vector<PackageEntry<EnterSoundRecord>> EnterSounds;
    std::vector<PackageEntry<MelodyRecord>> Melodies;
    // Store record entries as zlib streams where that makes them more than an eighth smaller
    // (below that, inflating at every showing costs more than the bytes saved are worth).
    bool CompressEntries = true;
};

// One zlib stream (RFC 1950) of the bytes, at the best compression level. Throws
// PictorelleError when zlib fails.
std::vector<uint8_t> DeflateBytes(const std::vector<uint8_t>& bytes);

// One zlib stream of prefix followed by zeroCount zero bytes, made without holding the zeros:
// a few kilobytes per gigabyte, for packages that test how the player bears huge entries.
// Throws PictorelleError when zlib fails.
std::vector<uint8_t> DeflateWithZeros(const std::vector<uint8_t>& prefix, uint64_t zeroCount);

// The package's bytes, trailer included. Throws std::length_error when a string is longer
// than the block can count or the package outgrows 32-bit sizes.
std::vector<uint8_t> WritePackage(const PackageContent& content);

} // namespace pictorelle

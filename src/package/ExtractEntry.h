// Copying one entry of the package to a temporary file, raw or inflated from a zlib stream:
// by its location and sizes, or by its record, which knows where its offset counts from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pictorelle {

struct Package;
struct EntryRecord;
struct MelodyRecord;

// The most an entry may inflate to. Compressed entries are inflated whole in memory, so the
// stated size is also bounded by what a zlib stream of the stored size can possibly produce.
inline constexpr int64_t kMaxInflatedEntrySize = int64_t{512} << 20;
inline constexpr size_t kRawCopyChunk = 524288;

// True when a compressed entry's sizes are worth trying: positive, within the cap, and no
// larger than zlib's best ratio allows for the stored bytes (so a forged size cannot make
// us reserve memory the file does not justify).
bool InflatedSizeAcceptable(int64_t storedSize, int64_t dataSize);

// Inflates one zlib stream into at most dataSize bytes. Empty on a corrupt stream, on a
// stream that would produce more than dataSize bytes, or on unacceptable sizes.
std::optional<std::vector<uint8_t>> InflateEntry(std::span<const uint8_t> stored, int64_t dataSize);

// Writes one entry of source to destination (created or replaced). Never reports failure:
// on any failure the destination is removed, and the caller finds out when it loads it.
// A raw entry of size 0 gives an empty file.
void ExtractEntry(const std::string& source, const std::string& destination, bool compressed,
                  int64_t offset, int64_t storedSize, int64_t dataSize);

// The entry of an item, mask or enter-sound record (offset from the package's start), or of a
// melody record (offset from the melody section), located in package as read from source.
void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const EntryRecord& record);
void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const MelodyRecord& record);

} // namespace pictorelle

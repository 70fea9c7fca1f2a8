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

// Ceilings on what one entry may write, whatever its record claims. Entries are streamed to
// their file in chunks, so memory stays small; the ceilings bound the disk and what a loader
// later reads back. Movies and sounds get the general ceiling; picture files are read whole
// by the decoders, so they get a smaller one.
inline constexpr int64_t kMaxInflatedEntrySize = int64_t{512} << 20;
inline constexpr int64_t kMaxPictureEntrySize = int64_t{48} << 20;
// An entry is not extracted when it would leave less than this free on the temporary
// folder's file system.
inline constexpr int64_t kTempSpaceReserve = int64_t{64} << 20;
inline constexpr size_t kRawCopyChunk = 524288;
inline constexpr size_t kInflateChunk = 262144;

// True when a compressed entry's sizes are worth trying: positive, within the cap, and no
// larger than zlib's best ratio allows for the stored bytes (so a forged size cannot make
// us write more than the file justifies).
bool InflatedSizeAcceptable(int64_t storedSize, int64_t dataSize);

// Inflates one zlib stream into at most dataSize bytes. Empty on a corrupt stream, on a
// stream that would produce more than dataSize bytes, or on unacceptable sizes.
std::optional<std::vector<uint8_t>> InflateEntry(std::span<const uint8_t> stored, int64_t dataSize);

// Writes one entry of source to destination (created or replaced). Never reports failure:
// on any failure the destination is removed, and the caller finds out when it loads it.
// A raw entry of size 0 gives an empty file. Fails without writing when the entry is larger
// than ceiling or would crowd the destination's file system (kTempSpaceReserve); a stream
// that inflates past its dataSize or the ceiling stops there and fails.
void ExtractEntry(const std::string& source, const std::string& destination, bool compressed,
                  int64_t offset, int64_t storedSize, int64_t dataSize,
                  int64_t ceiling = kMaxInflatedEntrySize);

// The entry of an item, mask or enter-sound record (offset from the package's start), or of a
// melody record (offset from the melody section), located in package as read from source.
void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const EntryRecord& record, int64_t ceiling = kMaxInflatedEntrySize);
void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const MelodyRecord& record, int64_t ceiling = kMaxInflatedEntrySize);

} // namespace pictorelle

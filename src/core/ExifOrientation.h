// The EXIF orientation tag: how the camera held the picture it stored. Read from an EXIF block
// (TIFF-structured, as decoders deliver it) or straight from a JPEG's or PNG's bytes, cheaply
// enough to do before any pixel is decoded. Never trusts an offset inside the block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace pictorelle {

// The orientation (1..8) in an EXIF block; 1 when there is none or it cannot be read. A
// leading "Exif\0\0" (some writers keep it in PNG's eXIf) is skipped.
int ExifOrientation(std::span<const uint8_t> exif);

// Where the orientation's value (a 16-bit SHORT in the block's byte order) lies in the block,
// for rewriting it in place; none when the block has no readable orientation tag.
std::optional<size_t> ExifOrientationOffset(std::span<const uint8_t> exif);

// The EXIF block of a JPEG file (its first APP1 "Exif" segment before the picture data, from
// the byte after "Exif\0\0") or of a PNG file (its eXIf chunk before the picture data); empty
// when there is none.
std::span<const uint8_t> JpegExifBlock(std::span<const uint8_t> jpeg);
std::span<const uint8_t> PngExifBlock(std::span<const uint8_t> png);

} // namespace pictorelle

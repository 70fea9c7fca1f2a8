// A TIFF-structured block, the layout EXIF data has, read without trusting any offset or count
// in it: every read is checked against the block's end first. The EXIF readers (orientation,
// the time a photo was taken) walk their tags through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace pictorelle {

// Reads a 16- or 32-bit number in the given byte order; p must have 2 or 4 bytes.
uint16_t ReadU16(const uint8_t* p, bool little);
uint32_t ReadU32(const uint8_t* p, bool little);

// The "Exif\0\0" some writers put before the TIFF header.
std::span<const uint8_t> WithoutExifPrefix(std::span<const uint8_t> block);

class TTiffBlock {
public:
    // None when the block (after a leading "Exif\0\0") does not start with a TIFF header.
    static std::optional<TTiffBlock> Open(std::span<const uint8_t> block);

    // How many bytes of the block come before the TIFF header.
    size_t Skipped() const { return skipped_; }
    bool Little() const { return little_; }
    uint16_t Read16(size_t at) const { return ReadU16(tiff_.data() + at, little_); }
    uint32_t Read32(size_t at) const { return ReadU32(tiff_.data() + at, little_); }

    // Offset of IFD 0 from the TIFF header.
    uint32_t FirstIfd() const { return Read32(4); }
    // Offset of the 12-byte entry for tag in the IFD at ifd; none when the IFD is not within
    // the block or has no such entry before it runs past the block's end.
    std::optional<size_t> FindEntry(uint32_t ifd, uint16_t tag) const;
    // The value of an ASCII entry (type 2) without its terminating NULs; none when the entry
    // has another type or its bytes are not within the block.
    std::optional<std::string_view> AsciiValue(size_t entry) const;
    // The value of a LONG (type 4) or SHORT (type 3) entry with a count of one.
    std::optional<uint32_t> NumberValue(size_t entry) const;

private:
    std::span<const uint8_t> tiff_;
    size_t skipped_ = 0;
    bool little_ = true;
};

} // namespace pictorelle

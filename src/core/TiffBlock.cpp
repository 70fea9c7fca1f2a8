#include "core/TiffBlock.h"

#include <cstring>

namespace pictorelle {

uint16_t ReadU16(const uint8_t* p, bool little) {
    return little ? static_cast<uint16_t>(p[0] | p[1] << 8)
                  : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t ReadU32(const uint8_t* p, bool little) {
    return little ? static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                  : static_cast<uint32_t>(uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

std::span<const uint8_t> WithoutExifPrefix(std::span<const uint8_t> block) {
    static constexpr uint8_t kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (block.size() >= 6 && std::memcmp(block.data(), kExifPrefix, 6) == 0)
        return block.subspan(6);
    return block;
}

std::optional<TTiffBlock> TTiffBlock::Open(std::span<const uint8_t> block) {
    TTiffBlock t;
    t.tiff_ = WithoutExifPrefix(block);
    t.skipped_ = block.size() - t.tiff_.size();
    if (t.tiff_.size() < 8) return std::nullopt;
    t.little_ = t.tiff_[0] == 'I' && t.tiff_[1] == 'I';
    if (!t.little_ && !(t.tiff_[0] == 'M' && t.tiff_[1] == 'M')) return std::nullopt;
    if (t.Read16(2) != 42) return std::nullopt;
    return t;
}

std::optional<size_t> TTiffBlock::FindEntry(uint32_t ifd, uint16_t tag) const {
    const size_t size = tiff_.size();
    if (ifd > size - 2) return std::nullopt;
    const uint16_t entries = Read16(ifd);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + size_t{12} * i;
        if (at + 12 > size) return std::nullopt;
        if (Read16(at) == tag) return at;
    }
    return std::nullopt;
}

std::optional<std::string_view> TTiffBlock::AsciiValue(size_t entry) const {
    if (Read16(entry + 2) != 2) return std::nullopt;
    const uint32_t count = Read32(entry + 4);
    // Up to four bytes sit in the entry itself; longer values are elsewhere in the block.
    const size_t at = count <= 4 ? entry + 8 : Read32(entry + 8);
    if (at > tiff_.size() || count > tiff_.size() - at) return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(tiff_.data() + at), count);
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    return text;
}

std::optional<uint32_t> TTiffBlock::NumberValue(size_t entry) const {
    const uint16_t type = Read16(entry + 2);
    if (Read32(entry + 4) != 1) return std::nullopt;
    if (type == 3) return Read16(entry + 8); // a SHORT sits left-justified in the value field
    if (type == 4) return Read32(entry + 8);
    return std::nullopt;
}

} // namespace pictorelle

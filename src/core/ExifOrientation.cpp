#include "core/ExifOrientation.h"

#include <cstring>

namespace pictorelle {

namespace {

uint16_t read16(const uint8_t* p, bool little) {
    return little ? static_cast<uint16_t>(p[0] | p[1] << 8)
                  : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t read32(const uint8_t* p, bool little) {
    return little ? static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                  : static_cast<uint32_t>(uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

constexpr uint8_t kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};

std::span<const uint8_t> withoutPrefix(std::span<const uint8_t> exif) {
    if (exif.size() >= 6 && std::memcmp(exif.data(), kExifPrefix, 6) == 0) return exif.subspan(6);
    return exif;
}

} // namespace

std::optional<size_t> ExifOrientationOffset(std::span<const uint8_t> block) {
    const std::span<const uint8_t> tiff = withoutPrefix(block);
    const size_t skipped = block.size() - tiff.size();
    const size_t size = tiff.size();
    if (size < 8) return std::nullopt;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return std::nullopt;
    if (read16(tiff.data() + 2, little) != 42) return std::nullopt;
    const uint32_t ifd = read32(tiff.data() + 4, little);
    if (ifd > size - 2) return std::nullopt;
    const uint16_t entries = read16(tiff.data() + ifd, little);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + size_t{12} * i;
        if (at + 12 > size) return std::nullopt;
        if (read16(tiff.data() + at, little) != 0x0112) continue;
        // A SHORT with a count of one sits left-justified in the entry's value field.
        if (read16(tiff.data() + at + 2, little) != 3) return std::nullopt;
        return skipped + at + 8;
    }
    return std::nullopt;
}

int ExifOrientation(std::span<const uint8_t> block) {
    const std::optional<size_t> at = ExifOrientationOffset(block);
    if (!at) return 1;
    const std::span<const uint8_t> tiff = withoutPrefix(block);
    const bool little = tiff[0] == 'I';
    const int value = read16(block.data() + *at, little);
    return value >= 1 && value <= 8 ? value : 1;
}

std::span<const uint8_t> JpegExifBlock(std::span<const uint8_t> jpeg) {
    const uint8_t* p = jpeg.data();
    const size_t n = jpeg.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return {};
    for (size_t at = 2; at + 4 <= n;) {
        if (p[at] != 0xFF) return {};
        const uint8_t marker = p[at + 1];
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return {}; // the picture data: no EXIF before it
        const size_t length = read16(p + at + 2, false);
        if (length < 2 || at + 2 + length > n) return {};
        const std::span<const uint8_t> body = jpeg.subspan(at + 4, length - 2);
        if (marker == 0xE1 && body.size() > 6 && std::memcmp(body.data(), kExifPrefix, 6) == 0)
            return body.subspan(6);
        at += 2 + length;
    }
    return {};
}

std::span<const uint8_t> PngExifBlock(std::span<const uint8_t> png) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return {};
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = read32(png.data() + at, false);
        const uint8_t* type = png.data() + at + 4;
        if (length > png.size() - at - 12) return {};
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return {};
        if (std::memcmp(type, "eXIf", 4) == 0) return png.subspan(at + 8, length);
        at += size_t{12} + length;
    }
    return {};
}

} // namespace pictorelle

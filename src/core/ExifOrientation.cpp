#include "core/ExifOrientation.h"

#include "core/TiffBlock.h"

#include <cstring>

namespace pictorelle {

namespace {

constexpr uint8_t kExifPrefix[6] = {'E', 'x', 'i', 'f', 0, 0};

} // namespace

std::optional<size_t> ExifOrientationOffset(std::span<const uint8_t> block) {
    const std::optional<TTiffBlock> tiff = TTiffBlock::Open(block);
    if (!tiff) return std::nullopt;
    const std::optional<size_t> at = tiff->FindEntry(tiff->FirstIfd(), 0x0112);
    // A SHORT with a count of one sits left-justified in the entry's value field.
    if (!at || tiff->Read16(*at + 2) != 3) return std::nullopt;
    return tiff->Skipped() + *at + 8;
}

int ExifOrientation(std::span<const uint8_t> block) {
    const std::optional<size_t> at = ExifOrientationOffset(block);
    if (!at) return 1;
    const bool little = WithoutExifPrefix(block)[0] == 'I';
    const int value = ReadU16(block.data() + *at, little);
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
        const size_t length = ReadU16(p + at + 2, false);
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
        const uint32_t length = ReadU32(png.data() + at, false);
        const uint8_t* type = png.data() + at + 4;
        if (length > png.size() - at - 12) return {};
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return {};
        if (std::memcmp(type, "eXIf", 4) == 0) return png.subspan(at + 8, length);
        at += size_t{12} + length;
    }
    return {};
}

} // namespace pictorelle

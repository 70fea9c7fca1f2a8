#include "Orientation.h"

#include <cstring>
#include <turbojpeg.h>

namespace pictorelle {
namespace {

uint16_t Read16(const uint8_t* p, bool little) {
    return little ? static_cast<uint16_t>(p[0] | p[1] << 8)
                  : static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t Read32(const uint8_t* p, bool little) {
    return little ? static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24)
                  : static_cast<uint32_t>(uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

// The orientation tag inside an EXIF block's TIFF structure (the first image's directory).
int OrientationInTiff(const uint8_t* tiff, size_t size) {
    if (size < 8) return 1;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    if (Read16(tiff + 2, little) != 42) return 1;
    const uint32_t ifd = Read32(tiff + 4, little);
    if (ifd > size - 2) return 1;
    const uint16_t entries = Read16(tiff + ifd, little);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + size_t{12} * i;
        if (at + 12 > size) return 1;
        if (Read16(tiff + at, little) != 0x0112) continue; // Orientation
        const int value = Read16(tiff + at + 8, little);   // a SHORT, left-justified
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

} // namespace

int JpegOrientation(std::span<const uint8_t> jpeg) {
    const uint8_t* p = jpeg.data();
    const size_t n = jpeg.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8) return 1;
    // Walk the markers before the picture data; EXIF is an APP1 segment.
    for (size_t at = 2; at + 4 <= n;) {
        if (p[at] != 0xFF) return 1;
        const uint8_t marker = p[at + 1];
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 1; // the picture data: no EXIF before it
        const size_t length = Read16(p + at + 2, false);
        if (length < 2 || at + 2 + length > n) return 1;
        const uint8_t* body = p + at + 4;
        const size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize > 6 && std::memcmp(body, "Exif\0\0", 6) == 0)
            return OrientationInTiff(body + 6, bodySize - 6);
        at += 2 + length;
    }
    return 1;
}

std::vector<uint8_t> UprightJpeg(std::span<const uint8_t> jpeg) {
    std::vector<uint8_t> original(jpeg.begin(), jpeg.end());
    static constexpr int kOperation[9] = {TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                                          TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                                          TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
    const int orientation = JpegOrientation(jpeg);
    if (orientation == 1) return original;

    tjhandle handle = tjInitTransform();
    if (!handle) return original;
    tjtransform transform{};
    transform.op = kOperation[orientation];
    transform.options = TJXOPT_TRIM | TJXOPT_COPYNONE;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int rc =
        tjTransform(handle, original.data(), original.size(), 1, &out, &outSize, &transform, 0);
    std::vector<uint8_t> result = original;
    if (rc == 0 && out && outSize > 0) result.assign(out, out + outSize);
    tjFree(out);
    tjDestroy(handle);
    return result;
}

} // namespace pictorelle

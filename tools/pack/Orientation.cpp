#include "Orientation.h"

#include "core/ExifOrientation.h"

#include <optional>
#include <turbojpeg.h>

namespace pictorelle {

int JpegOrientation(std::span<const uint8_t> jpeg) {
    return ExifOrientation(JpegExifBlock(jpeg));
}

namespace {

// Sets the orientation tag of the file's EXIF block to upright, in place.
void markUpright(std::vector<uint8_t>& jpeg) {
    const std::span<const uint8_t> block = JpegExifBlock(jpeg);
    const std::optional<size_t> at = ExifOrientationOffset(block);
    if (!at) return;
    const size_t offset = static_cast<size_t>(block.data() - jpeg.data()) + *at;
    const bool little = block.size() >= 2 && block[0] == 'I';
    jpeg[offset] = little ? 1 : 0;
    jpeg[offset + 1] = little ? 0 : 1;
}

} // namespace

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
    // Every marker is kept (the colour profile above all); only the orientation tag changes,
    // so neither the player nor another viewer turns the picture a second time.
    transform.options = TJXOPT_TRIM;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int rc =
        tjTransform(handle, original.data(), original.size(), 1, &out, &outSize, &transform, 0);
    std::vector<uint8_t> result = original;
    if (rc == 0 && out && outSize > 0) {
        result.assign(out, out + outSize);
        markUpright(result);
    }
    tjFree(out);
    tjDestroy(handle);
    return result;
}

} // namespace pictorelle

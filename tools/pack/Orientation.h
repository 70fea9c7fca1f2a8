// Photos that cameras store turned: the EXIF orientation of a JPEG file, and the lossless
// transform that makes the picture stand the way it was taken. The player draws pictures as
// their pixels lie, so the packer turns them once, without re-encoding.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pictorelle {

// The orientation tag (1..8) of a JPEG file's EXIF block; 1 when there is none or it cannot be
// read.
int JpegOrientation(std::span<const uint8_t> jpeg);

// The picture turned (or mirrored) upright by a lossless transform, its markers kept and its
// orientation tag set to upright, so no viewer turns it a second time. Edge blocks
// that cannot be transformed losslessly are trimmed (at most 15 pixels). The file as it is
// when it stands upright already or cannot be transformed.
std::vector<uint8_t> UprightJpeg(std::span<const uint8_t> jpeg);

} // namespace pictorelle

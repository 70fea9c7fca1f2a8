// The per-format decoders behind DecodePictureData; each throws ImageError.
#pragma once

#include "imaging/Decode.h"

namespace pictorelle::decoders {

// Each delivers the part of the picture its plan asks for (ResolveRequest), reduced by
// ReductionFactor (JPEG: by its own scaled decoding where it can), and looks at
// CheckDecodeCancelled between rows.
TDecodedPicture DecodeJpeg(std::span<const uint8_t> data, const TDecodePlan& plan);
TDecodedPicture DecodePng(std::span<const uint8_t> data, const TDecodePlan& plan);
TDecodedPicture DecodeTiff(std::span<const uint8_t> data, const TDecodePlan& plan);
TDecodedPicture DecodeGifFirstFrame(std::span<const uint8_t> data, const TDecodePlan& plan);
// BMP and ICO through Qt's image reader; format is "bmp" or "ico".
TDecodedPicture DecodeWithQt(std::span<const uint8_t> data, const char* format,
                             const TDecodePlan& plan);

} // namespace pictorelle::decoders

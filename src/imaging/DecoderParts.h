// The per-format decoders behind DecodePictureData; each throws ImageError.
#pragma once

#include "imaging/Decode.h"

namespace pictorelle::decoders {

TDecodedPicture DecodeJpeg(std::span<const uint8_t> data, const TTargetSize& target);
TDecodedPicture DecodePng(std::span<const uint8_t> data);
TDecodedPicture DecodeTiff(std::span<const uint8_t> data);
TDecodedPicture DecodeGifFirstFrame(std::span<const uint8_t> data);
// BMP and ICO through Qt's image reader; format is "bmp" or "ico".
TDecodedPicture DecodeWithQt(std::span<const uint8_t> data, const char* format);

} // namespace pictorelle::decoders

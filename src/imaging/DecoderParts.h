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
// A still WebP (the first frame of an animated one) through libwebp, cut and scaled by the
// library; WebpAnimates tells whether the file holds an animation.
TDecodedPicture DecodeWebp(std::span<const uint8_t> data, const TDecodePlan& plan);
bool WebpAnimates(std::span<const uint8_t> data);
// HEIF and AVIF through libheif: the primary image with the file's rotation, mirror and crop.
TDecodedPicture DecodeHeif(std::span<const uint8_t> data, const TDecodePlan& plan);
// JPEG XL through libjxl, its first frame, upright.
TDecodedPicture DecodeJxl(std::span<const uint8_t> data, const TDecodePlan& plan);
// SVG and SVGZ through librsvg, drawn at the size the plan wants.
TDecodedPicture DecodeSvg(std::span<const uint8_t> data, const TDecodePlan& plan);

} // namespace pictorelle::decoders

// Decoding picture files into TBitmap32, by the file's extension: JPEG, PNG, TIFF, GIF (its
// first frame), BMP and ICO. Every decoder reports failure as ImageError, whatever library sits
// underneath, and refuses pictures too large to hold before it allocates their pixels.
#pragma once

#include "core/Bitmap32.h"
#include "core/Error.h"
#include "core/Rect.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

// A file that cannot be read as a picture: unknown or refused format, damaged data, or a size
// we will not allocate.
class ImageError : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

// Limits on what a decoder will allocate: no side beyond kMaxPictureSide and no more than
// kMaxPicturePixels pixels in all.
inline constexpr int kMaxPictureSide = 32767;
inline constexpr int64_t kMaxPicturePixels = 100'000'000;
inline constexpr int64_t kMaxPictureFileSize = int64_t{1} << 30;

// Throws ImageError unless width x height is a picture size we accept (both at least 1).
void CheckPictureSize(int64_t width, int64_t height);

enum class TPictureFormat { Jpeg, Png, Tiff, Gif, Bmp, Ico, Metafile, Unknown };

// The format for a file extension, with or without its leading dot, in any letter case.
TPictureFormat FormatOfExtension(std::string_view extension);

// Given the picture's true size, the smallest size the caller will draw it at. A decoder that
// can decode at a reduced scale (JPEG) picks the smallest scale that still covers that size.
using TTargetSize = std::function<TSize(TSize natural)>;

struct TDecodedPicture {
    TBitmap32 bitmap; // the pixels; smaller than natural only after reduced-scale decoding
    TSize natural;    // the picture's true size: what placement works with
    // GIF with a transparent colour: the exact pixel value its transparent pixels carry (the
    // palette colour with alpha 0), so they can be told apart from visible pixels of the
    // same colour.
    std::optional<uint32_t> transparentPixel;
};

// A picture file's bytes, refused beyond kMaxPictureFileSize. Throws ImageError.
std::vector<uint8_t> ReadPictureFile(const std::string& path);

// Decodes the file at path by its extension. Throws ImageError.
TDecodedPicture DecodePicture(const std::string& path, const TTargetSize& target = {});

// Decodes bytes held in memory as the format of extension. Throws ImageError.
TDecodedPicture DecodePictureData(std::span<const uint8_t> data, std::string_view extension,
                                  const TTargetSize& target = {});

} // namespace pictorelle

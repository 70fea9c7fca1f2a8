// Decoding picture files into TBitmap32, by the file's extension: JPEG, PNG, TIFF, GIF (its
// first frame), BMP, ICO, WebP, HEIF, AVIF, JPEG XL and SVG (the table of formats is in
// PictureFormats.h). Every decoder reports failure as ImageError, whatever library sits
// underneath, and refuses pictures too large to hold before it allocates their pixels.
#pragma once

#include "core/Bitmap32.h"
#include "core/Error.h"
#include "core/Rect.h"

#include <atomic>
#include <cstddef>
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

// Side information read next to the pixels is bounded too, far above what a camera or an
// editor writes: a colour profile (assembled from all its pieces), an EXIF block, and any text
// chunk or comment a decoder has to read through.
inline constexpr size_t kMaxIccProfileBytes = size_t{4} << 20;
inline constexpr size_t kMaxExifBytes = size_t{1} << 20;
inline constexpr size_t kMaxTextChunkBytes = size_t{64} << 10;

// Throws ImageError unless width x height is a picture size we accept (both at least 1).
void CheckPictureSize(int64_t width, int64_t height);

enum class TPictureFormat {
    Jpeg,
    Png,
    Tiff,
    Gif,
    Bmp,
    Ico,
    Metafile,
    WebP,
    Heif,
    Avif,
    JpegXl,
    Svg,
    Unknown
};

// The format for a file extension, with or without its leading dot, in any letter case.
TPictureFormat FormatOfExtension(std::string_view extension);

// What a caller will draw of a picture, decided from the picture's true size before any pixel
// is decoded, so that a picture never costs more memory than the screen shows of it.
struct TDecodeRequest {
    // The part of the picture that is needed, in the picture's own pixels; clipped to the
    // picture, and the whole picture when empty.
    TRect source;
    // The smallest size the source part will be drawn at; a decoder reduces the part by the
    // largest factor that still covers this size (0 in a direction: the part's own size).
    TSize wanted;
    // The most a decoder may deliver in each direction (0: no limit); wins over wanted.
    TSize limit;
};
using TDecodePlan = std::function<TDecodeRequest(TSize natural)>;

// The request a plan makes for a picture of the given size, with source clipped to the
// picture (the whole picture when the plan leaves it empty or there is no plan) and wanted
// filled in.
TDecodeRequest ResolveRequest(const TDecodePlan& plan, TSize natural);

// The integer factor a part of the given size is reduced by: the largest that keeps
// ceil(size / factor) at least wanted in both directions, raised until the result fits limit.
int ReductionFactor(TSize part, TSize wanted, TSize limit);

// The smallest factor whose result ceil(size / factor) fits limit in both directions (1 when
// there is no limit).
int LimitFactor(TSize part, TSize limit);

struct TDecodedPicture {
    // The source part; smaller than it only after reduced-scale decoding. A vector picture
    // (SVG) is drawn at the size it is wanted, which may be larger than its natural size.
    TBitmap32 bitmap;
    TSize natural; // the picture's true size: what placement works with
    TRect source;  // the part of the picture the bitmap holds: the whole picture unless cropped
    // GIF with a transparent colour: the exact pixel value its transparent pixels carry (the
    // palette colour with alpha 0), so they can be told apart from visible pixels of the
    // same colour.
    std::optional<uint32_t> transparentPixel;
    // Side information found next to the pixels, for the colour and orientation step that
    // follows every decoder: the embedded ICC profile (empty: the pixels are sRGB) and the EXIF
    // block, TIFF-structured, without its "Exif\0\0" prefix (empty: none). A decoder whose
    // library has already applied them leaves them empty.
    std::vector<uint8_t> iccProfile;
    std::vector<uint8_t> exif;
    // Set by a decoder that converted its pixels from iccProfile to sRGB itself, row by row
    // as it decoded them; the step after decoding then leaves the colours alone.
    bool coloursConverted = false;
    // The orientation (1 to 8) a format states in its own structure rather than in EXIF
    // (TIFF's tag), which the decoder has not applied; 0: none.
    int orientation = 0;
};

// Decoding a large picture can be abandoned from another thread: the decoders look at the flag
// between rows (and between libjpeg's passes) and throw TDecodeCancelled once it is set.
class TDecodeCancelled : public ImageError {
public:
    TDecodeCancelled() : ImageError("decoding abandoned") {}
};
// The flag the decoders of the calling thread look at while this object lives.
class TDecodeCancelScope {
public:
    explicit TDecodeCancelScope(const std::atomic<bool>* flag);
    ~TDecodeCancelScope();
    TDecodeCancelScope(const TDecodeCancelScope&) = delete;
    TDecodeCancelScope& operator=(const TDecodeCancelScope&) = delete;

private:
    const std::atomic<bool>* previous_;
};
// Throws TDecodeCancelled when the calling thread's decoding has been abandoned.
void CheckDecodeCancelled();

// A picture file's bytes, refused beyond kMaxPictureFileSize. Throws ImageError.
std::vector<uint8_t> ReadPictureFile(const std::string& path);

// Decodes the file at path by its extension. Throws ImageError.
TDecodedPicture DecodePicture(const std::string& path, const TDecodePlan& plan = {});

// The step that follows every decoder, run once by DecodePictureData: the pixels converted
// from the embedded ICC profile to sRGB, and the picture turned by the EXIF orientation (1 to
// 8; natural and source turn with it). The profile and the EXIF block stay in the result as
// what the file said; nothing applies them again.
void ApplySideInformation(TDecodedPicture& picture, int orientation);

// Decodes bytes held in memory as the format of extension, converted to sRGB and turned
// upright (the plan is asked about the upright picture). Throws ImageError.
TDecodedPicture DecodePictureData(std::span<const uint8_t> data, std::string_view extension,
                                  const TDecodePlan& plan = {});

} // namespace pictorelle

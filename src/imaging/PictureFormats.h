// The one table of picture formats: each format is a row with its extensions, a check of its
// first bytes, its decoder and how that decoder reduces a picture, and, for formats whose files
// may hold an animation, the reader that hands the frames to the GIF animator. The loader
// picks a row by extension, the packer's folder mode by first bytes; the fuzz targets and the
// render tool walk the same rows, so adding a format is adding a row and a decoder file.
#pragma once

#include "imaging/Decode.h"
#include "imaging/GifImage.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pictorelle {

// How a decoder meets a request for less than the whole picture at full size.
enum class TReducedDecoding {
    None,     // the whole picture, always (refused formats)
    Library,  // the library decodes the part, scaled, itself (JPEG, WebP)
    Rows,     // decoded row by row into TRowReducer: the whole picture is never held
    Whole,    // decoded whole by the library, then cut and reduced (HEIF, AVIF, JPEG XL)
    Sampled,  // an animation's logical screen, sampled on a grid (GIF)
    Rendered, // drawn at the size it is shown, which may be above its natural size (SVG)
};

struct TPictureFormatRow {
    TPictureFormat format;
    std::string_view name;
    std::span<const std::string_view> extensions; // upper case, without the dot
    // Whether a file that begins with these bytes (at most kPictureHeadBytes, fewer for a
    // shorter file) is of this format.
    bool (*recognises)(std::span<const uint8_t> head);
    // None for a format we recognise but refuse; refusal then says why.
    TDecodedPicture (*decode)(std::span<const uint8_t> data, const TDecodePlan& plan);
    TReducedDecoding reduced;
    const char* refusal = nullptr;
    // Whether a file of this format plays through the animator; none: never. A format that
    // animates is then read by readFrames.
    bool (*animates)(std::span<const uint8_t> data) = nullptr;
    TGifImage (*readFrames)(std::span<const uint8_t> data, const TDecodePlan& plan) = nullptr;

    bool Animates(std::span<const uint8_t> data) const { return animates && animates(data); }
};

// How many first bytes recognition needs at most: an SVG's <svg may come after an XML
// declaration and a comment or two.
inline constexpr size_t kPictureHeadBytes = 4096;

std::span<const TPictureFormatRow> PictureFormats();

// The row for a file extension, with or without its dot, in any letter case; none if unknown.
const TPictureFormatRow* FormatRowOfExtension(std::string_view extension);

// The first row that recognises a file's first bytes; none when no format does.
const TPictureFormatRow* RecognisePicture(std::span<const uint8_t> head);

} // namespace pictorelle

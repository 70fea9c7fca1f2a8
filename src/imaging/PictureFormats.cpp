#include "imaging/PictureFormats.h"

#include "imaging/DecoderParts.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace pictorelle {

namespace {

bool startsWith(std::span<const uint8_t> head, std::string_view magic, size_t at = 0) {
    return head.size() >= at + magic.size() &&
           std::memcmp(head.data() + at, magic.data(), magic.size()) == 0;
}

bool isJpeg(std::span<const uint8_t> h) {
    return startsWith(h, "\xFF\xD8\xFF");
}
bool isPng(std::span<const uint8_t> h) {
    return startsWith(h, "\x89PNG\r\n\x1A\n");
}
bool isTiff(std::span<const uint8_t> h) {
    return startsWith(h, std::string_view("II*\0", 4)) ||
           startsWith(h, std::string_view("MM\0*", 4));
}
bool isGif(std::span<const uint8_t> h) {
    return startsWith(h, "GIF87a") || startsWith(h, "GIF89a");
}
bool isBmp(std::span<const uint8_t> h) {
    return startsWith(h, "BM");
}
bool isIco(std::span<const uint8_t> h) {
    return startsWith(h, std::string_view("\0\0\1\0", 4));
}
bool isMetafile(std::span<const uint8_t> h) {
    // Placeable WMF, and EMF's header record with its signature at byte 40.
    return startsWith(h, "\xD7\xCD\xC6\x9A") || startsWith(h, " EMF", 40);
}
bool isWebp(std::span<const uint8_t> h) {
    return startsWith(h, "RIFF") && startsWith(h, "WEBP", 8);
}

// An ISO base media file whose ftyp box names one of the brands in its major brand or among
// its compatible ones.
bool hasBrand(std::span<const uint8_t> h, std::initializer_list<std::string_view> brands) {
    if (!startsWith(h, "ftyp", 4)) return false;
    const uint32_t boxSize =
        (uint32_t{h[0]} << 24) | (uint32_t{h[1]} << 16) | (uint32_t{h[2]} << 8) | uint32_t{h[3]};
    const size_t end = std::min<size_t>(boxSize, h.size());
    auto brandAt = [&](size_t at) {
        for (std::string_view b : brands)
            if (startsWith(h, b, at)) return true;
        return false;
    };
    if (end >= 12 && brandAt(8)) return true;
    for (size_t at = 16; at + 4 <= end; at += 4)
        if (brandAt(at)) return true;
    return false;
}
bool isAvif(std::span<const uint8_t> h) {
    return hasBrand(h, {"avif", "avis"});
}
// AVIF files name the general image brands (mif1) too; their own brand decides.
bool isHeif(std::span<const uint8_t> h) {
    return hasBrand(h, {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) &&
           !isAvif(h);
}
bool isJxl(std::span<const uint8_t> h) {
    return startsWith(h, "\xFF\x0A") ||
           startsWith(h, std::string_view("\0\0\0\x0CJXL \r\n\x87\n", 12));
}

// XML whose first element is <svg>: after a byte-order mark, white space, an XML declaration,
// comments and a document type, <svg must come within the first bytes.
bool isSvg(std::span<const uint8_t> h) {
    std::string_view text(reinterpret_cast<const char*>(h.data()), h.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || text[first] != '<') return false;
    return text.find("<svg") != std::string_view::npos;
}
// SVGZ is gzip; its content is librsvg's to check.
bool isGzip(std::span<const uint8_t> h) {
    return startsWith(h, "\x1F\x8B");
}
bool isSvgOrSvgz(std::span<const uint8_t> h) {
    return isSvg(h) || isGzip(h);
}

bool gifAlwaysAnimates(std::span<const uint8_t>) {
    // Every GIF item goes through the animator, one frame or many: its frame 0 is the still.
    return true;
}
TGifImage readGifFrames(std::span<const uint8_t> data, const TDecodePlan& plan) {
    return ReadGif(data, std::numeric_limits<int>::max(), plan);
}

TDecodedPicture decodeBmp(std::span<const uint8_t> data, const TDecodePlan& plan) {
    return decoders::DecodeWithQt(data, "bmp", plan);
}
TDecodedPicture decodeIco(std::span<const uint8_t> data, const TDecodePlan& plan) {
    return decoders::DecodeWithQt(data, "ico", plan);
}

using Ext = std::string_view;
constexpr std::array<Ext, 4> kJpegExt = {"JPG", "JPEG", "JPE", "JFIF"};
constexpr std::array<Ext, 1> kPngExt = {"PNG"};
constexpr std::array<Ext, 2> kTiffExt = {"TIF", "TIFF"};
constexpr std::array<Ext, 1> kGifExt = {"GIF"};
constexpr std::array<Ext, 2> kBmpExt = {"BMP", "DIB"};
constexpr std::array<Ext, 1> kIcoExt = {"ICO"};
constexpr std::array<Ext, 2> kMetafileExt = {"WMF", "EMF"};
constexpr std::array<Ext, 1> kWebpExt = {"WEBP"};
constexpr std::array<Ext, 2> kHeifExt = {"HEIC", "HEIF"};
constexpr std::array<Ext, 1> kAvifExt = {"AVIF"};
constexpr std::array<Ext, 1> kJxlExt = {"JXL"};
constexpr std::array<Ext, 2> kSvgExt = {"SVG", "SVGZ"};

using R = TReducedDecoding;
const std::array<TPictureFormatRow, 12> kFormats = {{
    {TPictureFormat::Jpeg, "JPEG", kJpegExt, isJpeg, decoders::DecodeJpeg, R::Library},
    {TPictureFormat::Png, "PNG", kPngExt, isPng, decoders::DecodePng, R::Rows},
    {TPictureFormat::Tiff, "TIFF", kTiffExt, isTiff, decoders::DecodeTiff, R::Rows},
    {TPictureFormat::Gif, "GIF", kGifExt, isGif, decoders::DecodeGifFirstFrame, R::Sampled, nullptr,
     gifAlwaysAnimates, readGifFrames},
    {TPictureFormat::Bmp, "BMP", kBmpExt, isBmp, decodeBmp, R::Whole},
    {TPictureFormat::Ico, "ICO", kIcoExt, isIco, decodeIco, R::Whole},
    {TPictureFormat::Metafile, "Windows metafile", kMetafileExt, isMetafile, nullptr, R::None,
     "Windows metafiles are not supported"},
    {TPictureFormat::WebP, "WebP", kWebpExt, isWebp, decoders::DecodeWebp, R::Library, nullptr,
     decoders::WebpAnimates, ReadAnimatedWebp},
    {TPictureFormat::Heif, "HEIF", kHeifExt, isHeif, decoders::DecodeHeif, R::Whole},
    {TPictureFormat::Avif, "AVIF", kAvifExt, isAvif, decoders::DecodeHeif, R::Whole},
    {TPictureFormat::JpegXl, "JPEG XL", kJxlExt, isJxl, decoders::DecodeJxl, R::Whole},
    {TPictureFormat::Svg, "SVG", kSvgExt, isSvgOrSvgz, decoders::DecodeSvg, R::Rendered},
}};

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

} // namespace

std::span<const TPictureFormatRow> PictureFormats() {
    return kFormats;
}

const TPictureFormatRow* FormatRowOfExtension(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    const std::string ext = upper(extension);
    for (const TPictureFormatRow& row : kFormats)
        if (std::find(row.extensions.begin(), row.extensions.end(), ext) != row.extensions.end())
            return &row;
    return nullptr;
}

const TPictureFormatRow* RecognisePicture(std::span<const uint8_t> head) {
    // SVGZ's check (any gzip stream) is the loosest, and it is the last row.
    for (const TPictureFormatRow& row : kFormats)
        if (row.recognises(head)) return &row;
    return nullptr;
}

} // namespace pictorelle

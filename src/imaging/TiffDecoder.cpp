// TIFF through libtiff's RGBA interface: the first image of the file, any photometric the
// library knows, read a band of rows at a time and reduced on the way, so the whole raster is
// never held. Errors and warnings go to per-handle handlers, so nothing reaches stderr.
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace pictorelle::decoders {

namespace {

// The most libtiff may allocate at once. A strip or tile is decoded into one buffer of its
// whole size, so this bounds what one strip may cost; a giant single strip is refused.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{64} << 20;
// What libtiff may hold of the first directory's tags in all. It reads every tag, known or not,
// when it opens the file, each into its own buffer, so a few kilobytes of entries that all
// point at the same large stretch of the file would otherwise cost that stretch many times
// over. Real files stay far below: the strip or tile tables of a 100-megapixel picture cut in
// 16 x 16 tiles take 6 MB, and a colour profile is capped far lower.
constexpr uint64_t kMaxTagBytes = uint64_t{32} << 20;
// The pixels one band of the RGBA raster holds (8 MiB).
constexpr int64_t kBandPixels = int64_t{1} << 21;

struct MemoryFile {
    std::span<const uint8_t> data;
    uint64_t position = 0;
    char message[256] = {};
};

tmsize_t onRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(handle);
    if (size <= 0 || f->position >= f->data.size()) return 0;
    const auto n = std::min<uint64_t>(static_cast<uint64_t>(size), f->data.size() - f->position);
    std::memcpy(buffer, f->data.data() + f->position, n);
    f->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t onWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t onSeek(thandle_t handle, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = f->position;
    else if (whence == SEEK_END)
        base = f->data.size();
    // Offsets are unsigned; a "negative" one wraps, which the bound below turns into failure.
    const uint64_t target = base + offset;
    if (target > f->data.size() + (uint64_t{1} << 32)) return static_cast<toff_t>(-1);
    f->position = target;
    return target;
}

int onClose(thandle_t) {
    return 0;
}

toff_t onSize(thandle_t handle) {
    return static_cast<MemoryFile*>(handle)->data.size();
}

int onMap(thandle_t, void**, toff_t*) {
    return 0;
}

void onUnmap(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* f = static_cast<MemoryFile*>(user);
    if (f->message[0] == '\0') std::vsnprintf(f->message, sizeof f->message, format, args);
    return 1; // handled: the library's global handlers stay quiet
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// The bytes of one value of a TIFF field type (0 for types libtiff passes over).
uint64_t typeSize(uint64_t type) {
    // bytes, text, shorts, longs, rationals, signed ones, undefined, floats, doubles, directory
    // offsets, and BigTIFF's 64-bit longs and offsets
    static constexpr uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    return type < std::size(kSizes) ? kSizes[type] : 0;
}

// What the tags of the file's first directory make libtiff read, counting of each tag's data
// only what lies inside the file; 0 when the header is not a TIFF's (libtiff then says why).
uint64_t tagBytes(std::span<const uint8_t> data) {
    if (data.size() < 16) return 0;
    const bool little = data[0] == 'I' && data[1] == 'I';
    if (!little && !(data[0] == 'M' && data[1] == 'M')) return 0;
    auto read = [&](uint64_t at, int bytes) -> uint64_t {
        if (at > data.size() || data.size() - at < static_cast<uint64_t>(bytes)) return 0;
        uint64_t v = 0;
        for (int k = 0; k < bytes; ++k) {
            const uint64_t b = data[at + static_cast<uint64_t>(little ? bytes - 1 - k : k)];
            v = v << 8 | b;
        }
        return v;
    };
    const uint64_t version = read(2, 2);
    if (version != 42 && version != 43) return 0;
    const bool big = version == 43;
    const int countBytes = big ? 8 : 2, fieldBytes = big ? 8 : 4, entryBytes = big ? 20 : 12;
    const uint64_t directory = big ? read(8, 8) : read(4, 4);
    const uint64_t entries = read(directory, countBytes);
    uint64_t total = 0;
    for (uint64_t k = 0; k < std::min<uint64_t>(entries, 65535); ++k) {
        const uint64_t entry = directory + static_cast<uint64_t>(countBytes) + k * entryBytes;
        if (entry >= data.size()) break;
        const uint64_t type = read(entry + 2, 2);
        const uint64_t count = read(entry + 4, fieldBytes);
        const uint64_t unit = typeSize(type);
        if (unit == 0 || count > (uint64_t{1} << 40)) continue;
        const uint64_t size = unit * count;
        if (size <= static_cast<uint64_t>(fieldBytes)) continue; // held in the entry itself
        const uint64_t offset = read(entry + 4 + static_cast<uint64_t>(fieldBytes), fieldBytes);
        if (offset < data.size()) total += std::min(size, data.size() - offset);
    }
    return total;
}

// The embedded colour profile, when there is one within its cap.
std::vector<uint8_t> iccProfile(TIFF* tif) {
    uint32_t length = 0;
    void* profile = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) || !profile ||
        length > kMaxIccProfileBytes)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(profile);
    return {bytes, bytes + length};
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

[[noreturn]] void fail(const MemoryFile& f, const char* what) {
    throw ImageError(std::string("TIFF: ") + (f.message[0] ? f.message : what));
}

// One pixel of libtiff's raster (R in the low byte, colour premultiplied by alpha) in our
// layout: red and blue swapped, straight colour.
uint32_t fromRaster(uint32_t v) {
    const uint32_t p = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
    const uint32_t a = p >> 24;
    if (a == 255) return p;
    if (a == 0) return 0;
    auto channel = [a](uint32_t c) { return std::min<uint32_t>((c * 255 + a / 2) / a, 255); };
    return (a << 24) | (channel((p >> 16) & 0xFF) << 16) | (channel((p >> 8) & 0xFF) << 8) |
           channel(p & 0xFF);
}

struct RgbaImageEnder {
    void operator()(TIFFRGBAImage* img) const { TIFFRGBAImageEnd(img); }
};

// How many of the file's rows one call to the RGBA interface reads. libtiff decodes every
// strip or tile a call touches from its start and allocates it whole, so a band that ends
// inside a strip costs that strip again in the next call: bands are whole strips (or tile
// rows) where they fit kBandPixels, and only a strip too tall for that is cut, into pieces
// that keep YCbCr subsampling aligned.
int bandRows(TIFF* tif, int width, int height) {
    uint32_t unit = 0;
    if (TIFFIsTiled(tif))
        TIFFGetFieldDefaulted(tif, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
    const int strip =
        static_cast<int>(std::clamp<uint32_t>(unit, 1, static_cast<uint32_t>(height)));
    const int fit = static_cast<int>(std::max<int64_t>(kBandPixels / width, 1));
    if (strip <= fit) return std::min(fit / strip * strip, height);
    return std::max(fit / 16 * 16, 16);
}

} // namespace

TDecodedPicture DecodeTiff(std::span<const uint8_t> data, const TDecodePlan& plan) {
    if (tagBytes(data) > kMaxTagBytes) throw ImageError("TIFF: its tags hold too much data");
    MemoryFile file;
    file.data = data;
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) throw ImageError("TIFF: cannot create the decoder");
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), onError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), onWarning, &file);
    // "m": never map the file; the read procedures serve every byte.
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFClientOpenExt("picture", "rm", &file, onRead, onWrite,
                                                            onSeek, onClose, onSize, onMap, onUnmap,
                                                            options.get()));
    if (!tif) fail(file, "not a TIFF file");

    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        fail(file, "no image size");
    CheckPictureSize(width, height);
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    char reason[1024] = {};
    if (!TIFFRGBAImageOK(tif.get(), reason)) fail(file, reason);
    TIFFRGBAImage img{};
    if (!TIFFRGBAImageBegin(&img, tif.get(), 0, reason)) fail(file, reason);
    const std::unique_ptr<TIFFRGBAImage, RgbaImageEnder> ender(&img);
    // libtiff can flip rows and columns but never exchange them, so half of the orientations
    // would come out mirrored instead of turned. It is asked for the rows as stored, and the
    // step after decoding turns the picture by the file's tag, as it does a camera's EXIF.
    img.req_orientation = img.orientation;

    TDecodedPicture out;
    out.iccProfile = iccProfile(tif.get());
    if (img.orientation >= ORIENTATION_TOPLEFT && img.orientation <= ORIENTATION_LEFTBOT)
        out.orientation = img.orientation;
    out.natural = {w, h};
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    out.source = req.source;
    TRowReducer reducer(req.source, ReductionFactor(req.source.size(), req.wanted, req.limit));

    const int rows = bandRows(tif.get(), w, h);
    std::vector<uint32_t> band(static_cast<size_t>(rows) * static_cast<size_t>(w));
    const int firstBand = req.source.top / rows, lastBand = (req.source.bottom - 1) / rows;
    for (int b = firstBand; b <= lastBand; ++b) {
        CheckDecodeCancelled();
        const int top = b * rows;
        const int count = std::min(rows, h - top);
        img.row_offset = top;
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, band.data(), width, static_cast<uint32_t>(count))) {
            if (b == firstBand) fail(file, "cannot read the image");
            break; // a damaged tail: the rows that never came stay black
        }
        for (int i = 0; i < count; ++i) {
            const int y = top + i;
            if (!reducer.WantsRow(y)) continue;
            uint32_t* row = band.data() + static_cast<size_t>(i) * static_cast<size_t>(w);
            for (int x = req.source.left; x < req.source.right; ++x)
                row[x] = fromRaster(row[x]);
            reducer.AddRow(y, row);
        }
    }
    out.bitmap = reducer.Finish();
    return out;
}

} // namespace pictorelle::decoders

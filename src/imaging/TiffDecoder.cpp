// TIFF through libtiff's RGBA interface: the first image of the file, any photometric the
// library knows, read a band of rows at a time and reduced on the way, so the whole raster is
// never held. Errors and warnings go to per-handle handlers, so nothing reaches stderr.
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace pictorelle::decoders {

namespace {

// The most libtiff may allocate at once. A strip or tile is decoded into one buffer of its
// whole size, so this bounds what one strip may cost; a giant single strip is refused.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{64} << 20;
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

// Whether libtiff turns the file's rows upside down to deliver them top-down.
bool storedBottomUp(uint16_t orientation) {
    return orientation == ORIENTATION_BOTLEFT || orientation == ORIENTATION_BOTRIGHT ||
           orientation == ORIENTATION_LEFTBOT || orientation == ORIENTATION_RIGHTBOT;
}

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
    img.req_orientation = ORIENTATION_TOPLEFT;

    TDecodedPicture out;
    out.natural = {w, h};
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    out.source = req.source;
    TRowReducer reducer(req.source, ReductionFactor(req.source.size(), req.wanted, req.limit));

    // Bands are counted in the file's rows; for a bottom-up file, libtiff turns each band over,
    // so walking the bands from the file's end still delivers the picture's rows top-down.
    const bool bottomUp = storedBottomUp(img.orientation);
    const int first = bottomUp ? h - req.source.bottom : req.source.top;
    const int last = (bottomUp ? h - req.source.top : req.source.bottom) - 1;
    const int rows = bandRows(tif.get(), w, h);
    std::vector<uint32_t> band(static_cast<size_t>(rows) * static_cast<size_t>(w));
    const int firstBand = first / rows, lastBand = last / rows;
    for (int k = 0; k <= lastBand - firstBand; ++k) {
        CheckDecodeCancelled();
        const int b = bottomUp ? lastBand - k : firstBand + k;
        const int top = b * rows;
        const int count = std::min(rows, h - top);
        img.row_offset = top;
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, band.data(), width, static_cast<uint32_t>(count))) {
            if (k == 0) fail(file, "cannot read the image");
            break; // a damaged tail: the rows that never came stay black
        }
        const int outTop = bottomUp ? h - top - count : top;
        for (int i = 0; i < count; ++i) {
            const int y = outTop + i;
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

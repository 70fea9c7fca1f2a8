// TIFF through libtiff's RGBA interface: the first image of the file, any photometric the
// library knows. Errors and warnings go to per-handle handlers, so nothing reaches stderr.
#include "imaging/DecoderParts.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tiffio.h>

namespace pictorelle::decoders {

namespace {

constexpr tmsize_t kMaxSingleAllocation = tmsize_t{512} << 20;

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

// libtiff hands back premultiplied colour for pictures with an alpha channel; our pixels are
// straight.
void unpremultiply(TBitmap32& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint32_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            if (a == 255) continue;
            if (a == 0) {
                row[x] = 0;
                continue;
            }
            auto channel = [a](uint32_t c) {
                return std::min<uint32_t>((c * 255 + a / 2) / a, 255);
            };
            row[x] = (a << 24) | (channel((p >> 16) & 0xFF) << 16) |
                     (channel((p >> 8) & 0xFF) << 8) | channel(p & 0xFF);
        }
    }
}

} // namespace

TDecodedPicture DecodeTiff(std::span<const uint8_t> data) {
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
    char reason[1024] = {};
    if (!TIFFRGBAImageOK(tif.get(), reason)) fail(file, reason);

    TDecodedPicture out;
    out.natural = {static_cast<int>(width), static_cast<int>(height)};
    out.bitmap.SetSize(out.natural.width, out.natural.height);
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, out.bitmap.Bits(), ORIENTATION_TOPLEFT,
                                   0))
        fail(file, "cannot read the image");

    // The raster holds R in the low byte (ABGR); swap red and blue for our layout.
    bool anyAlpha = false;
    uint32_t* p = out.bitmap.Bits();
    for (size_t i = 0, n = size_t{width} * height; i < n; ++i) {
        const uint32_t v = p[i];
        p[i] = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        anyAlpha = anyAlpha || (v >> 24) != 0xFF;
    }
    if (anyAlpha) unpremultiply(out.bitmap);
    return out;
}

} // namespace pictorelle::decoders

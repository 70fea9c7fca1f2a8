// PNG through libpng, alpha kept. libpng reports errors by jumping to the buffer set with
// setjmp; the jump lands in runDecoder, whose frame holds nothing with a destructor.
//
// libpng buffers a side chunk whole at the length its header declares, whatever the file
// holds, so it never sees a side chunk we do not use or one past its cap: the file is walked
// chunk by chunk first, and libpng reads only the pieces kept.
#include "core/IntMath.h"
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <png.h>
#include <vector>

namespace pictorelle::decoders {

namespace {

// A stretch of the file, [begin, end).
struct Piece {
    size_t begin;
    size_t end;
};

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The most of a side chunk's body we let libpng read, by its type; 0 for the side chunks we
// have no use for (text, background, histogram, time, palettes of suggestions, animation and
// unknown chunks), which are passed over however short.
size_t sideChunkCap(const uint8_t* type) {
    if (std::memcmp(type, "tRNS", 4) == 0) return 256 * 2; // one entry a palette colour at most
    if (std::memcmp(type, "iCCP", 4) == 0) return kMaxIccProfileBytes;
    if (std::memcmp(type, "eXIf", 4) == 0) return kMaxExifBytes;
    return 0;
}

// The pieces of a PNG file libpng is shown: the signature, every critical chunk, the side
// chunks we use within their caps, and all from the first image data chunk on (libpng stops
// reading where the picture ends). A chunk that claims more than the file holds ends the walk:
// libpng then finds the file truncated.
std::vector<Piece> keptPieces(std::span<const uint8_t> data) {
    std::vector<Piece> pieces{{0, 8}};
    auto keep = [&pieces](size_t begin, size_t end) {
        if (pieces.back().end == begin)
            pieces.back().end = end;
        else
            pieces.push_back({begin, end});
    };
    size_t at = 8;
    while (data.size() - at >= 8) {
        const uint8_t* header = data.data() + at;
        const uint64_t length = bigEndian32(header);
        const uint8_t* type = header + 4;
        const bool critical = (type[0] & 0x20) == 0;
        if (std::memcmp(type, "IDAT", 4) == 0) break;
        const uint64_t end = at + 12 + length;
        if (critical || length <= sideChunkCap(type))
            keep(at, static_cast<size_t>(std::min<uint64_t>(end, data.size())));
        if (end >= data.size()) return pieces;
        at = static_cast<size_t>(end);
    }
    keep(at, data.size());
    return pieces;
}

struct State {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::span<const uint8_t> data;
    std::vector<Piece> pieces; // what libpng reads of data
    size_t piece = 0;          // the piece being read
    size_t position = 0;       // in data, within that piece
    char message[200] = {};
    const TDecodePlan* plan = nullptr;
    bool cancelled = false;
    TDecodedPicture out;
    std::vector<png_bytep> rows;
    std::vector<uint32_t> row;
    std::optional<TRowReducer> reducer;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* s = static_cast<State*>(png_get_error_ptr(png));
    std::strncpy(s->message, message ? message : "unknown error", sizeof s->message - 1);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void onRead(png_structp png, png_bytep buffer, size_t length) {
    auto* s = static_cast<State*>(png_get_io_ptr(png));
    while (length > 0) {
        if (s->piece == s->pieces.size()) png_error(png, "file is truncated");
        const Piece& p = s->pieces[s->piece];
        if (s->position < p.begin) s->position = p.begin;
        const size_t n = std::min(length, p.end - s->position);
        std::memcpy(buffer, s->data.data() + s->position, n);
        buffer += n;
        length -= n;
        s->position += n;
        if (s->position == p.end) ++s->piece;
    }
}

// The colour profile and EXIF block libpng found, copied out; both are within their caps.
void takeSideInformation(State& s) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(s.png, s.info, &name, &compression, &profile, &profileLength) != 0 &&
        profile && profileLength <= kMaxIccProfileBytes)
        s.out.iccProfile.assign(profile, profile + profileLength);
    png_bytep exif = nullptr;
    png_uint_32 exifLength = 0;
    if (png_get_eXIf_1(s.png, s.info, &exifLength, &exif) != 0 && exif &&
        exifLength <= kMaxExifBytes)
        s.out.exif.assign(exif, exif + exifLength);
}

void checkCancelled(State& s) {
    try {
        CheckDecodeCancelled();
    } catch (const TDecodeCancelled&) {
        s.cancelled = true;
        png_error(s.png, "decoding abandoned");
    }
}

// Rows of a plain (not interlaced) picture one at a time into the reducer; rows below the part
// are never decoded.
void readReduced(State& s, const TRect& part, int factor) {
    // In the state, not on this frame: libpng's errors jump past any destructor here.
    TRowReducer& reducer = s.reducer.emplace(part, factor);
    for (int y = 0; y < part.bottom; ++y) {
        if ((y & 63) == 0) checkCancelled(s);
        png_read_row(s.png, reinterpret_cast<png_bytep>(s.row.data()), nullptr);
        reducer.AddRow(y, s.row.data());
    }
    s.out.bitmap = reducer.Finish();
}

// An interlaced picture arrives in seven passes, each a sparse grid of the picture. Each pixel
// comes in exactly one pass, so the picture's pixels at the result's grid points (every
// factor-th of the part) are taken from whichever pass brings them, and the whole picture is
// never held. With factor 1 the part is exact; larger factors sample instead of averaging.
void readInterlacedSampled(State& s, const TRect& part, int factor) {
    TBitmap32& out = s.out.bitmap;
    out.SetSize(CeilDiv(part.width(), factor), CeilDiv(part.height(), factor));
    out.Clear(0xFF000000u);
    const png_uint_32 width = png_get_image_width(s.png, s.info);
    const png_uint_32 height = png_get_image_height(s.png, s.info);
    for (int pass = 0; pass < 7; ++pass) {
        const png_uint_32 rows = PNG_PASS_ROWS(height, pass);
        const png_uint_32 cols = PNG_PASS_COLS(width, pass);
        if (rows == 0 || cols == 0) continue;
        for (png_uint_32 r = 0; r < rows; ++r) {
            if ((r & 63) == 0) checkCancelled(s);
            png_read_row(s.png, reinterpret_cast<png_bytep>(s.row.data()), nullptr);
            const int y = static_cast<int>(PNG_ROW_FROM_PASS_ROW(r, pass));
            if (y < part.top || y >= part.bottom || (y - part.top) % factor != 0) continue;
            uint32_t* line = out.ScanLine((y - part.top) / factor);
            for (png_uint_32 c = 0; c < cols; ++c) {
                const int x = static_cast<int>(PNG_COL_FROM_PASS_COL(c, pass));
                if (x < part.left || x >= part.right || (x - part.left) % factor != 0) continue;
                line[(x - part.left) / factor] = s.row[c];
            }
        }
    }
}

bool runDecoder(State& s) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_set_read_fn(s.png, &s, onRead);
    png_set_user_limits(s.png, kMaxPictureSide, kMaxPictureSide);
    // The kept pieces hold no longer side chunk than this; it also bounds what a compressed
    // profile may inflate to.
    png_set_chunk_malloc_max(s.png, kMaxIccProfileBytes);
    png_set_chunk_cache_max(s.png, 16);
    png_read_info(s.png, s.info);
    takeSideInformation(s);

    const png_uint_32 width = png_get_image_width(s.png, s.info);
    const png_uint_32 height = png_get_image_height(s.png, s.info);
    CheckPictureSize(width, height);
    s.out.natural = {static_cast<int>(width), static_cast<int>(height)};
    const TDecodeRequest req = ResolveRequest(*s.plan, s.out.natural);
    const int factor = ReductionFactor(req.source.size(), req.wanted, req.limit);
    const TRect whole{0, 0, s.out.natural.width, s.out.natural.height};
    const bool interlaced = png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE;
    s.out.source = req.source;

    // Whatever the colour type and depth, ask for 8-bit B, G, R, A in memory order, which is
    // the 0xAARRGGBB pixel on a little-endian machine.
    const int colorType = png_get_color_type(s.png, s.info);
    png_set_expand(s.png); // palette to RGB, low-depth grey to 8 bits, tRNS to alpha
    png_set_strip_16(s.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(s.png);
    png_set_bgr(s.png);
    png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER); // only acts when there is no alpha
    // libpng puts the passes of an interlaced picture together only in rows that stay put for
    // the whole decoding, so it does that only when the whole picture is wanted as it is.
    const bool asIs = factor == 1 && req.source == whole;
    if (asIs) png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != size_t{width} * 4)
        png_error(s.png, "unexpected row layout");
    if (!asIs) {
        s.row.resize(width);
        if (interlaced)
            readInterlacedSampled(s, req.source, factor);
        else
            readReduced(s, req.source, factor);
        return true;
    }

    s.out.bitmap.SetSize(static_cast<int>(width), static_cast<int>(height));
    if (!interlaced) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if ((y & 63) == 0) checkCancelled(s);
            png_read_row(s.png,
                         reinterpret_cast<png_bytep>(s.out.bitmap.ScanLine(static_cast<int>(y))),
                         nullptr);
        }
        return true;
    }
    s.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        s.rows[y] = reinterpret_cast<png_bytep>(s.out.bitmap.ScanLine(static_cast<int>(y)));
    png_read_image(s.png, s.rows.data());
    return true;
}

} // namespace

TDecodedPicture DecodePng(std::span<const uint8_t> data, const TDecodePlan& plan) {
    if (data.size() < 8 || png_sig_cmp(data.data(), 0, 8) != 0)
        throw ImageError("PNG: not a PNG file");
    State s;
    s.data = data;
    s.pieces = keptPieces(data);
    s.plan = &plan;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, onError, onWarning);
    if (!s.png) throw ImageError("PNG: cannot create the decoder");
    s.info = png_create_info_struct(s.png);
    if (!s.info) throw ImageError("PNG: cannot create the decoder");
    if (!runDecoder(s)) {
        if (s.cancelled) throw TDecodeCancelled();
        throw ImageError(std::string("PNG: ") + s.message);
    }
    return std::move(s.out);
}

} // namespace pictorelle::decoders

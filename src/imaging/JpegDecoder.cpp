// JPEG through libjpeg(-turbo). The library reports errors by calling error_exit, which must
// not return; ours jumps back into runDecoder, whose frame holds nothing with a destructor, and
// the caller turns the stored message into ImageError.
#include "core/IntMath.h"
#include "imaging/DecoderParts.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace pictorelle::decoders {

namespace {

// A progressive file can hold any number of scans, each costing a pass over the whole picture,
// however little data it carries: a few kilobytes of empty scans over a large picture keep
// the decoder busy for seconds before the first pixel. The count is capped, and so is the
// work, in pixels visited: a 24-megapixel photo may have 60 scans (common files have up to a
// dozen), a 100-megapixel one 15, a small picture up to the count cap.
constexpr int kMaxScans = 1000;
constexpr int64_t kMaxScanWork = 1'500'000'000;
constexpr long kMaxDecoderMemory = 1L << 30;
// Rows handed to libjpeg per call; it never returns more than its rec_outbuf_height (<= 4).
constexpr int kRowBatch = 8;

struct ErrorManager {
    jpeg_error_mgr pub; // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a truncated file, a bad marker) are not worth a message: what decoded is shown.
void onMessage(j_common_ptr, int) {}
void onOutput(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    const int64_t scans = d->input_scan_number;
    const int64_t work = scans * d->image_width * d->image_height;
    if (scans > kMaxScans || work > kMaxScanWork) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message,
                      "too many progressive scans for a picture of this size");
        std::longjmp(err->jump, 1);
    }
}

// Everything the decoder touches lives here, outside runDecoder's frame, so that nothing it
// changes is left indeterminate by the jump.
struct State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool created = false;
    std::span<const uint8_t> data;
    const TTargetSize* target = nullptr;
    TDecodedPicture out;
    std::vector<uint8_t> cmykRows;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// The largest of 1/1, 1/2, 1/4, 1/8 whose output still covers the wanted size.
unsigned scaleDenominator(TSize natural, TSize wanted) {
    for (unsigned d : {8u, 4u, 2u}) {
        const int w = CeilDiv(natural.width, static_cast<int>(d));
        const int h = CeilDiv(natural.height, static_cast<int>(d));
        if (w >= wanted.width && h >= wanted.height) return d;
    }
    return 1;
}

uint8_t mul255(unsigned a, unsigned b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

// CMYK rows to BGRA. Adobe writes the four channels inverted, which is what most CMYK JPEGs
// carry.
void cmykToBgra(const uint8_t* cmyk, uint32_t* out, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, cmyk += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[x] = 0xFF000000u | (uint32_t{mul255(c, k)} << 16) | (uint32_t{mul255(m, k)} << 8) |
                 mul255(y, k);
    }
}

// Returns false after a library error; the message is then in s.err.message. C++ exceptions
// (ImageError for a refused size, bad_alloc) leave normally; no libjpeg frame is on the stack
// at those points.
bool runDecoder(State& s) {
    if (setjmp(s.err.jump)) return false;
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    s.progress.progress_monitor = onProgress;
    s.cinfo.progress = &s.progress;
    jpeg_mem_src(&s.cinfo, s.data.data(), static_cast<unsigned long>(s.data.size()));
    jpeg_read_header(&s.cinfo, TRUE);

    const int naturalW = static_cast<int>(std::min<JDIMENSION>(s.cinfo.image_width, 1u << 30));
    const int naturalH = static_cast<int>(std::min<JDIMENSION>(s.cinfo.image_height, 1u << 30));
    CheckPictureSize(naturalW, naturalH);
    s.out.natural = {naturalW, naturalH};
    if (*s.target) {
        s.cinfo.scale_num = 1;
        s.cinfo.scale_denom = scaleDenominator(s.out.natural, (*s.target)(s.out.natural));
    }
    const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&s.cinfo);

    const JDIMENSION width = s.cinfo.output_width;
    const JDIMENSION height = s.cinfo.output_height;
    s.out.bitmap.SetSize(static_cast<int>(width), static_cast<int>(height));
    if (cmyk) s.cmykRows.resize(size_t{width} * 4 * kRowBatch);
    JSAMPROW rows[kRowBatch];
    while (s.cinfo.output_scanline < height) {
        const JDIMENSION first = s.cinfo.output_scanline;
        const JDIMENSION batch = std::min<JDIMENSION>(kRowBatch, height - first);
        for (JDIMENSION k = 0; k < batch; ++k)
            rows[k] = cmyk ? s.cmykRows.data() + size_t{k} * width * 4
                           : reinterpret_cast<JSAMPROW>(
                                 s.out.bitmap.ScanLine(static_cast<int>(first + k)));
        const JDIMENSION got = jpeg_read_scanlines(&s.cinfo, rows, batch);
        if (got == 0) break; // data ran out; libjpeg already filled what it could not read
        if (cmyk)
            for (JDIMENSION k = 0; k < got; ++k)
                cmykToBgra(rows[k], s.out.bitmap.ScanLine(static_cast<int>(first + k)), width,
                           s.cinfo.saw_Adobe_marker);
    }
    // Rows never delivered stay 0; make them opaque black like the rest of a short file.
    for (int y = static_cast<int>(s.cinfo.output_scanline); y < static_cast<int>(height); ++y)
        std::fill_n(s.out.bitmap.ScanLine(y), width, 0xFF000000u);
    return true;
}

} // namespace

TDecodedPicture DecodeJpeg(std::span<const uint8_t> data, const TTargetSize& target) {
    if (data.empty()) throw ImageError("empty JPEG file");
    State s;
    s.data = data;
    s.target = &target;
    s.err.message[0] = '\0';
    s.cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = onError;
    s.err.pub.emit_message = onMessage;
    s.err.pub.output_message = onOutput;
    if (!runDecoder(s)) throw ImageError(std::string("JPEG: ") + s.err.message);
    return std::move(s.out);
}

} // namespace pictorelle::decoders

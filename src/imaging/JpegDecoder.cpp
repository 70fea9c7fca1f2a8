// JPEG through libjpeg(-turbo). The library reports errors by calling error_exit, which must
// not return; ours jumps back into runDecoder, whose frame holds nothing with a destructor, and
// the caller turns the stored message into ImageError.
#include "core/IntMath.h"
#include "imaging/ColourProfile.h"
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <new>
#include <optional>
#include <span>
#include <vector>

namespace pictorelle::decoders {

namespace {

// A progressive file can hold any number of scans, each costing a pass over the whole picture,
// however little data it carries: a few kilobytes of empty scans over a large picture keep
// the decoder busy for seconds before the first pixel. The count is capped, and so is the
// work, in pixels visited: a 24-megapixel photo may have 60 scans (common files have up to a
// dozen), a 100-megapixel one 15, a small picture up to the count cap.
constexpr int kMaxScans = 1000;
constexpr int64_t kMaxScanWork = 1'500'000'000;
// What libjpeg may hold for a whole progressive picture (its coefficients, about 3 to 6 bytes a
// pixel whatever the output scale) when the caller sets no limit.
constexpr long kMaxDecoderMemory = 1L << 30;
// Rows handed to libjpeg per call; it never returns more than its rec_outbuf_height (<= 4).
constexpr int kRowBatch = 8;

struct ErrorManager {
    jpeg_error_mgr pub; // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool cancelled = false;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (cinfo->err->msg_code == JERR_NO_BACKING_STORE)
        // The whole-picture buffer of a progressive file did not fit the memory allowed.
        std::snprintf(err->message, sizeof err->message,
                      "a progressive picture this large needs more memory than the screen "
                      "allows");
    else
        (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (a truncated file, a bad marker) are not worth a message: what decoded is shown.
void onMessage(j_common_ptr, int) {}
void onOutput(j_common_ptr) {}

// Called between the passes and rows of libjpeg's own work: the place to give up on a
// decoding that is no longer wanted.
void onProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    try {
        CheckDecodeCancelled();
    } catch (const TDecodeCancelled&) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "decoding abandoned");
        err->cancelled = true;
        std::longjmp(err->jump, 1);
    }
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

// The side information carried in APP markers, gathered as libjpeg meets them: the EXIF block
// of the first "Exif" APP1 marker, and the pieces of an ICC profile, which a file splits over
// numbered APP2 markers of at most 64 KiB each (up to 255 of them). Only the pieces are held,
// and only while their sum stays within the profile's cap; a profile past it, or whose pieces
// do not agree, is dropped, and the picture decodes without it.
struct MarkerSideData {
    std::vector<uint8_t> body; // the marker being read; a marker holds at most 65533 bytes
    std::vector<uint8_t> exif;
    bool exifSeen = false;
    std::vector<std::vector<uint8_t>> iccPieces; // by sequence number - 1
    size_t iccBytes = 0;
    bool iccDropped = false;
    bool closed = false; // the header is read: markers between later scans are passed over

    void dropIcc() {
        iccDropped = true;
        iccPieces = {};
    }

    void addExif(std::span<const uint8_t> data) {
        static constexpr uint8_t kTag[] = {'E', 'x', 'i', 'f', 0, 0};
        if (exifSeen || data.size() < sizeof kTag || !std::equal(kTag, kTag + 6, data.begin()))
            return;
        exifSeen = true;
        if (data.size() - sizeof kTag <= kMaxExifBytes) exif.assign(data.begin() + 6, data.end());
    }

    void addIccPiece(std::span<const uint8_t> data) {
        static constexpr char kTag[] = "ICC_PROFILE"; // with its terminating zero
        if (data.size() < sizeof kTag + 2 || !std::equal(kTag, kTag + sizeof kTag, data.begin()))
            return;
        if (iccDropped) return;
        const unsigned sequence = data[sizeof kTag];
        const unsigned count = data[sizeof kTag + 1];
        const auto piece = data.subspan(sizeof kTag + 2);
        if (iccPieces.empty()) iccPieces.resize(count);
        if (sequence == 0 || count != iccPieces.size() || sequence > count ||
            !iccPieces[sequence - 1].empty() || piece.empty() ||
            iccBytes + piece.size() > kMaxIccProfileBytes)
            return dropIcc();
        iccPieces[sequence - 1].assign(piece.begin(), piece.end());
        iccBytes += piece.size();
    }

    // The whole profile when every piece came; empty otherwise.
    std::vector<uint8_t> iccProfile() const {
        std::vector<uint8_t> profile;
        if (iccDropped || iccPieces.empty()) return profile;
        for (const auto& piece : iccPieces)
            if (piece.empty()) return {};
        profile.reserve(iccBytes);
        for (const auto& piece : iccPieces)
            profile.insert(profile.end(), piece.begin(), piece.end());
        return profile;
    }
};

// Reads the body of an APP1 or APP2 marker (libjpeg has read the marker code) into the side
// data. libjpeg's memory source never suspends: past the end of the data it serves a made-up
// end-of-image marker, so every byte asked for comes.
boolean onAppMarker(j_decompress_ptr cinfo) {
    auto* side = static_cast<MarkerSideData*>(cinfo->client_data);
    jpeg_source_mgr* src = cinfo->src;
    auto readBytes = [&](uint8_t* to, size_t n) {
        while (n > 0) {
            if (src->bytes_in_buffer == 0) (*src->fill_input_buffer)(cinfo);
            const size_t k = std::min(n, src->bytes_in_buffer);
            std::copy_n(src->next_input_byte, k, to);
            src->next_input_byte += k;
            src->bytes_in_buffer -= k;
            to += k;
            n -= k;
        }
    };
    uint8_t length[2];
    readBytes(length, 2);
    const size_t size = std::max((size_t{length[0]} << 8 | length[1]), size_t{2}) - 2;
    if (side->closed) {
        (*src->skip_input_data)(cinfo, static_cast<long>(size));
        return TRUE;
    }
    side->body.resize(size); // within the capacity reserved before decoding: no allocation
    readBytes(side->body.data(), size);
    const std::span<const uint8_t> body(side->body);
    // Holding a piece allocates; a failure only costs the side information.
    try {
        if (cinfo->unread_marker == JPEG_APP0 + 1)
            side->addExif(body);
        else
            side->addIccPiece(body);
    } catch (const std::bad_alloc&) {
        side->exif = {};
        side->dropIcc();
    }
    return TRUE;
}

// Everything the decoder touches lives here, outside runDecoder's frame, so that nothing it
// changes is left indeterminate by the jump.
struct State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    MarkerSideData side;
    bool created = false;
    std::span<const uint8_t> data;
    const TDecodePlan* plan = nullptr;
    TDecodedPicture out;
    std::vector<uint8_t> cmykRows;
    std::optional<TCmykToSrgb> cmyk; // for CMYK and YCCK files
    std::optional<TSrgbRows> srgb;   // an RGB or grey file's profile, applied row by row
    std::vector<uint32_t> row;       // one output row, when rows are cropped or reduced
    std::optional<TRowReducer> reducer;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// The largest of 1/1, 1/2, 1/4, 1/8 within the reduction the caller allows: libjpeg's
// other eighths have no fast transform and cost more than they save.
unsigned scaleDenominator(int factor) {
    for (unsigned d : {8u, 4u, 2u})
        if (factor >= static_cast<int>(d)) return d;
    return 1;
}

// The coefficient memory a progressive picture may take: as much as a picture at the limit's
// size would hold in pixels.
long decoderMemory(TSize limit) {
    if (limit.isEmpty()) return kMaxDecoderMemory;
    return static_cast<long>(
        std::min<int64_t>(int64_t{limit.width} * limit.height * 4, kMaxDecoderMemory));
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
    s.cinfo.client_data = &s.side;
    jpeg_set_marker_processor(&s.cinfo, JPEG_APP0 + 1, onAppMarker);
    jpeg_set_marker_processor(&s.cinfo, JPEG_APP0 + 2, onAppMarker);
    jpeg_mem_src(&s.cinfo, s.data.data(), static_cast<unsigned long>(s.data.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    s.out.exif = std::move(s.side.exif);
    s.out.iccProfile = s.side.iccProfile();
    s.side.iccPieces = {};
    s.side.closed = true;

    const int naturalW = static_cast<int>(std::min<JDIMENSION>(s.cinfo.image_width, 1u << 30));
    const int naturalH = static_cast<int>(std::min<JDIMENSION>(s.cinfo.image_height, 1u << 30));
    CheckPictureSize(naturalW, naturalH);
    s.out.natural = {naturalW, naturalH};
    const TDecodeRequest req = ResolveRequest(*s.plan, s.out.natural);
    const unsigned d = scaleDenominator(ReductionFactor(req.source.size(), req.wanted, req.limit));
    s.cinfo.mem->max_memory_to_use = decoderMemory(req.limit);
    s.cinfo.scale_num = 1;
    s.cinfo.scale_denom = d;
    const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    if (cmyk) {
        // A printer's colours go through the file's own CMYK profile where it has one; the
        // step after decoding leaves the RGB pixels made here alone, as a CMYK profile says
        // nothing about them.
        s.cmyk.emplace(s.out.iccProfile, s.cinfo.saw_Adobe_marker != 0);
    }
    s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&s.cinfo);

    const JDIMENSION width = s.cinfo.output_width;
    const JDIMENSION height = s.cinfo.output_height;
    // The source part in scaled pixels, widened to whole scaled pixels; what it covers of the
    // picture is what the bitmap shows.
    const int sd = static_cast<int>(d);
    const TRect part = TRect{req.source.left / sd, req.source.top / sd,
                             CeilDiv(req.source.right, sd), CeilDiv(req.source.bottom, sd)}
                           .intersected({0, 0, static_cast<int>(width), static_cast<int>(height)});
    s.out.source = TRect{part.left * sd, part.top * sd, std::min(part.right * sd, naturalW),
                         std::min(part.bottom * sd, naturalH)};
    const int more = LimitFactor(part.size(), req.limit);
    const bool direct =
        more == 1 && part == TRect{0, 0, static_cast<int>(width), static_cast<int>(height)};
    if (direct) s.out.bitmap.SetSize(static_cast<int>(width), static_cast<int>(height));
    // Whole rows are converted as they come, while still in cache; a cropped or reduced
    // picture is converted after reducing, where there are fewer pixels to convert.
    if (direct && !cmyk && !s.out.iccProfile.empty()) {
        s.srgb.emplace(s.out.iccProfile);
        s.out.coloursConverted = s.srgb->Usable();
        if (!s.srgb->Usable()) s.srgb.reset();
    }
    if (!direct) {
        s.reducer.emplace(part, more);
        s.row.resize(width);
    }
    if (cmyk) s.cmykRows.resize(size_t{width} * 4 * kRowBatch);
    JSAMPROW rows[kRowBatch];
    const JDIMENSION last = direct ? height : static_cast<JDIMENSION>(part.bottom);
    while (s.cinfo.output_scanline < last) {
        CheckDecodeCancelled();
        const JDIMENSION first = s.cinfo.output_scanline;
        // Cropped or reduced rows go one at a time through the row buffer.
        const JDIMENSION batch = direct ? std::min<JDIMENSION>(kRowBatch, height - first) : 1;
        for (JDIMENSION k = 0; k < batch; ++k)
            rows[k] =
                cmyk ? s.cmykRows.data() + size_t{k} * width * 4
                : direct
                    ? reinterpret_cast<JSAMPROW>(s.out.bitmap.ScanLine(static_cast<int>(first + k)))
                    : reinterpret_cast<JSAMPROW>(s.row.data());
        const JDIMENSION got = jpeg_read_scanlines(&s.cinfo, rows, batch);
        if (got == 0) break; // data ran out; libjpeg already filled what it could not read
        for (JDIMENSION k = 0; k < got; ++k) {
            uint32_t* target =
                direct ? s.out.bitmap.ScanLine(static_cast<int>(first + k)) : s.row.data();
            if (cmyk) s.cmyk->Convert(rows[k], target, width);
            if (s.srgb) s.srgb->Convert(target, width);
            if (!direct) s.reducer->AddRow(static_cast<int>(first + k), s.row.data());
        }
    }
    if (!direct) {
        s.out.bitmap = s.reducer->Finish();
        return true;
    }
    // Rows never delivered stay 0; make them opaque black like the rest of a short file.
    for (int y = static_cast<int>(s.cinfo.output_scanline); y < static_cast<int>(height); ++y)
        std::fill_n(s.out.bitmap.ScanLine(y), width, 0xFF000000u);
    return true;
}

} // namespace

TDecodedPicture DecodeJpeg(std::span<const uint8_t> data, const TDecodePlan& plan) {
    if (data.empty()) throw ImageError("empty JPEG file");
    State s;
    s.data = data;
    s.plan = &plan;
    s.err.message[0] = '\0';
    s.side.body.reserve(65535);
    s.cinfo.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = onError;
    s.err.pub.emit_message = onMessage;
    s.err.pub.output_message = onOutput;
    if (!runDecoder(s)) {
        if (s.err.cancelled) throw TDecodeCancelled();
        throw ImageError(std::string("JPEG: ") + s.err.message);
    }
    return std::move(s.out);
}

} // namespace pictorelle::decoders

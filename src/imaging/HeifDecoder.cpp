// HEIF (HEIC) and AVIF through libheif: the file's primary image, with the rotation, mirror and
// crop the file asks for, which libheif applies while decoding. libheif reports failure as a
// heif_error; every one becomes ImageError here. Its own security limits stay on, and its
// largest accepted side is ours.
//
// A photo is decoded to its own 8-bit Y'CbCr planes and turned into RGB here, row by row, as
// the reducer takes the rows: asking libheif for RGBA would have it hold a full-size RGBA copy
// (96 MB for a 24-megapixel photo) beside the planes. Anything else (more than 8 bits, grey,
// RGB coding, an unusual matrix) is decoded to RGBA by libheif.
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <algorithm>
#include <cmath>
#include <libheif/heif.h>
#include <memory>
#include <optional>
#include <span>
#include <vector>
#include <string>

namespace pictorelle {

namespace {

void check(const heif_error& error) {
    if (error.code == heif_error_Ok) return;
    throw ImageError(std::string("HEIF: ") + (error.message ? error.message : "damaged file"));
}

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

// The embedded profile, when the file carries one as ICC data (a colour description given as
// numbers, nclx, is left to the libraries' sRGB).
std::vector<uint8_t> iccProfile(heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0 || size > kMaxIccProfileBytes) return {};
    std::vector<uint8_t> profile(size);
    if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
        return {};
    return profile;
}

struct NclxDeleter {
    void operator()(heif_color_profile_nclx* p) const { heif_nclx_color_profile_free(p); }
};

// The Y'CbCr to R'G'B' matrix of the planes libheif hands over, in 1/65536. Asked for Y'CbCr,
// libheif brings whatever the file was coded in (another matrix, limited range) to its own
// state, BT.601 at full range, whatever the image's colour description still says; only an
// image coded as RGB (the identity matrix) would lose by that, and is left to libheif whole.
struct TYcbcrMatrix {
    int32_t crToR, cbToG, crToG, cbToB;
};

std::optional<TYcbcrMatrix> YcbcrMatrix(const heif_image_handle* handle, const heif_image* image) {
    heif_color_profile_nclx* raw = nullptr;
    if ((heif_image_get_nclx_color_profile(image, &raw).code == heif_error_Ok && raw) ||
        (heif_image_handle_get_nclx_color_profile(handle, &raw).code == heif_error_Ok && raw)) {
        const std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(raw);
        if (nclx->matrix_coefficients == heif_matrix_coefficients_RGB_GBR) return std::nullopt;
    }
    constexpr double kr = 0.299, kb = 0.114, kg = 1.0 - kr - kb;
    const auto fixed = [](double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); };
    return TYcbcrMatrix{fixed(2.0 * (1.0 - kr)), fixed(2.0 * kb * (1.0 - kb) / kg),
                        fixed(2.0 * kr * (1.0 - kr) / kg), fixed(2.0 * (1.0 - kb))};
}

struct TPlane {
    const uint8_t* data = nullptr;
    int stride = 0;
};

TPlane Plane(const heif_image* image, heif_channel channel, int width, int height) {
    TPlane plane;
    if (heif_image_get_bits_per_pixel_range(image, channel) != 8) return {};
    if (heif_image_get_width(image, channel) < width || heif_image_get_height(image, channel) < height)
        return {};
    plane.data = heif_image_get_plane_readonly(image, channel, &plane.stride);
    if (!plane.data || plane.stride <= 0) return {};
    return plane;
}

// The chroma sampling every colour image of the file is coded in, read from the codec
// configurations ('hvcC', 'av1C') among the item properties: libheif has no call for it, and
// asking it for another sampling than the coded one makes it convert. Grey configurations (an
// alpha plane's) do not count; none when the file holds none or several kinds.
std::optional<heif_chroma> CodedChroma(std::span<const uint8_t> data) {
    // The children of the box whose content is [begin, end): type and content of each.
    struct TBox {
        uint32_t type;
        size_t begin, end;
    };
    const auto children = [&](size_t begin, size_t end) {
        std::vector<TBox> boxes;
        while (begin + 8 <= end && boxes.size() < 4096) {
            uint64_t size = uint64_t{data[begin]} << 24 | uint64_t{data[begin + 1]} << 16 |
                            uint64_t{data[begin + 2]} << 8 | data[begin + 3];
            const uint32_t type = static_cast<uint32_t>(data[begin + 4]) << 24 |
                                  static_cast<uint32_t>(data[begin + 5]) << 16 |
                                  static_cast<uint32_t>(data[begin + 6]) << 8 | data[begin + 7];
            size_t header = 8;
            if (size == 1) {
                if (begin + 16 > end) break;
                size = 0;
                for (int i = 8; i < 16; ++i) size = size << 8 | data[begin + i];
                header = 16;
            } else if (size == 0) {
                size = end - begin;
            }
            if (size < header || size > end - begin) break;
            boxes.push_back({type, begin + header, begin + static_cast<size_t>(size)});
            begin += static_cast<size_t>(size);
        }
        return boxes;
    };
    const auto find = [&](const std::vector<TBox>& boxes, const char* name) -> const TBox* {
        const uint32_t type = static_cast<uint32_t>(name[0]) << 24 | static_cast<uint32_t>(name[1]) << 16 |
                              static_cast<uint32_t>(name[2]) << 8 | static_cast<uint32_t>(name[3]);
        for (const TBox& box : boxes)
            if (box.type == type) return &box;
        return nullptr;
    };
    const TBox* meta = find(children(0, data.size()), "meta");
    if (!meta || meta->end - meta->begin < 4) return std::nullopt;
    const auto inMeta = children(meta->begin + 4, meta->end); // a full box: version and flags
    const TBox* iprp = find(inMeta, "iprp");
    if (!iprp) return std::nullopt;
    const auto inIprp = children(iprp->begin, iprp->end);
    const TBox* ipco = find(inIprp, "ipco");
    if (!ipco) return std::nullopt;
    std::optional<heif_chroma> found;
    for (const TBox& box : children(ipco->begin, ipco->end)) {
        std::optional<heif_chroma> chroma;
        if (box.type == 0x68766343u && box.end - box.begin > 16) { // hvcC
            static constexpr heif_chroma kHevc[] = {heif_chroma_monochrome, heif_chroma_420,
                                                    heif_chroma_422, heif_chroma_444};
            chroma = kHevc[data[box.begin + 16] & 3];
        } else if (box.type == 0x61763143u && box.end - box.begin > 2) { // av1C
            const uint8_t bits = data[box.begin + 2];
            chroma = (bits & 0x10)   ? heif_chroma_monochrome
                     : (bits & 0x08) ? ((bits & 0x04) ? heif_chroma_420 : heif_chroma_422)
                                     : heif_chroma_444;
        }
        if (!chroma || *chroma == heif_chroma_monochrome) continue;
        if (found && *found != *chroma) return std::nullopt;
        found = chroma;
    }
    return found;
}

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The part of an 8-bit Y'CbCr image (4:2:0, 4:2:2 or 4:4:4, with or without an alpha plane)
// reduced by factor; none when the image is not of that kind. Chroma comes from its nearest
// sample, as libheif does when it converts.
std::optional<TBitmap32> ReduceYcbcrImage(const heif_image_handle* handle, const heif_image* image,
                                          int width, int height, TRect part, int factor) {
    if (heif_image_get_colorspace(image) != heif_colorspace_YCbCr) return std::nullopt;
    int shiftX = 0, shiftY = 0;
    switch (heif_image_get_chroma_format(image)) {
    case heif_chroma_420: shiftX = shiftY = 1; break;
    case heif_chroma_422: shiftX = 1; break;
    case heif_chroma_444: break;
    default: return std::nullopt;
    }
    const auto matrix = YcbcrMatrix(handle, image);
    if (!matrix) return std::nullopt;
    const int chromaWidth = (width + shiftX) >> shiftX, chromaHeight = (height + shiftY) >> shiftY;
    const TPlane luma = Plane(image, heif_channel_Y, width, height);
    const TPlane cb = Plane(image, heif_channel_Cb, chromaWidth, chromaHeight);
    const TPlane cr = Plane(image, heif_channel_Cr, chromaWidth, chromaHeight);
    if (!luma.data || !cb.data || !cr.data) return std::nullopt;
    TPlane alpha;
    if (heif_image_has_channel(image, heif_channel_Alpha)) {
        alpha = Plane(image, heif_channel_Alpha, width, height);
        if (!alpha.data) return std::nullopt;
    }

    TRowReducer reducer(part, factor);
    std::vector<uint32_t> row(static_cast<size_t>(part.right));
    for (int y = part.top; y < part.bottom; ++y) {
        if ((y - part.top) % 64 == 0) CheckDecodeCancelled();
        const uint8_t* ys = luma.data + static_cast<size_t>(y) * luma.stride;
        const uint8_t* cbs = cb.data + static_cast<size_t>(y >> shiftY) * cb.stride;
        const uint8_t* crs = cr.data + static_cast<size_t>(y >> shiftY) * cr.stride;
        const uint8_t* as = alpha.data ? alpha.data + static_cast<size_t>(y) * alpha.stride : nullptr;
        for (int x = part.left; x < part.right; ++x) {
            const int32_t l = ys[x];
            const int32_t u = cbs[x >> shiftX] - 128, v = crs[x >> shiftX] - 128;
            const uint8_t r = Clamp8(l + ((matrix->crToR * v + 32768) >> 16));
            const uint8_t g = Clamp8(l - ((matrix->cbToG * u + matrix->crToG * v + 32768) >> 16));
            const uint8_t b = Clamp8(l + ((matrix->cbToB * u + 32768) >> 16));
            const uint32_t a = as ? as[x] : 255;
            row[static_cast<size_t>(x)] = (a << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
        }
        reducer.AddRow(y, row.data());
    }
    return reducer.Finish();
}

} // namespace

namespace decoders {

TDecodedPicture DecodeHeif(std::span<const uint8_t> data, const TDecodePlan& plan) {
    std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context) throw std::bad_alloc();
    heif_context_set_maximum_image_size_limit(context.get(), kMaxPictureSide);
    check(heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(),
                                                     nullptr));
    heif_image_handle* raw = nullptr;
    check(heif_context_get_primary_image_handle(context.get(), &raw));
    std::unique_ptr<heif_image_handle, HandleDeleter> handle(raw);

    // The size after the file's own rotation and crop: what the picture is.
    TDecodedPicture out;
    out.natural = {heif_image_handle_get_width(handle.get()),
                   heif_image_handle_get_height(handle.get())};
    CheckPictureSize(out.natural.width, out.natural.height);
    // The stored image before rotation must be within bounds too.
    CheckPictureSize(heif_image_handle_get_ispe_width(handle.get()),
                     heif_image_handle_get_ispe_height(handle.get()));
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    CheckDecodeCancelled();

    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    const int factor = ReductionFactor(req.source.size(), req.wanted, req.limit);
    out.source = req.source;
    out.iccProfile = iccProfile(handle.get());
    heif_image* decoded = nullptr;
    const std::optional<heif_chroma> coded = CodedChroma(data);
    if (coded && heif_image_handle_get_luma_bits_per_pixel(handle.get()) == 8) {
        // The planes as the codec made them, no conversion in libheif.
        check(heif_decode_image(handle.get(), &decoded, heif_colorspace_YCbCr, *coded,
                                options.get()));
        std::unique_ptr<heif_image, ImageDeleter> planes(decoded);
        CheckDecodeCancelled();
        if (heif_image_get_width(planes.get(), heif_channel_Y) == out.natural.width &&
            heif_image_get_height(planes.get(), heif_channel_Y) == out.natural.height) {
            if (auto reduced = ReduceYcbcrImage(handle.get(), planes.get(), out.natural.width,
                                                out.natural.height, req.source, factor)) {
                out.bitmap = std::move(*reduced);
                return out;
            }
        }
    }
    decoded = nullptr;
    check(heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                            heif_chroma_interleaved_RGBA, options.get()));
    std::unique_ptr<heif_image, ImageDeleter> image(decoded);
    CheckDecodeCancelled();

    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!pixels || stride <= 0 ||
        heif_image_get_width(image.get(), heif_channel_interleaved) != out.natural.width ||
        heif_image_get_height(image.get(), heif_channel_interleaved) != out.natural.height)
        throw ImageError("HEIF: the decoded image does not match its header");
    out.bitmap = ReduceRgbaPicture(pixels, static_cast<size_t>(stride), req.source, factor);
    // HEIF's orientation is its rotation and mirror, applied above; the EXIF orientation tag
    // of such files must not turn the picture again, so EXIF stays out.
    return out;
}

} // namespace decoders

} // namespace pictorelle

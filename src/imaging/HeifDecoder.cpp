// HEIF (HEIC) and AVIF through libheif: the file's primary image, with the rotation, mirror and
// crop the file asks for, which libheif applies while decoding. libheif reports failure as a
// heif_error; every one becomes ImageError here. Its own security limits stay on, with a
// largest side and a largest picture of our own (below).
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <libheif/heif.h>
#include <cstdint>
#include <memory>
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

// 48-megapixel phone photos (8064 x 6048) and a little more. libheif is told the side too: it
// checks it on every image it makes while it decodes (a grid's tiles, the codec's own picture,
// which need not be the size the file's header says), where a damaged file otherwise had it
// ask for up to 1.4 GB.
constexpr int64_t kMaxHeifPixels = 50'000'000;
constexpr int kMaxHeifSide = 8192;

} // namespace

namespace decoders {

TDecodedPicture DecodeHeif(std::span<const uint8_t> data, const TDecodePlan& plan) {
    std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context) throw std::bad_alloc();
    heif_context_set_maximum_image_size_limit(context.get(), kMaxHeifSide);
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
    const int storedWidth = heif_image_handle_get_ispe_width(handle.get());
    const int storedHeight = heif_image_handle_get_ispe_height(handle.get());
    CheckPictureSize(storedWidth, storedHeight);
    // libheif decodes the whole picture and makes an RGBA copy of it: a file that claims more
    // pixels than the largest phone photos would have it ask for hundreds of megabytes,
    // whatever its few bytes hold.
    for (const int64_t pixels : {int64_t{out.natural.width} * out.natural.height,
                                 int64_t{storedWidth} * storedHeight})
        if (pixels > kMaxHeifPixels)
            throw ImageError("HEIF: " + std::to_string(pixels / 1'000'000) +
                             " megapixels, more than the " +
                             std::to_string(kMaxHeifPixels / 1'000'000) +
                             " the player decodes");
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    CheckDecodeCancelled();

    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
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
    const int factor = ReductionFactor(req.source.size(), req.wanted, req.limit);
    out.bitmap = ReduceRgbaPicture(pixels, static_cast<size_t>(stride), req.source, factor);
    out.source = req.source;
    out.iccProfile = iccProfile(handle.get());
    // HEIF's orientation is its rotation and mirror, applied above; the EXIF orientation tag
    // of such files must not turn the picture again, so EXIF stays out.
    return out;
}

} // namespace decoders

} // namespace pictorelle

// JPEG XL through libjxl: the first frame, upright (libjxl applies the file's orientation),
// asked for in sRGB. A lossy file is converted by libjxl itself; a lossless one keeps its own
// colour space, whose profile then travels with the pixels. Failure becomes ImageError.
#include "imaging/DecoderParts.h"
#include "imaging/RowReducer.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
#include <memory>
#include <vector>

namespace pictorelle {

namespace {

struct DecoderDeleter {
    void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
};
struct RunnerDeleter {
    void operator()(void* r) const { JxlThreadParallelRunnerDestroy(r); }
};

bool isSrgb(const JxlColorEncoding& c) {
    return (c.color_space == JXL_COLOR_SPACE_RGB || c.color_space == JXL_COLOR_SPACE_GRAY) &&
           c.white_point == JXL_WHITE_POINT_D65 &&
           (c.color_space == JXL_COLOR_SPACE_GRAY || c.primaries == JXL_PRIMARIES_SRGB) &&
           c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// Asks for sRGB pixels and returns the profile of the pixels libjxl will actually deliver
// when they are not sRGB.
std::vector<uint8_t> settleColour(JxlDecoder* dec) {
    JxlColorEncoding srgb{};
    srgb.color_space = JXL_COLOR_SPACE_RGB;
    srgb.white_point = JXL_WHITE_POINT_D65;
    srgb.primaries = JXL_PRIMARIES_SRGB;
    srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    JxlDecoderSetPreferredColorProfile(dec, &srgb); // refused for lossless files: fine
    JxlColorEncoding target{};
    if (JxlDecoderGetColorAsEncodedProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &target) ==
            JXL_DEC_SUCCESS &&
        isSrgb(target))
        return {};
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > kMaxIccProfileBytes)
        return {};
    std::vector<uint8_t> profile(size);
    if (JxlDecoderGetColorAsICCProfile(dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, profile.data(),
                                       size) != JXL_DEC_SUCCESS)
        return {};
    return profile;
}

} // namespace

namespace decoders {

TDecodedPicture DecodeJxl(std::span<const uint8_t> data, const TDecodePlan& plan) {
    std::unique_ptr<JxlDecoder, DecoderDeleter> dec(JxlDecoderCreate(nullptr));
    std::unique_ptr<void, RunnerDeleter> runner(
        JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads()));
    if (!dec || !runner) throw std::bad_alloc();
    if (JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                                 JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec.get(), data.data(), data.size()) != JXL_DEC_SUCCESS)
        throw ImageError("JPEG XL: cannot start decoding");
    JxlDecoderCloseInput(dec.get());

    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    TDecodedPicture out;
    std::vector<uint8_t> pixels;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec.get());
        CheckDecodeCancelled();
        if (status == JXL_DEC_ERROR) throw ImageError("JPEG XL: damaged file");
        if (status == JXL_DEC_NEED_MORE_INPUT) throw ImageError("JPEG XL: the file ends early");
        if (status == JXL_DEC_FULL_IMAGE) break; // the first frame is the picture
        if (status == JXL_DEC_SUCCESS) throw ImageError("JPEG XL: no image in the file");
        if (status == JXL_DEC_BASIC_INFO) {
            JxlBasicInfo info{};
            if (JxlDecoderGetBasicInfo(dec.get(), &info) != JXL_DEC_SUCCESS)
                throw ImageError("JPEG XL: damaged header");
            CheckPictureSize(info.xsize, info.ysize);
            // The size is given as stored; orientations 5 to 8 turn it by a quarter.
            const bool turned = info.orientation >= JXL_ORIENT_TRANSPOSE;
            out.natural = turned
                              ? TSize{static_cast<int>(info.ysize), static_cast<int>(info.xsize)}
                              : TSize{static_cast<int>(info.xsize), static_cast<int>(info.ysize)};
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            out.iccProfile = settleColour(dec.get());
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            size_t size = 0;
            if (JxlDecoderImageOutBufferSize(dec.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size != size_t{4} * static_cast<size_t>(out.natural.width) *
                            static_cast<size_t>(out.natural.height))
                throw ImageError("JPEG XL: the image does not match its header");
            pixels.resize(size);
            if (JxlDecoderSetImageOutBuffer(dec.get(), &format, pixels.data(), size) !=
                JXL_DEC_SUCCESS)
                throw ImageError("JPEG XL: cannot take the image");
        }
    }
    if (pixels.empty()) throw ImageError("JPEG XL: no image in the file");
    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    const int factor = ReductionFactor(req.source.size(), req.wanted, req.limit);
    out.bitmap = ReduceRgbaPicture(
        pixels.data(), size_t{4} * static_cast<size_t>(out.natural.width), req.source, factor);
    out.source = req.source;
    return out;
}

} // namespace decoders

} // namespace pictorelle

// WebP through libwebp: stills cut and scaled by the library while it decodes, animations read
// frame by frame through libwebpdemux into the GIF animator's frames. libwebp reports failure
// by status codes; every one becomes ImageError here.
#include "core/IntMath.h"
#include "imaging/DecoderParts.h"
#include "imaging/GifAnimation.h"
#include "imaging/GifImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>
#include <webp/decode.h>
#include <webp/demux.h>

namespace pictorelle {

namespace {

// The most one frame of an animation may take while it is decoded whole: 24 megapixels, far
// beyond the animations people make, within what one picture's decoder may spend.
constexpr int64_t kMaxAnimatedFrameBytes = int64_t{96} << 20;

// How much of the file the incremental decoder is handed between two looks at the cancel flag.
constexpr size_t kAppendBytes = 256 * 1024;

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
using Demux = std::unique_ptr<WebPDemuxer, DemuxDeleter>;

struct IdecDeleter {
    void operator()(WebPIDecoder* d) const { WebPIDelete(d); }
};

Demux openDemux(std::span<const uint8_t> data) {
    const WebPData whole{data.data(), data.size()};
    Demux demux(WebPDemux(&whole));
    if (!demux) throw ImageError("WebP: not a WebP file, or a damaged one");
    return demux;
}

// A side chunk when the file carries one within its cap; a larger one is left out, since the
// picture shows without it.
std::vector<uint8_t> chunk(WebPDemuxer* demux, const char* fourcc, size_t cap) {
    WebPChunkIterator it{};
    std::vector<uint8_t> out;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &it)) return out;
    if (it.chunk.size <= cap) out.assign(it.chunk.bytes, it.chunk.bytes + it.chunk.size);
    WebPDemuxReleaseChunkIterator(&it);
    return out;
}

void readSideChunks(std::span<const uint8_t> data, TDecodedPicture& out) {
    const Demux demux = openDemux(data);
    const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
    if (flags & ICCP_FLAG) out.iccProfile = chunk(demux.get(), "ICCP", kMaxIccProfileBytes);
    if (flags & EXIF_FLAG) {
        out.exif = chunk(demux.get(), "EXIF", kMaxExifBytes);
        // Some writers keep JPEG's APP1 prefix in the chunk.
        static constexpr uint8_t kPrefix[] = {'E', 'x', 'i', 'f', 0, 0};
        if (out.exif.size() >= 6 && std::equal(kPrefix, kPrefix + 6, out.exif.begin()))
            out.exif.erase(out.exif.begin(), out.exif.begin() + 6);
    }
}

// Runs the incremental decoder over a whole bitstream, looking at the cancel flag between
// pieces. config's output must already point at its buffer.
void decodeInPieces(std::span<const uint8_t> data, WebPDecoderConfig& config) {
    std::unique_ptr<WebPIDecoder, IdecDeleter> idec(WebPIDecode(nullptr, 0, &config));
    if (!idec) throw ImageError("WebP: cannot start decoding");
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (size_t at = 0; at < data.size() && status == VP8_STATUS_SUSPENDED;) {
        CheckDecodeCancelled();
        const size_t n = std::min(kAppendBytes, data.size() - at);
        status = WebPIAppend(idec.get(), data.data() + at, n);
        at += n;
    }
    if (status == VP8_STATUS_SUSPENDED) throw ImageError("WebP: the file ends early");
    if (status != VP8_STATUS_OK) throw ImageError("WebP: damaged picture data");
}

// Points config's output at a bitmap: libwebp's BGRA bytes are our 0xAARRGGBB pixels.
void decodeInto(TBitmap32& bitmap, std::span<const uint8_t> data, WebPDecoderConfig& config) {
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.width = bitmap.Width();
    config.output.height = bitmap.Height();
    WebPRGBABuffer& rgba = config.output.u.RGBA;
    rgba.rgba = reinterpret_cast<uint8_t*>(bitmap.Bits());
    rgba.stride = bitmap.Width() * 4;
    rgba.size = static_cast<size_t>(rgba.stride) * static_cast<size_t>(bitmap.Height());
    decodeInPieces(data, config);
}

// Fully transparent pixels become 0, so that the animator and the item's transparent-colour
// keying see one value for them.
void clearInvisible(uint32_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if ((pixels[i] >> 24) == 0) pixels[i] = 0;
}

TGifImage readFrames(std::span<const uint8_t> data, int maxFrames, const TDecodePlan& plan) {
    const Demux demux = openDemux(data);
    TGifImage out;
    out.screen = {static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH)),
                  static_cast<int>(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT))};
    CheckPictureSize(out.screen.width, out.screen.height);
    // A loop count of 0 plays for ever; a limited count is played once, like a GIF without
    // its looping extension, since the timer keeps no count.
    out.loops = WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT) == 0;
    if (plan) {
        const TDecodeRequest req = ResolveRequest(plan, out.screen);
        out.factor = std::max(ReductionFactor(req.source.size(), req.wanted, req.limit),
                              LimitFactor(out.screen, req.limit));
    }
    const bool alpha = (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ALPHA_FLAG) != 0;
    const TRect screen{0, 0, out.screen.width, out.screen.height};

    int64_t budget = kMaxGifTotalPixels;
    bool uncovers = false; // some frame leaves part of the screen to what is under it
    WebPIterator it{};
    if (!WebPDemuxGetFrame(demux.get(), 1, &it)) throw ImageError("WebP: no frame in the file");
    struct Release {
        WebPIterator* it;
        ~Release() { WebPDemuxReleaseIterator(it); }
    } release{&it};
    do {
        CheckDecodeCancelled();
        TGifFrame frame;
        frame.rect = TRect::fromXYWH(it.x_offset, it.y_offset, it.width, it.height);
        frame.delayMs = std::max(it.duration, 0);
        frame.blend = it.blend_method == WEBP_MUX_BLEND;
        frame.disposal = it.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND
                             ? TGifDisposal::RestoreBackground
                             : TGifDisposal::Keep;
        const TRect kept = out.SampledRect(frame);
        budget -=
            (kept.isEmpty() ? 0 : int64_t{kept.width()} * kept.height()) * kTrueColourPixelCost +
            static_cast<int64_t>(sizeof(TGifFrame));
        if (budget < 0) {
            if (out.frames.empty()) throw ImageError("WebP: too many pixels in all");
            break; // play the frames before it
        }
        uncovers = uncovers || frame.rect != screen || it.has_alpha;
        try {
            // A frame is decoded whole before it is sampled, so its full size is what it costs
            // while it decodes: held to what one decoder may spend on a picture.
            if (int64_t{it.width} * it.height * 4 > kMaxAnimatedFrameBytes)
                throw ImageError("WebP: an animation frame too large to decode");
            TBitmap32 pixels(it.width, it.height);
            WebPDecoderConfig config;
            if (!WebPInitDecoderConfig(&config)) throw ImageError("WebP: library mismatch");
            decodeInto(pixels, {it.fragment.bytes, it.fragment.size}, config);
            frame.pixels.resize(static_cast<size_t>(std::max(kept.width(), 0)) *
                                static_cast<size_t>(std::max(kept.height(), 0)));
            uint32_t* dst = frame.pixels.data();
            for (int y = kept.top; y < kept.bottom; ++y) {
                const uint32_t* row = pixels.ScanLine(out.SampleY(y) - frame.rect.top);
                for (int x = kept.left; x < kept.right; ++x)
                    *dst++ = row[out.SampleX(x) - frame.rect.left];
            }
            clearInvisible(frame.pixels.data(), frame.pixels.size());
        } catch (const TDecodeCancelled&) {
            throw;
        } catch (const ImageError&) {
            if (out.frames.empty()) throw;
            break; // a damaged tail: keep the frames read so far
        }
        out.frames.push_back(std::move(frame));
    } while (static_cast<int>(out.frames.size()) < maxFrames && WebPDemuxNextFrame(&it));

    // Where nothing is drawn the screen shows through, as with a GIF's transparent colour.
    if (alpha || uncovers)
        for (TGifFrame& f : out.frames) {
            f.transparentIndex = 0;
            f.palette[0] = 0;
        }
    return out;
}

} // namespace

TGifImage ReadAnimatedWebp(std::span<const uint8_t> data, const TDecodePlan& plan) {
    return readFrames(data, std::numeric_limits<int>::max(), plan);
}

namespace decoders {

bool WebpAnimates(std::span<const uint8_t> data) {
    WebPBitstreamFeatures features{};
    return WebPGetFeatures(data.data(), data.size(), &features) == VP8_STATUS_OK &&
           features.has_animation;
}

TDecodedPicture DecodeWebp(std::span<const uint8_t> data, const TDecodePlan& plan) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) throw ImageError("WebP: library mismatch");
    if (WebPGetFeatures(data.data(), data.size(), &config.input) != VP8_STATUS_OK)
        throw ImageError("WebP: not a WebP file, or a damaged one");
    const WebPBitstreamFeatures& f = config.input;
    CheckPictureSize(f.width, f.height);
    TDecodedPicture out;
    out.natural = {f.width, f.height};

    if (f.has_animation) {
        // A still of an animation (a background, a logo): its first frame on its screen.
        TGifAnimator animator(readFrames(data, 1, plan));
        out.bitmap = animator.Frame(0);
        out.source = {0, 0, f.width, f.height};
        readSideChunks(data, out);
        return out;
    }

    const TDecodeRequest req = ResolveRequest(plan, out.natural);
    // libwebp crops from even offsets only; the part is widened to the even one before it.
    TRect part = req.source;
    part.left &= ~1;
    part.top &= ~1;
    const int factor = ReductionFactor(part.size(), req.wanted, req.limit);
    const TSize size{CeilDiv(part.width(), factor), CeilDiv(part.height(), factor)};
    if (part != TRect{0, 0, f.width, f.height}) {
        config.options.use_cropping = 1;
        config.options.crop_left = part.left;
        config.options.crop_top = part.top;
        config.options.crop_width = part.width();
        config.options.crop_height = part.height();
    }
    if (factor > 1) {
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width;
        config.options.scaled_height = size.height;
    }
    config.options.use_threads = 1;
    out.bitmap.SetSize(size.width, size.height);
    decodeInto(out.bitmap, data, config);
    if (f.has_alpha)
        clearInvisible(out.bitmap.Bits(), static_cast<size_t>(size.width) * size.height);
    out.source = part;
    // Only the extended format (a VP8X chunk first) carries a profile or EXIF.
    static constexpr char kExtended[] = "VP8X";
    if (data.size() >= 16 && std::memcmp(data.data() + 12, kExtended, 4) == 0)
        readSideChunks(data, out);
    return out;
}

} // namespace decoders

} // namespace pictorelle

// Feeds arbitrary bytes to one picture decoder through the entry point the player uses, built
// once per format (PICTORELLE_FUZZ_FORMAT is the extension). A damaged picture must end as
// ImageError, never as a crash, a leak or a bitmap that disagrees with its own size.
#include "imaging/Decode.h"
#include "imaging/GifAnimation.h"
#include "imaging/GifImage.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <string_view>

namespace {

using namespace pictorelle;

constexpr std::string_view kFormat = PICTORELLE_FUZZ_FORMAT;

void CheckBitmap(const TBitmap32& b) {
    if (b.Width() < 0 || b.Height() < 0) std::abort();
    if (b.Width() > 0 && b.Height() > 0) {
        // Touch the last pixel: the rows must really be there.
        volatile uint32_t last = b.ScanLine(b.Height() - 1)[b.Width() - 1];
        (void)last;
    }
}

// Every frame of an animation, as the animator will walk them: sampled, as the show samples a
// GIF, to no more than a 3840 x 2160 screen.
void WalkGifFrames(std::span<const uint8_t> data) {
    const TGifImage gif = ReadGif(data, std::numeric_limits<int>::max(), [](TSize) {
        return TDecodeRequest{{}, {}, {3840, 2160}};
    });
    if (gif.frames.empty()) std::abort();
    for (const TGifFrame& f : gif.frames) {
        const TRect kept = gif.SampledRect(f);
        const auto pixels =
            kept.isEmpty() ? size_t{0}
                           : static_cast<size_t>(kept.width()) * static_cast<size_t>(kept.height());
        if (f.indices.size() != pixels) std::abort();
        if (f.transparentIndex >= 256) std::abort();
    }
    CheckBitmap(GifFirstFrameImage(gif));
}

// Every frame of an animated WebP composed, at most at a modest size as a show would ask.
void WalkWebpFrames(std::span<const uint8_t> data) {
    TGifAnimator animator(ReadAnimatedWebp(data, [](TSize) {
        return TDecodeRequest{{}, {320, 240}, {640, 480}};
    }));
    for (int k = 0; k < animator.FrameCount(); ++k) {
        const TGifFrame& f = animator.Gif().frames[static_cast<size_t>(k)];
        const TRect kept = animator.Gif().SampledRect(f);
        if (f.pixels.size() !=
            static_cast<size_t>(kept.width()) * static_cast<size_t>(kept.height()))
            std::abort();
        CheckBitmap(animator.Frame(k));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        // A part of the picture, reduced: the crop and reduction paths of every decoder.
        const TDecodedPicture picture = DecodePictureData(bytes, kFormat, [](TSize natural) {
            return TDecodeRequest{
                {natural.width / 5, natural.height / 7, natural.width, natural.height - 1},
                {natural.width / 3 + 1, natural.height / 3 + 1},
                {3840, 2160}};
        });
        CheckBitmap(picture.bitmap);
        if (picture.bitmap.Width() > picture.natural.width ||
            picture.bitmap.Height() > picture.natural.height)
            std::abort();
    } catch (const ImageError&) {
    } catch (const std::bad_alloc&) {
    }
    if (kFormat == "gif" || kFormat == "webp") {
        try {
            if (kFormat == "gif")
                WalkGifFrames(bytes);
            else
                WalkWebpFrames(bytes);
        } catch (const ImageError&) {
        } catch (const std::bad_alloc&) {
        }
    }
    return 0;
}

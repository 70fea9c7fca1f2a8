// GIF through giflib. giflib reports failure by return codes; every one becomes ImageError here.
#include "core/Color.h"
#include "core/IntMath.h"
#include "imaging/DecoderParts.h"
#include "imaging/GifImage.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <string>
#include <vector>

namespace pictorelle {

namespace {

struct Reader {
    std::span<const uint8_t> data;
    size_t position = 0;
};

int onRead(GifFileType* gif, GifByteType* buffer, int length) {
    auto* r = static_cast<Reader*>(gif->UserData);
    if (length <= 0) return 0;
    const size_t n = std::min(static_cast<size_t>(length), r->data.size() - r->position);
    if (n == 0) return 0;
    std::memcpy(buffer, r->data.data() + r->position, n);
    r->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

[[noreturn]] void fail(int code) {
    const char* text = GifErrorString(code);
    throw ImageError(std::string("GIF: ") + (text ? text : "unknown error"));
}

void check(GifFileType* gif, int result) {
    if (result == GIF_ERROR) fail(gif->Error);
}

void fillPalette(const ColorMapObject* map, std::array<uint32_t, 256>& palette) {
    palette.fill(0xFF000000u);
    if (!map || !map->Colors) return;
    const int count = std::clamp(map->ColorCount, 0, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& c = map->Colors[i];
        palette[static_cast<size_t>(i)] = MakePixel(c.Red, c.Green, c.Blue);
    }
}

struct ControlBlock {
    int transparentIndex = -1;
    int delayMs = 0;
    TGifDisposal disposal = TGifDisposal::Unspecified;
};

void readExtension(GifFileType* gif, ControlBlock& next, bool& loops) {
    int code = 0;
    GifByteType* block = nullptr;
    check(gif, DGifGetExtension(gif, &code, &block));
    bool netscape = false;
    if (block && code == GRAPHICS_EXT_FUNC_CODE) {
        GraphicsControlBlock gcb{};
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
            next.transparentIndex = gcb.TransparentColor;
            next.delayMs = gcb.DelayTime * 10;
            next.disposal = gcb.DisposalMode >= 0 && gcb.DisposalMode <= 3
                                ? static_cast<TGifDisposal>(gcb.DisposalMode)
                                : TGifDisposal::Unspecified;
        }
    } else if (block && code == APPLICATION_EXT_FUNC_CODE && block[0] == 11) {
        netscape = std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                   std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0;
    }
    for (;;) {
        check(gif, DGifGetExtensionNext(gif, &block));
        if (!block) break;
        if (netscape && block[0] >= 3 && block[1] == 1) loops = true;
    }
}

// How many of the n canvas columns (or rows) of a screen size pixels wide sample a screen
// position before v.
int samplesBefore(int v, int size, int n, int factor) {
    const int half = factor / 2;
    if (v > size - 1) return n;
    if (v <= half) return 0;
    return std::min(n, CeilDiv(v - half, factor));
}

// Reads the pixel rows of the image whose descriptor was just read, keeping the sampled ones.
// Every line is read whatever is kept of it: giflib only decodes in order.
void readPixels(GifFileType* gif, const TGifImage& image, TGifFrame& frame) {
    const TRect kept = image.SampledRect(frame);
    const int w = frame.rect.width();
    const int h = frame.rect.height();
    const int keptWidth = std::max(kept.width(), 0);
    frame.indices.resize(static_cast<size_t>(keptWidth) *
                         static_cast<size_t>(std::max(kept.height(), 0)));
    // The stored row each line of the frame lands in (-1: none), and the line's column behind
    // each stored column.
    std::vector<int> rowOf(static_cast<size_t>(h), -1);
    for (int y = kept.top; y < kept.bottom; ++y)
        rowOf[static_cast<size_t>(image.SampleY(y) - frame.rect.top)] = y - kept.top;
    std::vector<int> columns(static_cast<size_t>(keptWidth));
    for (int x = kept.left; x < kept.right; ++x)
        columns[static_cast<size_t>(x - kept.left)] = image.SampleX(x) - frame.rect.left;
    const bool whole = keptWidth == w; // every column kept: read straight into place
    std::vector<uint8_t> scratch(whole ? 0 : static_cast<size_t>(w));
    int linesRead = 0;
    auto line = [&](int y) {
        if (++linesRead % 64 == 0) CheckDecodeCancelled();
        const int row = rowOf[static_cast<size_t>(y)];
        uint8_t* dst =
            row < 0 ? nullptr : frame.indices.data() + static_cast<size_t>(row) * keptWidth;
        if (whole && dst) {
            check(gif, DGifGetLine(gif, dst, w));
            return;
        }
        if (scratch.empty()) scratch.resize(static_cast<size_t>(w));
        check(gif, DGifGetLine(gif, scratch.data(), w));
        if (!dst) return;
        for (int i = 0; i < keptWidth; ++i)
            dst[i] = scratch[static_cast<size_t>(columns[static_cast<size_t>(i)])];
    };
    if (!gif->Image.Interlace) {
        for (int y = 0; y < h; ++y)
            line(y);
        return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < h; y += kStep[pass])
            line(y);
}

struct ReadState {
    std::array<uint32_t, 256> global{};
    ControlBlock next;
    int64_t budget = kMaxGifTotalPixels;
    const TDecodePlan* plan = nullptr;
};

// The screen is settled once the first image is described: a zero logical screen occurs in
// the wild, and the first frame then defines it. The sampling factor follows from it, before
// any pixel is stored. The plan's factor for its part applies to the whole screen, which is
// then held to the plan's limit too.
void settleScreen(const GifImageDesc& first, const TDecodePlan& plan, TGifImage& out) {
    if (out.screen.isEmpty())
        out.screen = {std::max(first.Left + first.Width, 1), std::max(first.Top + first.Height, 1)};
    CheckPictureSize(out.screen.width, out.screen.height);
    if (!plan) return;
    const TDecodeRequest req = ResolveRequest(plan, out.screen);
    out.factor = std::max(ReductionFactor(req.source.size(), req.wanted, req.limit),
                          LimitFactor(out.screen, req.limit));
}

// Reads one record; false at the end of the file. Each frame costs its sampled pixels and a
// palette's worth against the budget, so a file of countless tiny frames cannot exhaust
// memory either.
bool readRecord(GifFileType* gif, ReadState& state, TGifImage& out) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    check(gif, DGifGetRecordType(gif, &type));
    if (type == TERMINATE_RECORD_TYPE) return false;
    if (type == EXTENSION_RECORD_TYPE) {
        readExtension(gif, state.next, out.loops);
        return true;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return true;

    check(gif, DGifGetImageDesc(gif));
    const GifImageDesc& desc = gif->Image;
    CheckPictureSize(desc.Width, desc.Height);
    if (out.frames.empty()) settleScreen(desc, *state.plan, out);
    TGifFrame frame;
    frame.rect = TRect::fromXYWH(desc.Left, desc.Top, desc.Width, desc.Height);
    const TRect kept = out.SampledRect(frame);
    state.budget -= (kept.isEmpty() ? 0 : int64_t{kept.width()} * kept.height()) +
                    static_cast<int64_t>(sizeof(TGifFrame));
    if (state.budget < 0) throw ImageError("GIF: too many pixels in all");
    if (desc.ColorMap)
        fillPalette(desc.ColorMap, frame.palette);
    else
        frame.palette = state.global;
    frame.transparentIndex = state.next.transparentIndex;
    frame.delayMs = state.next.delayMs;
    frame.disposal = state.next.disposal;
    state.next = ControlBlock{};
    readPixels(gif, out, frame);
    out.frames.push_back(std::move(frame));
    return true;
}

} // namespace

TSize TGifImage::Canvas() const {
    if (factor == 1) return screen;
    return {CeilDiv(screen.width, factor), CeilDiv(screen.height, factor)};
}

TRect TGifImage::SampledRect(const TGifFrame& frame) const {
    if (factor == 1) return frame.rect;
    const TSize canvas = Canvas();
    const TRect& r = frame.rect;
    const TRect kept{samplesBefore(r.left, screen.width, canvas.width, factor),
                     samplesBefore(r.top, screen.height, canvas.height, factor),
                     samplesBefore(r.right, screen.width, canvas.width, factor),
                     samplesBefore(r.bottom, screen.height, canvas.height, factor)};
    return kept.isEmpty() ? TRect{} : kept;
}

TGifImage ReadGif(std::span<const uint8_t> data, int maxFrames, const TDecodePlan& plan) {
    Reader reader{data, 0};
    int error = 0;
    GifHandle gif(DGifOpen(&reader, onRead, &error));
    if (!gif) fail(error);

    TGifImage out;
    out.screen = {gif->SWidth, gif->SHeight};
    ReadState state;
    state.plan = &plan;
    fillPalette(gif->SColorMap, state.global);
    if (gif->SColorMap && gif->SBackGroundColor >= 0 && gif->SBackGroundColor < 256)
        out.backgroundPixel = state.global[static_cast<size_t>(gif->SBackGroundColor)];

    while (static_cast<int>(out.frames.size()) < maxFrames) {
        try {
            if (!readRecord(gif.get(), state, out)) break;
        } catch (const TDecodeCancelled&) {
            throw;
        } catch (const ImageError&) {
            if (out.frames.empty()) throw;
            break; // a damaged tail: keep the frames read so far
        }
    }
    if (out.frames.empty()) throw ImageError("GIF: no image in the file");
    return out;
}

TBitmap32 GifFirstFrameImage(const TGifImage& gif) {
    const TGifFrame& frame = gif.frames.at(0);
    const TSize canvas = gif.Canvas();
    TBitmap32 image(canvas.width, canvas.height);
    const bool transparent = frame.transparentIndex >= 0;
    const uint32_t uncovered = transparent ? frame.TransparentPixel() : gif.backgroundPixel;
    image.Clear(uncovered);

    const TRect kept = gif.SampledRect(frame);
    const TRect visible = kept.intersected(image.BoundsRect());
    const int w = kept.width();
    for (int y = visible.top; y < visible.bottom; ++y) {
        const uint8_t* src = frame.indices.data() +
                             static_cast<size_t>(y - kept.top) * static_cast<size_t>(w) +
                             (visible.left - kept.left);
        uint32_t* dst = image.ScanLine(y);
        for (int x = visible.left; x < visible.right; ++x, ++src) {
            if (transparent && *src == frame.transparentIndex) continue;
            dst[x] = frame.palette[*src];
        }
    }
    return image;
}

namespace decoders {

TDecodedPicture DecodeGifFirstFrame(std::span<const uint8_t> data, const TDecodePlan& plan) {
    const TGifImage gif = ReadGif(data, 1, plan);
    TDecodedPicture out;
    out.bitmap = GifFirstFrameImage(gif);
    out.natural = gif.screen;
    out.source = {0, 0, gif.screen.width, gif.screen.height};
    if (gif.frames[0].transparentIndex >= 0)
        out.transparentPixel = gif.frames[0].TransparentPixel();
    return out;
}

} // namespace decoders

} // namespace pictorelle

// GIF through giflib. giflib reports failure by return codes; every one becomes ImageError here.
#include "core/Color.h"
#include "imaging/DecoderParts.h"
#include "imaging/GifImage.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>
#include <memory>
#include <string>

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

// Reads the pixel rows of the image whose descriptor was just read.
void readPixels(GifFileType* gif, TGifFrame& frame) {
    const int w = frame.rect.width();
    const int h = frame.rect.height();
    frame.indices.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    auto line = [&](int y) {
        check(gif, DGifGetLine(gif, frame.indices.data() + static_cast<size_t>(y) * w, w));
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

// Reads one record; false at the end of the file. Each frame costs its pixels and a palette's
// worth against the budget, so a file of countless tiny frames cannot exhaust memory either.
bool readRecord(GifFileType* gif, const std::array<uint32_t, 256>& global, ControlBlock& next,
                int64_t& budget, TGifImage& out) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    check(gif, DGifGetRecordType(gif, &type));
    if (type == TERMINATE_RECORD_TYPE) return false;
    if (type == EXTENSION_RECORD_TYPE) {
        readExtension(gif, next, out.loops);
        return true;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return true;

    check(gif, DGifGetImageDesc(gif));
    const GifImageDesc& desc = gif->Image;
    CheckPictureSize(desc.Width, desc.Height);
    budget -= int64_t{desc.Width} * desc.Height + static_cast<int64_t>(sizeof(TGifFrame));
    if (budget < 0) throw ImageError("GIF: too many pixels in all");
    TGifFrame frame;
    frame.rect = TRect::fromXYWH(desc.Left, desc.Top, desc.Width, desc.Height);
    if (desc.ColorMap)
        fillPalette(desc.ColorMap, frame.palette);
    else
        frame.palette = global;
    frame.transparentIndex = next.transparentIndex;
    frame.delayMs = next.delayMs;
    frame.disposal = next.disposal;
    next = ControlBlock{};
    readPixels(gif, frame);
    out.frames.push_back(std::move(frame));
    return true;
}

} // namespace

TGifImage ReadGif(std::span<const uint8_t> data, int maxFrames) {
    Reader reader{data, 0};
    int error = 0;
    GifHandle gif(DGifOpen(&reader, onRead, &error));
    if (!gif) fail(error);

    TGifImage out;
    out.screen = {gif->SWidth, gif->SHeight};
    std::array<uint32_t, 256> global{};
    fillPalette(gif->SColorMap, global);
    if (gif->SColorMap && gif->SBackGroundColor >= 0 && gif->SBackGroundColor < 256)
        out.backgroundPixel = global[static_cast<size_t>(gif->SBackGroundColor)];

    ControlBlock next;
    int64_t budget = kMaxGifTotalPixels;
    while (static_cast<int>(out.frames.size()) < maxFrames) {
        try {
            if (!readRecord(gif.get(), global, next, budget, out)) break;
        } catch (const ImageError&) {
            if (out.frames.empty()) throw;
            break; // a damaged tail: keep the frames read so far
        }
    }
    if (out.frames.empty()) throw ImageError("GIF: no image in the file");
    // A zero logical screen occurs in the wild; the first frame then defines it.
    if (out.screen.isEmpty())
        out.screen = {std::max(out.frames[0].rect.right, 1),
                      std::max(out.frames[0].rect.bottom, 1)};
    CheckPictureSize(out.screen.width, out.screen.height);
    return out;
}

TBitmap32 GifFirstFrameImage(const TGifImage& gif) {
    const TGifFrame& frame = gif.frames.at(0);
    TBitmap32 image(gif.screen.width, gif.screen.height);
    const bool transparent = frame.transparentIndex >= 0;
    const uint32_t uncovered = transparent ? frame.TransparentPixel() : gif.backgroundPixel;
    image.Clear(uncovered);

    const TRect visible = frame.rect.intersected(image.BoundsRect());
    const int w = frame.rect.width();
    for (int y = visible.top; y < visible.bottom; ++y) {
        const uint8_t* src = frame.indices.data() +
                             static_cast<size_t>(y - frame.rect.top) * static_cast<size_t>(w) +
                             (visible.left - frame.rect.left);
        uint32_t* dst = image.ScanLine(y);
        for (int x = visible.left; x < visible.right; ++x, ++src) {
            if (transparent && *src == frame.transparentIndex) continue;
            dst[x] = frame.palette[*src];
        }
    }
    return image;
}

namespace decoders {

TDecodedPicture DecodeGifFirstFrame(std::span<const uint8_t> data) {
    const TGifImage gif = ReadGif(data, 1);
    TDecodedPicture out;
    out.bitmap = GifFirstFrameImage(gif);
    out.natural = gif.screen;
    if (gif.frames[0].transparentIndex >= 0)
        out.transparentPixel = gif.frames[0].TransparentPixel();
    return out;
}

} // namespace decoders

} // namespace pictorelle

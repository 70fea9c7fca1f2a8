#include "imaging/PictureItem.h"

#include "imaging/Compose.h"
#include "imaging/Decode.h"
#include "imaging/Label.h"
#include "imaging/PictureFormats.h"
#include "imaging/Placement.h"
#include "package/ExtractEntry.h"
#include "package/PackageLayout.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace pictorelle {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool oneOf(std::string_view ext, std::initializer_list<std::string_view> names) {
    const std::string u = upper(ext);
    return std::find(names.begin(), names.end(), u) != names.end();
}

// The background drawn at the frame's top-left corner.
TBitmap32 backgroundFrame(const TPictureItemInput& in) {
    TBitmap32 frame(in.frameWidth, in.frameHeight);
    if (in.paintBackground) in.paintBackground(frame);
    return frame;
}

bool isOpaque(const TBitmap32& b) {
    for (int y = 0; y < b.Height(); ++y) {
        const uint32_t* row = b.ScanLine(y);
        uint32_t all = 0xFF000000u;
        for (int x = 0, w = b.Width(); x < w; ++x)
            all &= row[x];
        if ((all & 0xFF000000u) != 0xFF000000u) return false;
    }
    return true;
}

// Frame 0 as the decoder gives a still GIF.
TDecodedPicture firstGifFrame(TGifAnimator& gif) {
    TDecodedPicture out;
    out.bitmap = gif.Frame(0);
    out.natural = gif.Gif().screen;
    const TGifFrame& first = gif.Gif().frames.front();
    if (first.transparentIndex >= 0) out.transparentPixel = first.TransparentPixel();
    return out;
}

} // namespace

TItemKind ItemKindOf(std::string_view extension) {
    if (oneOf(extension, {".SWF", ".FLA"})) return TItemKind::Flash;
    if (oneOf(extension, {".ASF", ".WMV", ".AVI", ".MPEG", ".MPG"})) return TItemKind::Video;
    // What today's cameras and phones make.
    if (oneOf(extension, {".MP4", ".M4V", ".MOV", ".MKV", ".WEBM"})) return TItemKind::Video;
    return TItemKind::Picture;
}

int64_t ItemEntryCeiling(std::string_view extension) {
    return ItemKindOf(extension) == TItemKind::Picture ? kMaxPictureEntrySize
                                                       : kMaxInflatedEntrySize;
}

std::string ItemLabel(int index, std::string_view extension) {
    return "item " + std::to_string(index) + " (" + std::string(extension) + ")";
}

bool IsGifExtension(std::string_view extension) {
    return upper(extension) == ".GIF";
}

int ItemSizeMode(const ItemRecord& item, int globalStretch) {
    return item.ItemStretch != -1 ? item.ItemStretch : globalStretch;
}

TDecodeRequest PictureDecodeRequest(const TRect& itemRect, TSize natural, TSize frameSize,
                                    int flags, bool wholePicture) {
    TDecodeRequest r;
    r.limit = {2 * frameSize.width, 2 * frameSize.height};
    if (wholePicture || itemRect.size() != natural) {
        r.wanted = itemRect.size();
        // A GIF keeps several images of its whole logical screen for its animation: one
        // larger than it is shown, or than the frame, is composed at no more than that size.
        if (wholePicture)
            r.limit = {std::max(std::min(itemRect.width(), frameSize.width), 1),
                       std::max(std::min(itemRect.height(), frameSize.height), 1)};
        return r;
    }
    TRect shown = itemRect.intersected({0, 0, frameSize.width, frameSize.height})
                      .translated(-itemRect.left, -itemRect.top);
    if (shown.isEmpty()) shown = {0, 0, 1, 1}; // off the frame: the least there is
    if (flags & kFlagMirror)
        shown = {natural.width - shown.right, shown.top, natural.width - shown.left, shown.bottom};
    if (flags & kFlagFlip)
        shown = {shown.left, natural.height - shown.bottom, shown.right,
                 natural.height - shown.top};
    r.source = shown;
    r.wanted = shown.size();
    return r;
}

namespace {

// Where the decoded part of a picture goes in the frame: its rectangle in the picture (turned
// by the flags as the picture is) carried over to itemRect's scale.
TRect partRect(const TDecodedPicture& d, const TRect& itemRect, int flags) {
    const TSize n = d.natural;
    TRect part = d.source;
    if (part.isEmpty() || part == TRect{0, 0, n.width, n.height}) return itemRect;
    if (flags & kFlagMirror)
        part = {n.width - part.right, part.top, n.width - part.left, part.bottom};
    if (flags & kFlagFlip)
        part = {part.left, n.height - part.bottom, part.right, n.height - part.top};
    auto along = [](int at, int length, int natural, int origin) {
        return origin + static_cast<int>(int64_t{at} * length / natural);
    };
    return {along(part.left, itemRect.width(), n.width, itemRect.left),
            along(part.top, itemRect.height(), n.height, itemRect.top),
            along(part.right, itemRect.width(), n.width, itemRect.left),
            along(part.bottom, itemRect.height(), n.height, itemRect.top)};
}

} // namespace

TPictureItem ComposePictureItem(const TPictureItemInput& in) {
    if (!in.item) throw std::invalid_argument("ComposePictureItem needs an item");
    const ItemRecord& item = *in.item;
    TPictureItem out;
    // Whether the item plays through the animator is known from its bytes (a WebP may be a
    // still or an animation) before any pixel is decoded, since the decode plan depends on it.
    const TPictureFormatRow* format = FormatRowOfExtension(item.Ext);
    std::vector<uint8_t> bytes;
    if (format && format->animates) {
        bytes = ReadPictureFile(in.picturePath);
        out.isGif = format->Animates(bytes);
    }
    out.frame = backgroundFrame(in);

    const int W = in.frameWidth, H = in.frameHeight;
    const int mode = in.sizeMode;
    // Placement needs only the picture's true size, so it comes before the pixels: the decoder
    // then delivers no more of the picture than the frame shows. It may draw random numbers,
    // so it runs once.
    bool placed = false;
    const TDecodePlan plan = [&](TSize natural) {
        if (!placed) out.itemRect = PlacePicture(mode, W, H, natural.width, natural.height);
        placed = true;
        return PictureDecodeRequest(out.itemRect, natural, {W, H}, item.PictureFlags, out.isGif);
    };
    TDecodedPicture decoded;
    if (out.isGif) {
        out.gif = std::make_unique<TGifAnimator>(format->readFrames(bytes, plan));
        bytes = {};
        decoded = firstGifFrame(*out.gif);
        // A GIF of one frame never animates: its animator and canvases go now.
        if (!GifAnimates(out.gif->Gif())) out.gif.reset();
    } else if (!bytes.empty()) {
        decoded = DecodePictureData(bytes, item.Ext, plan);
    } else {
        decoded = DecodePicture(in.picturePath, plan);
    }
    out.naturalSize = decoded.natural;
    if (!placed)
        out.itemRect = PlacePicture(mode, W, H, out.naturalSize.width, out.naturalSize.height);
    const TRect pictureRect = partRect(decoded, out.itemRect, item.PictureFlags);
    if (out.gif && out.gif->Gif().HasTransparency()) {
        // Later GIF frames are drawn over this: background, logo and caption, no picture. Only
        // the part under the picture is kept, and only when the GIF has transparent pixels to
        // show it through; opaque frames cover the whole rectangle.
        const TRect under = out.itemRect.intersected(out.frame.BoundsRect());
        TFramePart& kept = out.gifBackground.emplace();
        kept.bitmap.SetSize(under.width(), under.height());
        kept.bitmap.Draw(0, 0, under, out.frame);
        kept.left = under.left;
        kept.top = under.top;
        DrawLogo(kept, {W, H}, in.logo);
        DrawCaption(item, kept, {W, H});
    }
    if (out.isGif) {
        out.picture = std::move(decoded.bitmap);
        if (decoded.transparentPixel)
            ReplaceTransparentColor(out.picture, *decoded.transparentPixel, in.backColor);
    } else if (isOpaque(decoded.bitmap)) {
        out.picture = std::move(decoded.bitmap); // blending it onto black would copy it
    } else {
        // Laid on transparent black: a picture's transparent parts turn black once the
        // picture is made opaque. Row by row in place, so a large picture is never held twice.
        out.picture = std::move(decoded.bitmap);
        TBitmap32 row(out.picture.Width(), 1);
        for (int y = 0; y < out.picture.Height(); ++y) {
            uint32_t* line = out.picture.ScanLine(y);
            std::copy_n(line, row.Width(), row.ScanLine(0));
            std::fill_n(line, row.Width(), 0u);
            out.picture.Draw(0, y, row, TDrawMode::Blend);
        }
    }
    decoded.bitmap = TBitmap32{};

    ApplyPictureFlags(out.picture, item.PictureFlags);
    if (item.MaskIndex >= 0) {
        out.mask.emplace();
        // The mask is stretched over the whole item rectangle; more than the frame of it is
        // never seen.
        const TSize maskWanted{std::min(out.itemRect.width(), W),
                               std::min(out.itemRect.height(), H)};
        if (in.loadMask)
            in.loadMask(*out.mask, [maskWanted, W, H](TSize) {
                return TDecodeRequest{{}, maskWanted, {2 * W, 2 * H}};
            });
    }
    ComposeItem(out.picture, out.frame, out.itemRect, !out.isGif, out.mask ? &*out.mask : nullptr,
                pictureRect);
    DrawLogo(out.frame, in.logo);
    DrawCaption(item, out.frame);
    return out;
}

} // namespace pictorelle

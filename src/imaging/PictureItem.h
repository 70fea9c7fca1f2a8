// One item of the show, from its extracted file to the frame the transition shows: the kind of
// an item by its extension, its size mode, and the composition of a picture item's frame
// (background, picture through its mask, logo, caption).
#pragma once

#include "core/Bitmap32.h"
#include "core/Color.h"
#include "core/Rect.h"
#include "imaging/Decode.h"
#include "imaging/GifAnimation.h"
#include "imaging/Overlays.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

struct ItemRecord;

enum class TItemKind { Picture, Flash, Video };

// By the extension (with its dot, any letter case): ".SWF" and ".FLA" are Flash movies;
// ".ASF", ".WMV", ".AVI", ".MPEG" and ".MPG" videos, and so are ".MP4", ".M4V", ".MOV", ".MKV"
// and ".WEBM"; anything else a picture.
TItemKind ItemKindOf(std::string_view extension);
bool IsGifExtension(std::string_view extension);
// How messages name an item: its index and its extension, "item 3 (.jpg)"; never the
// temporary file it was extracted to, which means nothing to the show's author.
std::string ItemLabel(int index, std::string_view extension);
// Why an item's entry left no file behind when it was extracted.
inline constexpr const char* kEntryNotExtracted =
    "its entry in the package is damaged or too large to extract";
// The most an item's entry may extract to: a picture is read whole by its decoder, so it gets
// the picture ceiling; a movie streams from its file and gets the general one.
int64_t ItemEntryCeiling(std::string_view extension);

// The item's own size mode, or the global Stretch setting when the item has none (-1).
int ItemSizeMode(const ItemRecord& item, int globalStretch);

struct TPictureItemInput {
    const ItemRecord* item = nullptr;
    std::string picturePath; // the item's extracted file
    // Paints the show's background at the frame's top-left corner; none leaves it transparent
    // black.
    std::function<void(TBitmap32&)> paintBackground;
    int frameWidth = 0; // the window's client size
    int frameHeight = 0;
    int sizeMode = 0;
    TColor backColor = 0; // what a GIF's transparent pixels take (with alpha 0)
    const TLogo* logo = nullptr;
    // Fills a bitmap with the item's mask (LoadMask for the item's MaskIndex), decoded no larger
    // than the plan asks; called only when the item has a mask.
    std::function<void(TBitmap32&, const TDecodePlan&)> loadMask;
};

struct TPictureItem {
    TBitmap32 frame; // background, picture, logo, caption
    // The decoded picture after its flags: the part the frame shows, at no more than the
    // resolution it is drawn at (see PictureDecodeRequest).
    TBitmap32 picture;
    std::optional<TBitmap32> mask; // the item's mask, when it has one
    TRect itemRect;                // where the picture lies in the frame
    TSize naturalSize;             // the picture's true size
    bool isGif = false;            // played through the GIF animator: a GIF, or an animated WebP
    // Animated GIF items with transparency: background, logo and caption without the picture,
    // under the item's rectangle (later frames of the GIF change nothing else).
    std::optional<TFramePart> gifBackground;
    // Animated GIF and WebP items: all frames, for the animation.
    std::unique_ptr<TGifAnimator> gif;
};

// What of a picture of the given size is decoded once placement has put it at itemRect in a
// frame of frameSize: drawn at its own size, only the part inside the frame (before the
// mirror and flip of flags turn it), else the whole picture at no less than the size it is
// drawn at; never more than twice the frame in each direction. A GIF is always wanted whole,
// and no larger than it is drawn nor than the frame.
TDecodeRequest PictureDecodeRequest(const TRect& itemRect, TSize natural, TSize frameSize,
                                    int flags, bool wholePicture);

// Composes a picture item's frame. A GIF or animated WebP item's file is read whole once into
// its frames: its picture is the animator's frame 0, and the animator comes along for the
// later frames. Throws
// ImageError when the picture cannot be decoded (and std::bad_alloc when memory runs out); the
// caller then leaves the screen as it is.
TPictureItem ComposePictureItem(const TPictureItemInput& input);

} // namespace pictorelle

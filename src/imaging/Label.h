// Text on frames: an item's caption, or any label placed by a placement code, with an optional
// box behind it and a one-pixel black shadow.
//
// Text is drawn with QtGui, which needs a QGuiApplication (the offscreen platform will do);
// without one these functions draw nothing.
#pragma once

#include "core/Bitmap32.h"
#include "core/Color.h"

#include <string>
#include <string_view>

namespace pictorelle {

struct ItemRecord;

// Bits of a label's font style.
inline constexpr int kStyleUnderline = 1;
inline constexpr int kStyleBold = 2;
inline constexpr int kStyleItalic = 4;
inline constexpr int kStyleStrikeOut = 8;

struct TLabelStyle {
    TColor textColor = 0;
    TColor backColor = 0;
    std::string fontName; // UTF-8; empty means "Verdana" (or what the font system offers for it)
    int fontSize = 8;     // points at 96 dots per inch
    int style = 0;        // kStyle... bits
    int code = 0;         // placement code
    int marginX = 0;
    int marginY = 0;
    bool transparent = false; // no box behind the text
    bool smooth = false;      // anti-aliased
    bool shadow = false;
};

// Draws text (UTF-8; lines separated by CR LF, CR or LF, never wrapped) onto bitmap.
void DrawLabel(TBitmap32& bitmap, std::string_view text, const TLabelStyle& style);

// The item's caption, when it has one. The record's texts are UTF-8, as the reader gives them.
void DrawCaption(const ItemRecord& item, TBitmap32& frame);
// The same onto a part of a frame of frameSize: placed in the frame, drawn where it falls on
// the part, pixel for pixel as on the whole frame.
void DrawCaption(const ItemRecord& item, TFramePart& part, TSize frameSize);

} // namespace pictorelle

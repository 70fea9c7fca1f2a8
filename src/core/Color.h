// Colour values as stored in packages and settings, and their conversion to pixels.
//
// A colour value is 0x00BBGGRR. A negative value (high bit set) is a system-colour code whose
// low byte is the index of a named interface colour; those resolve from a fixed light-theme
// table, since this platform has no system palette to ask. A pixel is 0xAARRGGBB, the layout
// of TBitmap32.
#pragma once

#include <cstdint>

namespace pictorelle {

using TColor = int32_t;

// Stands for "no colour" (e.g. no background colour chosen).
inline constexpr TColor kNoColor = 0x1FFFFFFF;

// High bit of a system-colour code; the low byte holds the index.
inline constexpr uint32_t kSystemColorFlag = 0x80000000u;

// Indices of the system colours the table knows.
enum class TSystemColor : int {
    ScrollBar = 0,
    Background = 1,
    ActiveCaption = 2,
    InactiveCaption = 3,
    Menu = 4,
    Window = 5,
    WindowFrame = 6,
    MenuText = 7,
    WindowText = 8,
    CaptionText = 9,
    ActiveBorder = 10,
    InactiveBorder = 11,
    AppWorkspace = 12,
    Highlight = 13,
    HighlightText = 14,
    BtnFace = 15,
    BtnShadow = 16,
    GrayText = 17,
    BtnText = 18,
    InactiveCaptionText = 19,
    BtnHighlight = 20,
    DkShadow3D = 21,
    Light3D = 22,
    InfoText = 23,
    InfoBk = 24,
    HotLight = 26,
    GradientActiveCaption = 27,
    GradientInactiveCaption = 28,
    MenuHighlight = 29,
    MenuBar = 30,
};

constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(kSystemColorFlag | static_cast<uint32_t>(index & 0xFF));
}
constexpr TColor SystemColor(TSystemColor c) {
    return SystemColor(static_cast<int>(c));
}

constexpr bool IsNoColor(TColor c) {
    return c == kNoColor;
}
constexpr bool IsSystemColor(TColor c) {
    return c < 0;
}

// Resolves a system-colour code to its plain 0x00BBGGRR value (unknown indices give black);
// a plain value comes back with its top byte cleared.
TColor ResolveColor(TColor c);

// 0xAARRGGBB pixel, alpha 255, for a colour value. Callers test IsNoColor first: the "no
// colour" value itself converts to white like any other value with all colour bits set.
uint32_t ColorToPixel(TColor c);

// Plain 0x00BBGGRR value of a pixel; alpha is dropped.
constexpr TColor PixelToColor(uint32_t pixel) {
    return static_cast<TColor>(((pixel >> 16) & 0xFFu) | (pixel & 0xFF00u) |
                               ((pixel & 0xFFu) << 16));
}

constexpr uint32_t MakePixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
    return ((a & 0xFFu) << 24) | ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}

constexpr uint32_t PixelAlpha(uint32_t p) {
    return p >> 24;
}
constexpr uint32_t PixelRed(uint32_t p) {
    return (p >> 16) & 0xFFu;
}
constexpr uint32_t PixelGreen(uint32_t p) {
    return (p >> 8) & 0xFFu;
}
constexpr uint32_t PixelBlue(uint32_t p) {
    return p & 0xFFu;
}

} // namespace pictorelle

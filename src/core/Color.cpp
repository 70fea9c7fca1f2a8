#include "core/Color.h"

#include <array>

namespace pictorelle {

namespace {

constexpr TColor rgb(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}

// A neutral light theme; index 25 has no meaning and stays black.
constexpr std::array<TColor, 31> kSystemColors = {
    rgb(200, 200, 200), // scroll bar
    rgb(0, 0, 0),       // desktop background
    rgb(153, 180, 209), // active caption
    rgb(191, 205, 219), // inactive caption
    rgb(240, 240, 240), // menu
    rgb(255, 255, 255), // window
    rgb(100, 100, 100), // window frame
    rgb(0, 0, 0),       // menu text
    rgb(0, 0, 0),       // window text
    rgb(0, 0, 0),       // caption text
    rgb(180, 180, 180), // active border
    rgb(244, 247, 252), // inactive border
    rgb(171, 171, 171), // application workspace
    rgb(0, 120, 215),   // highlight
    rgb(255, 255, 255), // highlight text
    rgb(240, 240, 240), // button face
    rgb(160, 160, 160), // button shadow
    rgb(109, 109, 109), // grey text
    rgb(0, 0, 0),       // button text
    rgb(0, 0, 0),       // inactive caption text
    rgb(255, 255, 255), // button highlight
    rgb(105, 105, 105), // 3D dark shadow
    rgb(227, 227, 227), // 3D light
    rgb(0, 0, 0),       // tooltip text
    rgb(255, 255, 225), // tooltip background
    rgb(0, 0, 0),       // unused
    rgb(0, 102, 204),   // hot-tracked item
    rgb(185, 209, 234), // active caption gradient
    rgb(215, 228, 242), // inactive caption gradient
    rgb(0, 120, 215),   // menu highlight
    rgb(240, 240, 240), // menu bar
};

} // namespace

TColor ResolveColor(TColor c) {
    if (!IsSystemColor(c)) return static_cast<TColor>(static_cast<uint32_t>(c) & 0x00FFFFFFu);
    const auto index = static_cast<uint32_t>(c) & 0xFFu;
    return index < kSystemColors.size() ? kSystemColors[index] : 0;
}

uint32_t ColorToPixel(TColor c) {
    // Swapping red and blue is its own inverse, so the pixel-to-colour swap serves both ways.
    const auto bgr = static_cast<uint32_t>(ResolveColor(c));
    return static_cast<uint32_t>(PixelToColor(bgr)) | 0xFF000000u;
}

} // namespace pictorelle

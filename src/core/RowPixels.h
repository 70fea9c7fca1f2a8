// One pixel of each row kernel, in plain code: the reference every vector path matches, and
// what finishes a row's leftover pixels.
#pragma once

#include <cstdint>

namespace pictorelle::rows::pixel {

// Two channels packed 16 bits apart: 0x00RR00BB or 0x00AA00GG.
constexpr uint32_t kLanes = 0x00FF00FFu;

// Rounded x / 255, exact for 0 <= x <= 255 * 255; in both 16-bit lanes at once.
inline uint32_t Div255Lanes(uint32_t x) {
    const uint32_t t = x + 0x00800080u;
    return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
}

inline uint32_t Div255(uint32_t x) {
    const uint32_t t = x + 128;
    return (t + (t >> 8)) >> 8;
}

inline uint32_t Blend(uint32_t s, uint32_t d, uint32_t masterAlpha) {
    const uint32_t a = Div255((s >> 24) * masterAlpha);
    const uint32_t ia = 255 - a;
    // Taking the source's alpha lane as 255 turns the same mix into a + dstAlpha * (255 - a)
    // / 255 for alpha.
    const uint32_t rb = Div255Lanes((s & kLanes) * a + (d & kLanes) * ia);
    const uint32_t ga =
        Div255Lanes((((s >> 8) & 0xFFu) | 0x00FF0000u) * a + ((d >> 8) & kLanes) * ia);
    return rb | (ga << 8);
}

inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t iw = 256 - w;
    const uint32_t rb = ((a & kLanes) * iw + (b & kLanes) * w + 0x00800080u) >> 8;
    const uint32_t ga = ((a >> 8) & kLanes) * iw + ((b >> 8) & kLanes) * w + 0x00800080u;
    return (rb & kLanes) | (ga & ~kLanes);
}

} // namespace pictorelle::rows::pixel

// Small geometric value types: points, sizes and rectangles.
//
// A rectangle keeps left, top, right and bottom with right and bottom exclusive, so its
// width is right - left and an empty rectangle is one whose right <= left or bottom <= top.
#pragma once

#include <algorithm>

namespace pictorelle {

struct TPoint {
    int x = 0;
    int y = 0;

    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int width = 0;
    int height = 0;

    constexpr bool isEmpty() const { return width <= 0 || height <= 0; }
    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr TRect fromXYWH(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr TSize size() const { return {width(), height()}; }
    constexpr TPoint topLeft() const { return {left, top}; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }

    constexpr bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }

    // The common part of both rectangles; (0, 0, 0, 0) when they do not overlap, so an
    // empty result never carries inverted edges into later arithmetic.
    constexpr TRect intersected(const TRect& o) const {
        const TRect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                      std::min(bottom, o.bottom)};
        return r.isEmpty() ? TRect{} : r;
    }

    constexpr TRect translated(int dx, int dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }

    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

} // namespace pictorelle

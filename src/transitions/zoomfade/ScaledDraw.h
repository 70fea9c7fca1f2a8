// TScaledDraw: the zooms' scaled draw. It gives exactly the pixels of TBitmap32::DrawScaled
// with the bilinear resampler in opaque mode, but is planned once per draw and then drawn in
// bands of destination rows, so several threads can share one draw, and it leaves out work the
// mapping makes needless:
//   - where every destination column lands on one source column in order (a piece as wide as
//     its source), rows are read from the picture itself instead of being resampled first;
//   - a destination row that falls on one source row is resampled straight into place, not
//     into a buffer and copied.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

#include <cstdint>
#include <vector>

namespace pictorelle {

class TScaledDraw {
public:
    // Sizes the tables for destinations up to width x height, so that planning and drawing
    // allocate nothing afterwards.
    void Reserve(int width, int height);

    // Plans drawing `srcRect` of `src` scaled into `dstRect` of `dst`, clipped to both bitmaps
    // as DrawScaled clips. `src` must not be `dst`, and both must stay as they are until the
    // plan has been drawn.
    void Plan(TBitmap32& dst, const TRect& dstRect, const TBitmap32& src, const TRect& srcRect);

    // The destination rows the plan writes: [FirstRow(), EndRow()), empty when it draws nothing.
    int FirstRow() const { return rows_.first; }
    int EndRow() const { return rows_.first + rows_.count; }
    // Pixels the plan writes.
    std::size_t Pixels() const {
        return static_cast<std::size_t>(rows_.count) * static_cast<std::size_t>(columns_.count);
    }

    // Draws the planned rows that lie in [top, bottom). `line` has room for two rows of the
    // destination's width and belongs to the calling thread; plans may be drawn from several threads
    // at once when their row ranges do not overlap.
    void DrawRows(int top, int bottom, uint32_t* line) const;

private:
    // One axis: the destination coordinates written and the source coordinates each one reads
    // (for a pair, the left or upper pixel and the weight of the other in 1/256).
    struct Axis {
        int first = 0;
        int count = 0;
        std::vector<int32_t> x;
        std::vector<uint32_t> w;
        bool anyWeight = false;
    };
    enum class Columns { Copy, Gather, Pairs };

    static void MapAxis(int64_t dstStart, int64_t dstLen, int64_t clipHi, int64_t srcStart,
                        int64_t srcLen, int64_t validLo, int64_t validHi, Axis& m);
    void ClassifyColumns();
    // Source row y resampled across: the picture's own row when no resampling is needed,
    // otherwise written to `out`.
    const uint32_t* Across(int y, uint32_t* out) const;

    Axis columns_, rows_;
    Columns mode_ = Columns::Copy;
    TBitmap32* dst_ = nullptr;       // borrowed for one draw
    const TBitmap32* src_ = nullptr; // borrowed for one draw
};

} // namespace pictorelle

// The frame loop of the region-clipped families. Scratch starts as the old picture; each frame
// copies the new picture into Scratch inside that frame's region and paints the whole of
// Scratch. What was uncovered stays uncovered because Scratch keeps it, so a frame's region
// needs to hold only what is new.
#pragma once

#include "core/IntMath.h"
#include "core/Region.h"
#include "transitions/TransThread.h"

#include <algorithm>
#include <cstdint>

namespace pictorelle {

// Region buffers that live for the whole transition, so frames reuse their memory.
struct TRegionWork {
    TRegion region;
    TRegion shape;
    TRegion spare;
    TRegionUnion shapes;
};

// The step count the members divide by; callers always pass at least 4, but a count below 1
// must not divide by zero.
inline int64_t RegionSteps(const TTransThread& t) {
    return std::max(t.StepCount(), 1);
}

// build(i, work) fills work.region for frame i and returns whether the frame has a region; it
// may change i (the next frame's counter is i + 1). more(i) is asked before every frame.
template <class Build, class More>
void RunRegionFrames(TTransThread& t, Build&& build, More&& more) {
    t.Scratch.Draw(0, 0, t.OldPicture);
    TRegionWork work;
    int i = 0;
    t.RunFrames([&] {
        if (!more(i)) return false;
        if (build(i, work)) DrawClipped(t.Scratch, t.NewPicture, work.region);
        ++i;
        t.PaintFromScratch(t.Scratch.BoundsRect());
        return true;
    });
}

} // namespace pictorelle

// Plays one transition to its end without a window: on a bitmap target, with frame delay 0 and
// every paint made on the worker itself. The render tool, the benchmarks and the tests play
// effects through it; an observer sees each frame (and, if it wants, each paint) as it happens.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"
#include "transitions/TransThread.h"

#include <functional>
#include <vector>

namespace pictorelle {

struct TOffscreenObserver {
    // After each frame's paints, on the worker: the frame's number from 1, what the target
    // shows, and the transition's flags, which may be set here to stop or skip it.
    std::function<void(int frame, const TBitmap32& shown, TTransitionState& state)> frame;
    // Before each paint reaches the target, on the worker; the state's CurrentTransition tells
    // which of its pictures `source` is.
    std::function<void(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect,
                       const TTransitionState& state)>
        paint;
};

struct TOffscreenRun {
    TBitmap32 result; // the target at the end, final paint included
    int frames = 0;
    // Milliseconds from each frame's end to the next one's: the compose-and-paint time of every
    // frame but the first, which also pays for starting the worker.
    std::vector<double> frameMs;
};

// Plays `effect` (as StartTransition takes it: 0 paints at once, numbers outside 1..120 draw a
// random effect) in `steps` steps, from `from`, drawn at the top left of a target the size of
// `to`, to `to`.
TOffscreenRun RunOffscreen(int effect, int steps, const TBitmap32& from, const TBitmap32& to,
                           const TOffscreenObserver& observer = {});

// The two opaque pictures the timing tools play transitions between: a horizontal colour ramp,
// or a vertical one, which differ almost everywhere.
TBitmap32 TimingPicture(int width, int height, bool vertical);

} // namespace pictorelle

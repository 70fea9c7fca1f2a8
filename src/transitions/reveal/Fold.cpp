#include "transitions/reveal/Fold.h"

#include "core/IntMath.h"
#include "transitions/TransThread.h"

#include <algorithm>

namespace pictorelle {
namespace {

bool Within(double v, int limit) {
    return v >= 0 && v <= limit;
}

} // namespace

TFoldWindow FoldWindow(double x, double y, double width, double height, int pictureWidth,
                       int pictureHeight) {
    if (!(Within(x, pictureWidth) || Within(x + width, pictureWidth)) ||
        !(Within(y, pictureHeight) || Within(y + height, pictureHeight)))
        return {};
    const TRect rounded{RoundInt(std::min(x, x + width)), RoundInt(std::min(y, y + height)),
                        RoundInt(std::max(x, x + width)), RoundInt(std::max(y, y + height))};
    return {{std::max(rounded.left, 0), std::max(rounded.top, 0),
             std::min(rounded.right, pictureWidth), std::min(rounded.bottom, pictureHeight)},
            true};
}

bool TFold::Step() {
    if (stepsLeft_ <= 0) return false;
    --stepsLeft_;
    window_ = FoldWindow(x_, y_, width_, height_, pictureWidth_, pictureHeight_);
    x_ += dx_;
    y_ += dy_;
    return stepsLeft_ > 0;
}

bool StepFolds(TTransThread& thread, std::span<TFold> folds) {
    bool more = false;
    for (TFold& fold : folds) {
        // A finished window would only repaint its last rectangle; an empty rectangle paints
        // nothing. Skipping both saves calls onto the paint thread.
        if (fold.StepsLeft() <= 0) continue;
        more = fold.Step() || more;
        const TRect& r = fold.Window().rect;
        if (r.isEmpty()) continue;
        thread.PaintFromNew(r);
    }
    return more;
}

bool AnyStepsLeft(std::span<const TFold> folds) {
    return std::any_of(folds.begin(), folds.end(),
                       [](const TFold& f) { return f.StepsLeft() > 0; });
}

} // namespace pictorelle

#include "transitions/slide/Slide.h"

#include "core/IntMath.h"

#include <algorithm>
#include <cstdint>

namespace pictorelle {
namespace {

// One axis of a shifted band [first, last): where the content shows and where it comes from.
// In 64 bits, so that an offset far outside cannot overflow before it is found to show
// nothing; whatever shows lies inside the band.
struct Span {
    int64_t destFirst, destLast, sourceFirst, sourceLast;
};

Span Shift(double offset, int64_t first, int64_t last) {
    if (offset >= 0) {
        const int64_t destFirst = RoundInt(offset + static_cast<double>(first));
        return {destFirst, last, first, last + first - destFirst};
    }
    const int64_t destLast = RoundInt(offset + static_cast<double>(last));
    return {first, destLast, last + first - destLast, last};
}

int Narrow(int64_t v) {
    return static_cast<int>(v);
}

} // namespace

bool TSlide::Step() {
    if (stepsLeft_ <= 0) return false;
    --stepsLeft_;
    x_ += dx_;
    y_ += dy_;
    const Span across = Shift(x_, band_.left, band_.right);
    const Span down = Shift(y_, band_.top, band_.bottom);
    if (across.destLast >= across.destFirst && down.destLast >= down.destFirst) {
        dest_ = {Narrow(across.destFirst), Narrow(down.destFirst), Narrow(across.destLast),
                 Narrow(down.destLast)};
        source_ = {Narrow(std::min(across.sourceFirst, across.sourceLast)),
                   Narrow(std::min(down.sourceFirst, down.sourceLast)),
                   Narrow(std::max(across.sourceFirst, across.sourceLast)),
                   Narrow(std::max(down.sourceFirst, down.sourceLast))};
    } else {
        dest_ = source_ = TRect{};
    }
    return stepsLeft_ > 0;
}

} // namespace pictorelle

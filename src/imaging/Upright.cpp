#include "imaging/Upright.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace pictorelle {

namespace {

// How the stored picture's axes follow from the upright one's: with swap, stored x runs along
// upright y; each stored axis may also run backwards.
struct Turn {
    bool swap;
    bool flipX;
    bool flipY;
};

Turn turnOf(int orientation) {
    static constexpr Turn kTurns[9] = {
        {false, false, false}, // not a valid tag: upright
        {false, false, false}, // 1: upright
        {false, true, false},  // 2: mirrored
        {false, true, true},   // 3: upside down
        {false, false, true},  // 4: mirrored upside down
        {true, false, false},  // 5: transposed
        {true, false, true},   // 6: to be turned a quarter clockwise
        {true, true, true},    // 7: transversed
        {true, true, false},   // 8: to be turned a quarter anticlockwise
    };
    return kTurns[orientation >= 1 && orientation <= 8 ? orientation : 0];
}

// [from, to) counted from the other end of a length.
std::pair<int, int> flipped(int from, int to, int length) {
    return {length - to, length - from};
}

} // namespace

TSize UprightSize(TSize stored, int orientation) {
    return turnOf(orientation).swap ? TSize{stored.height, stored.width} : stored;
}

TRect StoredRect(const TRect& upright, TSize stored, int orientation) {
    const Turn t = turnOf(orientation);
    auto [x0, x1] =
        t.swap ? std::pair{upright.top, upright.bottom} : std::pair{upright.left, upright.right};
    auto [y0, y1] =
        t.swap ? std::pair{upright.left, upright.right} : std::pair{upright.top, upright.bottom};
    if (t.flipX) std::tie(x0, x1) = flipped(x0, x1, stored.width);
    if (t.flipY) std::tie(y0, y1) = flipped(y0, y1, stored.height);
    return {x0, y0, x1, y1};
}

TRect UprightRect(const TRect& stored, TSize storedSize, int orientation) {
    const Turn t = turnOf(orientation);
    auto [a0, a1] = std::pair{stored.left, stored.right};
    auto [b0, b1] = std::pair{stored.top, stored.bottom};
    if (t.flipX) std::tie(a0, a1) = flipped(a0, a1, storedSize.width);
    if (t.flipY) std::tie(b0, b1) = flipped(b0, b1, storedSize.height);
    return t.swap ? TRect{b0, a0, b1, a1} : TRect{a0, b0, a1, b1};
}

TBitmap32 TurnUpright(const TBitmap32& stored, int orientation) {
    const Turn t = turnOf(orientation);
    const int w = stored.Width(), h = stored.Height();
    if (!t.swap && !t.flipX && !t.flipY) return stored;
    TBitmap32 out(t.swap ? h : w, t.swap ? w : h);
    // Walk the stored rows in order and scatter: each stored row is one upright row or column.
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = stored.ScanLine(y);
        const int b = t.flipY ? h - 1 - y : y;
        if (!t.swap) {
            uint32_t* target = out.ScanLine(b);
            if (t.flipX)
                for (int x = 0; x < w; ++x)
                    target[w - 1 - x] = row[x];
            else
                std::copy_n(row, w, target);
            continue;
        }
        // Transposed: stored row y is upright column b.
        for (int x = 0; x < w; ++x)
            out.ScanLine(t.flipX ? w - 1 - x : x)[b] = row[x];
    }
    return out;
}

TDecodePlan StoredPlan(TDecodePlan uprightPlan, int orientation) {
    if (!uprightPlan || orientation <= 1 || orientation > 8) return uprightPlan;
    return [plan = std::move(uprightPlan), orientation](TSize stored) {
        const TSize upright = UprightSize(stored, orientation);
        TDecodeRequest r = ResolveRequest(plan, upright);
        r.source = StoredRect(r.source, stored, orientation);
        if (OrientationTransposes(orientation)) {
            std::swap(r.wanted.width, r.wanted.height);
            std::swap(r.limit.width, r.limit.height);
        }
        return r;
    };
}

void TurnDecodedUpright(TDecodedPicture& picture, int orientation) {
    if (orientation <= 1 || orientation > 8) return;
    picture.source = UprightRect(picture.source, picture.natural, orientation);
    picture.natural = UprightSize(picture.natural, orientation);
    picture.bitmap = TurnUpright(picture.bitmap, orientation);
}

} // namespace pictorelle

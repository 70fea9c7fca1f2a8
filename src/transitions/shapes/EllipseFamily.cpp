// Ellipses: a rounded shape grows out of the centre or an edge (or the picture closes in on a
// shrinking one) until its rounded edge straightens out over the whole picture.
#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/shapes/RegionFrames.h"

namespace pictorelle {
namespace {

// One frame's shape: a rectangle with elliptic corners.
struct RoundShape {
    TRect bounds;
    int64_t cornerWidth;
    int64_t cornerHeight;
};

struct Ellipses {
    int64_t w, h, s;
    int64_t w2, h2;
    int64_t stepX, stepY; // ceil(w / s), ceil(h / s)

    // The corner size of the second phase of the edge members: the rounded edge straightens
    // from 0.9 s on, reaching a square corner as i passes 1.4 s.
    int64_t Straightening(int64_t extent, int64_t i) const {
        return std::max<int64_t>(0, extent - CeilDiv(2 * extent * (10 * i - 9 * s), 10 * s));
    }

    RoundShape Centred(int64_t k) const {
        return {Rect(w2 - k * stepX, h2 - k * stepY, w2 + k * stepX, h2 + k * stepY), w, h};
    }

    // The edge members (3 to 6) for frame i > 0. Only the part inside the picture matters; the
    // copy clips the rest away.
    RoundShape FromEdge(int local, int64_t i) const {
        const int64_t cw = Straightening(w, i), ch = Straightening(h, i);
        const int64_t reachX = i * stepX, reachY = i * stepY;
        switch (local) {
        case 3:
            if (reachX <= w) return {Rect(-reachX, 0, std::min(w, reachX), h + 1), w, h};
            return {Rect(-w, 0, w, h + 1), cw, ch};
        case 4:
            if (reachX <= w) return {Rect(w - std::min(w, reachX), 0, w + reachX, h + 1), w, h};
            return {Rect(0, 0, 2 * w, h + 1), cw, ch};
        case 5: {
            const int64_t tall = h + 1, q = CeilDiv(tall, s);
            if (i * q <= tall) return {Rect(0, -i * q, w + 1, std::min(tall, i * q)), w, tall};
            return {Rect(0, -h - 1, w + 1, tall), cw, Straightening(tall, i)};
        }
        default:
            // The bottom member switches phase by the width, as its siblings do.
            if (reachX <= w) return {Rect(0, h - std::min(h, reachY), w + 1, h + reachY), w, h};
            return {Rect(0, 0, w + 1, 2 * h), cw, ch};
        }
    }

    static TRect Rect(int64_t l, int64_t t, int64_t r, int64_t b) {
        return {ClampRegionCoord(l), ClampRegionCoord(t), ClampRegionCoord(r), ClampRegionCoord(b)};
    }
};

void SetShape(TRegion& region, const RoundShape& shape) {
    // Corner sizes are never negative, so only the upper limit can apply.
    region.SetRoundRect(shape.bounds, ClampRegionCoord(shape.cornerWidth),
                        ClampRegionCoord(shape.cornerHeight));
}

// Members 1 and 2 grow out of and close in on the centre; 3 to 6 come from the four edges.
static_assert(FamilyMemberCount(EffectFamily::Ellipse) == 6);

} // namespace

void RunEllipseFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0) return;
    const int64_t w = t.PictureWidth, h = t.PictureHeight, s = RegionSteps(t);
    const Ellipses e{w, h, s, w / 2, h / 2, CeilDiv(w, s), CeilDiv(h, s)};
    // The end tests compare with s / 1.5 and 1.5 s, here in integers.
    bool done = false;
    auto build = [&](int& frame, TRegionWork& work) {
        const int64_t i = frame;
        switch (local) {
        case 1:
            done = 3 * i > 2 * s;
            if (i == 0) return false;
            SetShape(work.region, e.Centred(i));
            return true;
        case 2: {
            // The picture outside a shrinking shape.
            const int64_t j = Round(static_cast<double>(2 * s) / 3.0 - static_cast<double>(i));
            done = 3 * Round(static_cast<double>(2 * s) / 3.0 - static_cast<double>(j)) > 2 * s;
            SetShape(work.shape, e.Centred(j));
            work.spare.SetRect({0, 0, t.PictureWidth, t.PictureHeight});
            work.region.SetCombined(work.spare, work.shape, TRegionOp::Xor);
            return true;
        }
        default:
            done = 2 * i > 3 * s;
            if (i == 0) return false;
            SetShape(work.region, e.FromEdge(local, i));
            return true;
        }
    };
    RunRegionFrames(t, build, [&](int) { return !done; });
}

} // namespace pictorelle

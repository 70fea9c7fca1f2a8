// Spiral sweeps: a brush an eighth of the picture in size travels a rectangular spiral, from
// the centre outwards or from the edges inwards, painting the new picture under it.
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/shapes/RegionFrames.h"

namespace pictorelle {
namespace {

struct Brush {
    int64_t x, y;
    int64_t vx, vy;
    int64_t left, top, right, bottom;
};

// Member 1 sweeps from the centre outwards, member 2 from the edges inwards.
static_assert(FamilyMemberCount(EffectFamily::Sweep) == 2);

} // namespace

void RunSweepFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0) return;
    const int64_t w = t.PictureWidth, h = t.PictureHeight, s = RegionSteps(t);
    const int64_t bw = CeilDiv(w, int64_t{8}), bh = CeilDiv(h, int64_t{8});
    const bool outwards = local == 1;
    // The height sets the speed in both directions: a quarter of the steps per height.
    const int64_t speed = CeilDiv(4 * h, s);
    Brush b{};
    if (outwards) {
        b = {w / 2 - bw, h / 2 - bh, speed, 0, w / 2 - bw, h / 2 - bh, w / 2, h / 2};
    } else {
        b = {0, 0, speed, 0, -1, -1, w - bw + 1, h - bh + 1};
    }
    // Each turn moves the bound just passed outwards (growing spiral) or inwards (closing).
    const int64_t grow = outwards ? 1 : -1;
    const TRect picture = t.NewPicture.BoundsRect();

    bool done = false;
    int64_t i = 0;
    t.RunFrames([&] {
        if (i > 4 * s || done) return false;
        const TRect brush{ClampRegionCoord(b.x), ClampRegionCoord(b.y), ClampRegionCoord(b.x + bw),
                          ClampRegionCoord(b.y + bh)};
        t.PaintFromNew(brush.intersected(picture));

        // Move the brush on for the next frame.
        ++i;
        b.x += b.vx;
        b.y += b.vy;
        if (b.vx > 0 && b.x >= b.right) {
            b.x = b.right;
            b.vy = b.vx;
            b.vx = 0;
            b.top -= grow * bh;
        } else if (b.vy > 0 && b.y >= b.bottom) {
            b.y = b.bottom;
            b.vx = -b.vy;
            b.vy = 0;
            b.right += grow * bw;
        } else if (b.vx < 0 && b.x <= b.left) {
            b.x = b.left;
            b.vy = b.vx;
            b.vx = 0;
            b.bottom += grow * bh;
        } else if (b.vy < 0 && b.y <= b.top) {
            b.y = b.top;
            b.vx = -b.vy;
            b.vy = 0;
            b.left -= grow * bw;
        }
        done = outwards ? b.x <= 0 && b.y <= 0 : b.right < b.left || b.bottom < b.top;
        return true;
    });
}

} // namespace pictorelle

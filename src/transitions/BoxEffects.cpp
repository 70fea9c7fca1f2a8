// Box Out: a centred box of the new picture grows outwards. Box In: the old picture shrinks
// into the centre over the new one.
#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"

namespace pictorelle {
namespace {

// The step in pixels of the box's half width.
int HalfWidthStep(const TTransThread& t) {
    const int d = t.StepCount() > 0 ? Div(t.PictureWidth, t.StepCount()) : 0;
    return d > 0 ? d : 1;
}

TRect CentredBox(const TTransThread& t, int f) {
    const int w2 = Div(t.PictureWidth, 2);
    const int h2 = Div(t.PictureHeight, 2);
    const int g =
        static_cast<int>(Round(static_cast<double>(f) * t.PictureHeight / t.PictureWidth));
    return {w2 - f, h2 - g, w2 + f, h2 + g};
}

// Each box effect is a family of one.
static_assert(FamilyMemberCount(EffectFamily::BoxOut) == 1);
static_assert(FamilyMemberCount(EffectFamily::BoxIn) == 1);

} // namespace

void RunBoxOut(TTransThread& t, int) {
    if (t.PictureWidth <= 0) return;
    const int d = HalfWidthStep(t);
    int f = d;
    t.RunFrames([&] {
        if (f >= Div(t.PictureWidth, 2) + d) return false;
        t.PaintFromNew(CentredBox(t, f));
        f += d;
        return true;
    });
}

void RunBoxIn(TTransThread& t, int) {
    if (t.PictureWidth <= 0) return;
    const int d = HalfWidthStep(t);
    int f = Div(t.PictureWidth, 2);
    // Outside the last frame's box the target already shows the new picture: only that box
    // (the whole picture the first time) is composed and painted again.
    TRect changed = t.Scratch.BoundsRect();
    t.RunFrames([&] {
        if (f <= 0) return false;
        const TRect box = CentredBox(t, f);
        changed = Bounding(changed, box).intersected(t.Scratch.BoundsRect());
        t.Scratch.Draw(changed.left, changed.top, changed, t.NewPicture);
        t.Scratch.Draw(box.left, box.top, box, t.OldPicture);
        t.PaintFromScratch(changed);
        changed = box;
        f -= d;
        return true;
    });
}

} // namespace pictorelle

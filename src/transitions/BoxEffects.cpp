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
    t.RunFrames([&] {
        if (f <= 0) return false;
        t.Scratch.Draw(0, 0, t.NewPicture);
        const TRect box = CentredBox(t, f);
        t.Scratch.Draw(box.left, box.top, box, t.OldPicture);
        t.PaintFromScratch(t.Scratch.BoundsRect());
        f -= d;
        return true;
    });
}

} // namespace pictorelle

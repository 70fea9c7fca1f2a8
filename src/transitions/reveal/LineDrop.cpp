// The line drops: one window uncovers the new picture as the unfolds do, and each frame also
// stretches the picture's line at the window's moving edge over the part not yet uncovered.
#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"
#include "transitions/reveal/RevealFamily.h"

namespace pictorelle {
namespace {

using namespace formula::names;

// Where the smear goes, from the line at x = round(X) (or y = round(Y)) of the moved window.
enum class Smear { RightOfX, LeftOfX, BelowY, AboveY };

struct LineDropRow {
    TWindowFormula window;
    Smear smear;
};

// clang-format off
constexpr LineDropRow kRows[] = {
    {{0, 0, cw, h, w / s, 0, s}, Smear::RightOfX},
    {{w, 0, -cw, h, -w / s, 0, s}, Smear::LeftOfX},
    {{0, 0, w, ch, 0, h / s, s}, Smear::BelowY},
    {{0, h, w, -ch, 0, -h / s, s}, Smear::AboveY},
};
// clang-format on
static_assert(std::ssize(kRows) == FamilyMemberCount(EffectFamily::LineDrop));

// The smear's destination and its one-pixel source line. Nothing when the line lies outside
// the picture, which a step count far above the picture's size can bring about.
bool SmearRects(Smear smear, const TFold& fold, int w, int h, TRect& dest, TRect& source) {
    const int x = RoundInt(fold.X()), y = RoundInt(fold.Y());
    const bool vertical = smear == Smear::RightOfX || smear == Smear::LeftOfX;
    if (vertical ? x < 0 || x >= w : y < 0 || y >= h) return false;
    switch (smear) {
    case Smear::RightOfX:
        dest = {x, 0, w, h};
        break;
    case Smear::LeftOfX:
        dest = {0, 0, x, h};
        break;
    case Smear::BelowY:
        dest = {0, y, w, h};
        break;
    case Smear::AboveY:
        dest = {0, 0, w, y};
        break;
    }
    source = vertical ? TRect{x, 0, x + 1, h} : TRect{0, y, w, y + 1};
    return true;
}

} // namespace

void RunLineDrop(TTransThread& t, int local) {
    const int w = t.PictureWidth, h = t.PictureHeight;
    if (local < 1 || local > std::ssize(kRows) || w <= 0 || h <= 0) return;
    const LineDropRow& row = kRows[local - 1];
    const formula::TQuantities q(w, h, t.StepCount());
    std::optional<TFold> made = MakeFold(row.window, q, w, h);
    if (!made) return;
    TFold& fold = *made;
    t.RunFrames([&] {
        // The last step is not painted: the final paint shows the whole picture instead.
        if (!fold.Step() || t.Cancelled()) return false;
        const TRect& window = fold.Window().rect;
        if (!window.isEmpty()) t.PaintFromNew(window);
        TRect dest, source;
        if (SmearRects(row.smear, fold, w, h, dest, source) && !dest.isEmpty())
            t.PaintFromNew(source, dest);
        return true;
    });
}

} // namespace pictorelle

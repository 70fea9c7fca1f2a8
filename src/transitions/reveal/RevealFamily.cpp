#include "transitions/reveal/RevealFamily.h"

#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"

namespace pictorelle {
namespace {

using namespace formula::names;

// A row makes `count` windows with index k = 0 .. count - 1. Alternating rows give the first,
// third, ... window (k even) one pattern and the second, fourth, ... the other.
struct RevealRow {
    int local;
    int count;
    TWindowFormula first;
    TWindowFormula second;
};

constexpr RevealRow Row(int local, int count, const TWindowFormula& window) {
    return {local, count, window, window};
}
constexpr RevealRow One(int local, const TWindowFormula& window) {
    return Row(local, 1, window);
}
constexpr RevealRow Alternating(int local, int count, const TWindowFormula& first,
                                const TWindowFormula& second) {
    return {local, count, first, second};
}

// Each window is (x, y, width, height, dx, dy, steps) with w, h the picture's size, s the step
// count, k the index in its row and the other names as PieceFormula.h defines them.
// clang-format off
constexpr RevealRow kRows[] = {
    // 1 Unfold From Left, 2 From Right, 3 From Up, 4 From Bottom
    One(1, {0, 0, cw, h, w / s, 0, s}),
    One(2, {w, 0, -cw, h, -w / s, 0, s + 1}),
    One(3, {0, 0, w, ch, 0, h / s, s}),
    One(4, {0, h, w, -ch, 0, -h / s, s + 1}),
    // 5 to 8: from a corner, a column and a row travelling diagonally together
    One(5, {0, -h, cw, h, w / s, h / s, s}),
    One(5, {-w, 0, w + cw, ch, w / s, h / s, s}),
    One(6, {w, -h, -cw, h, -w / s, h / s, s + 1}),
    One(6, {2 * w, 0, -w - cw, ch, -w / s, h / s, s + 1}),
    One(7, {w, 2 * h, -cw, -h, -w / s, -h / s, s + 1}),
    One(7, {2 * w, h, -w - cw, -ch, -w / s, -h / s, s + 1}),
    One(8, {0, 2 * h, cw, -h, w / s, -h / s, s + 1}),
    One(8, {-w, h, w + cw, -ch, w / s, -h / s, s + 1}),
    // 9 Unfold From Both Sides, 10 From Middle To Sides
    One(9, {0, 0, ceil(w / (2 * s)), h, w / (2 * s), 0, s}),
    One(9, {w, 0, -ceil(w / (2 * s)), h, -w / (2 * s), 0, s + 1}),
    One(10, {w2, 0, ceil(w / s / 2), h, w / s / 2, 0, s}),
    One(10, {w2, 0, -ceil(w / s / 2), h, -w / s / 2, 0, s + 1}),
    // 11 Unfold From All Corners
    One(11, {-w2, -h2, w2, h2, w / 2 / s, h / 2 / s, s + 1}),
    One(11, {w + w2, h + h2, -w2, -h2, -w / 2 / s, -h / 2 / s, s + 1}),
    One(11, {w + w2, -h2, -w2, h2, -w / 2 / s, h / 2 / s, s + 2}),
    One(11, {-w2, h + h2, w2, -h2, w / 2 / s, -h / 2 / s, s + 2}),
    // 12 Unfolding Iris
    One(12, {0, 0, ceil(w / s / 2), ceil(h / 2), w / 2 / s, 0, s + 1}),
    One(12, {w2, 0, ceil(w / 2), ceil(h / s / 2), 0, h / 2 / s, s + 1}),
    One(12, {w, h2, ceil(w / s / 2), ceil(h / 2), -w / 2 / s, 0, s + 1}),
    One(12, {0, h, ceil(w / 2), ceil(h / s / 2), 0, -h / 2 / s, s + 1}),
    // 13 Unfolding Vertical Jaws: ten columns, down and up in turn
    Alternating(13, 10, {round(w * k / 10), 0, ceil(w / 10), ch, 0, h / s, s},
                        {round(w * k / 10), h, ceil(w / 10), -ch, 0, -h / s, s + 1}),
    // 14 Unfolding Falling Columns: column k starts k half-heights higher
    Row(14, 10, {round(w * k / 10), round(-k * h / 2), ceil(w / 10), ch, 0, h / s, k * sDiv2 + s}),
    // 15 Unfolding Horizontal Jaws
    Alternating(15, 10, {0, round(h * k / 10), cw, ceil(h / 10), w / s, 0, s},
                        {w, round(h * k / 10), -cw, ceil(h / 10), -w / s, 0, s + 1}),
    // 16 Unfolding Horizontal Columns
    Row(16, 10, {round(-k * w / 2), round(h * k / 10), cw, ceil(h / 10), w / s, 0, k * sDiv2 + s}),
    // 17 Vertical Two Part Unfold, 18 Horizontal Two Part Unfold
    One(17, {0, 0, w2, ch, 0, h / s, s}),
    One(17, {w2, h, w, -ch, 0, -h / s, s + 1}),
    One(18, {0, 0, cw, h2, w / s, 0, s}),
    One(18, {w, h2, -cw, h, -w / s, 0, s + 1}),
    // 19 Unfolding Columns Horizontally: row k from both ends, staggered by quarter widths
    Row(19, 10, {round(3 * w * k / 4 - w * k), div(h * k, 10), ceil(w / s + 1), ceil(h / 10),
                 w / s, 0, round(3 * s * k / 20 + s)}),
    Row(19, 10, {round(w * k + w - 3 * w * k / 4), div(10 * h - h * k, 10), -ceil(w / s + 1),
                 ceil(h / 10), -w / s, 0, round(3 * s * k / 20 + s)}),
    // 20 Unfolding Columns Vertically
    Row(20, 10, {div(w * k, 10), round(3 * h * k / 4 - h * k), ceil(w / 10), ceil(h / s + 1),
                 0, h / s, round(3 * s * k / 20 + s)}),
    Row(20, 10, {div(10 * w - w * k, 10), round(h * k + h - 3 * h * k / 4), ceil(w / 10), -ch,
                 0, -h / s, round(3 * s * k / 20 + s)}),
    // 21 Vertical Lines From Sides, 22 Horizontal Lines From Up & Bottom: half-period windows
    // from both sides at once
    One(21, {0, 0, ceil(w / nw / 2), h, w / nw, 0, nw}),
    One(21, {w, 0, -ceil(w / nw / 2), h, -w / nw, 0, nw}),
    One(22, {0, 0, w, ceil(h / nh / 2), 0, h / nh, nh}),
    One(22, {0, h, w, -ceil(h / nh / 2), 0, -h / nh, nh}),
    // 23 Vertical Lines From Left & Back, 24 Horizontal Lines From Up & Back: the second window
    // arrives when the first has passed and fills the stripes it left
    One(23, {0, 0, ceil(w / nw / 2), h, w / nw, 0, nw}),
    One(23, {2 * w, 0, -ceil(w / nw / 2 + 1), h, -w / nw, 0, 2 * nw}),
    One(24, {0, 0, w, ceil(h / nh / 2), 0, h / nh, nh}),
    One(24, {0, 2 * h, w, -ceil(h / nh / 2 + 1), 0, -h / nh, 2 * nh}),
    // 25 to 29: 32 rows, odd and even rows in turn
    Alternating(25, 32, {0, k * lineH, cw, lineH, w / s, 0, s},
                        {-w, k * lineH, cw, lineH, w / s, 0, 2 * s}),
    Alternating(26, 32, {w, k * lineH, -cw, lineH, -w / s, 0, s + 1},
                        {2 * w, k * lineH, -cw, lineH, -w / s, 0, 2 * s + 1}),
    Alternating(27, 32, {0, k * lineH, cw, lineH, w / s, 0, s},
                        {2 * w, k * lineH, -cw, lineH, -w / s, 0, 2 * s + 1}),
    Alternating(28, 32, {w, k * lineH, -cw, lineH, -w / s, 0, s + 1},
                        {-w, k * lineH, cw, lineH, w / s, 0, 2 * s}),
    Alternating(29, 32, {0, k * lineH, cw, lineH, w / s, 0, s},
                        {w, k * lineH, -cw, lineH, -w / s, 0, s + 1}),
    // 30 to 34: 32 columns
    Alternating(30, 32, {k * lineW, 0, lineW, ch, 0, h / s, s},
                        {k * lineW, -h, lineW, ch, 0, h / s, 2 * s}),
    Alternating(31, 32, {k * lineW, h, lineW, -ch, 0, -h / s, s + 1},
                        {k * lineW, 2 * h, lineW, -ch, 0, -h / s, 2 * s + 1}),
    Alternating(32, 32, {k * lineW, 0, lineW, ch, 0, h / s, s},
                        {k * lineW, 2 * h, lineW, -ch, 0, -h / s, 2 * s + 1}),
    Alternating(33, 32, {k * lineW, h, lineW, -ch, 0, -h / s, s + 1},
                        {k * lineW, -h, lineW, ch, 0, h / s, 2 * s}),
    Alternating(34, 32, {k * lineW, 0, lineW, ch, 0, h / s, s},
                        {k * lineW, h, lineW, -ch, 0, -h / s, s + 1}),
    // 35 to 38 Cross Lines: a vertical and a horizontal pass, then the two passes back
    One(35, {0, 0, ceil(w / nh / 2), h, w / nh, 0, nh}),
    One(35, {0, h - 1, w, -ceil(h / nh / 2), 0, -h / nh, nh}),
    One(35, {0, -h - 1, w, ceil(h / nh / 2 + 1), 0, h / nh, 2 * nh}),
    One(35, {2 * w, 0, -ceil(w / nh / 2 + 1), h, -w / nh, 0, 2 * nh}),
    One(36, {0, 0, ceil(w / nh / 2), h, w / nh, 0, nh}),
    One(36, {0, 0, w, ceil(h / nh / 2), 0, h / nh, nh}),
    One(36, {0, 2 * h, w, -ceil(h / nh / 2 + 1), 0, -h / nh, 2 * nh}),
    One(36, {2 * w, 0, -ceil(w / nh / 2 + 1), h, -w / nh, 0, 2 * nh}),
    One(37, {w - 1, 0, -ceil(w / nh / 2), h, -w / nh, 0, nh}),
    One(37, {0, h - 1, w, -ceil(h / nh / 2), 0, -h / nh, nh}),
    One(37, {0, -h - 1, w, ceil(h / nh / 2 + 1), 0, h / nh, 2 * nh}),
    One(37, {-w - 1, 0, ceil(w / nh / 2 + 1), h, w / nh, 0, 2 * nh}),
    One(38, {w - 1, 0, -ceil(w / nh / 2), h, -w / nh, 0, nh}),
    One(38, {0, 0, w, ceil(h / nh / 2), 0, h / nh, nh}),
    One(38, {0, 2 * h, w, -ceil(h / nh / 2 + 1), 0, -h / nh, 2 * nh}),
    One(38, {-w - 1, 0, ceil(w / nh / 2 + 1), h, w / nh, 0, 2 * nh}),
    // 39 Sweep From Left, 40 Sweep From Up: ten columns (rows) one after another, down and up
    // (right and left) in turn, each waiting its predecessors' steps outside the picture
    Alternating(39, 10, {round(w * k / 10), -k * h, ceil(w / 10), ceil(h / ns), 0, h / ns,
                         k * ns + ns},
                        {round(w * k / 10), k * h + h, ceil(w / 10), -ceil(h / ns), 0, -h / ns,
                         k * ns + ns + 1}),
    Alternating(40, 10, {-k * w, round(h * k / 10), ceil(w / ns), ceil(h / 10), w / ns, 0,
                         k * ns + ns},
                        {k * w + w, round(h * k / 10), -ceil(w / ns), ceil(h / 10), -w / ns, 0,
                         k * ns + ns + 1}),
    // 41 Download From Left, 42 Download From Up: four passes, a quarter period each
    Row(41, 4, {k * qw - k * w, 0, qw, h, w / m, 0, k * m + m}),
    Row(42, 4, {0, k * qh - k * h, w, qh, 0, h / m, k * m + m}),
};
// clang-format on

constexpr int kMembers = MembersOfRows(kRows);
static_assert(kMembers == FamilyMemberCount(EffectFamily::Reveal),
              "rows for every reveal effect of the catalogue and for no other");

constexpr bool FitsTheFoldArray() {
    for (int local = 1; local <= kMembers; ++local) {
        int windows = 0;
        for (const RevealRow& row : kRows)
            if (row.local == local) windows += row.count;
        if (windows == 0 || windows > kMaxFolds) return false;
    }
    return true;
}
static_assert(FitsTheFoldArray(), "every member has between 1 and 64 windows");

void RunFoldFrames(TTransThread& t, std::span<TFold> folds) {
    // The frame that runs the last steps keeps its delay too, so N frames last at least N
    // delays and every frame is seen before the final paint.
    t.RunFrames([&] {
        if (!AnyStepsLeft(folds)) return false;
        StepFolds(t, folds);
        return true;
    });
}

} // namespace

std::optional<TFold> MakeFold(const TWindowFormula& f, const formula::TQuantities& q,
                              int pictureWidth, int pictureHeight) {
    const auto x = f.x.Evaluate(q), y = f.y.Evaluate(q), width = f.width.Evaluate(q),
               height = f.height.Evaluate(q), dx = f.dx.Evaluate(q), dy = f.dy.Evaluate(q),
               steps = f.steps.Evaluate(q);
    if (!x || !y || !width || !height || !dx || !dy || !steps) return std::nullopt;
    return TFold(pictureWidth, pictureHeight, *x, *y, *width, *height, *dx, *dy, RoundInt(*steps));
}

int RevealWindows(int local, int width, int height, int steps, TFoldArray& folds) {
    formula::TQuantities q(width, height, steps);
    int count = 0;
    for (const RevealRow& row : kRows) {
        if (row.local != local) continue;
        for (int k = 0; k < row.count; ++k) {
            q.SetIndex(k);
            if (auto fold = MakeFold(k % 2 ? row.second : row.first, q, width, height))
                folds[static_cast<size_t>(count++)] = *fold;
        }
    }
    return count;
}

void RunRevealFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0) return;
    TFoldArray folds;
    const int count = RevealWindows(local, t.PictureWidth, t.PictureHeight, t.StepCount(), folds);
    RunFoldFrames(t, std::span(folds.data(), static_cast<size_t>(count)));
}

} // namespace pictorelle

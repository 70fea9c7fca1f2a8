// The slide effects: bands of the new picture move in from outside (TSlide) until they stand
// in place; the door that opens moves the old picture's halves out instead and uncovers the
// new picture behind them with two windows (TFold). Members are rows of formulas.
#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"
#include "transitions/reveal/Fold.h"
#include "transitions/reveal/RevealFamily.h"
#include "transitions/slide/Slide.h"

#include <array>
#include <span>

namespace pictorelle {
namespace {

using formula::Formula;
using namespace formula::names;

constexpr int kMaxSlides = 40;
constexpr int kMaxSlideFolds = 2;

// The pieces of a member, in fixed arrays: slides first, then the windows.
struct SlidePieces {
    std::array<TSlide, kMaxSlides> slides;
    std::array<TFold, kMaxSlideFolds> folds;
    int slideCount = 0;
    int foldCount = 0;
};

// A slide (x, y; band [left, right) x [top, bottom); dx, dy; steps) written as formulas.
struct SlideFormula {
    Formula x, y, left, right, top, bottom, dx, dy, steps;
};

// A row makes `count` slides with index k = 0 .. count - 1.
struct SlideRow {
    int local;
    int count;
    TSlidePicture picture;
    SlideFormula slide;
};

constexpr SlideRow Row(int local, int count, const SlideFormula& slide) {
    return {local, count, TSlidePicture::New, slide};
}
constexpr SlideRow One(int local, const SlideFormula& slide) {
    return Row(local, 1, slide);
}
constexpr SlideRow OneOld(int local, const SlideFormula& slide) {
    return {local, 1, TSlidePicture::Old, slide};
}

// w, h: the picture's size; s: the step count; k: the index in the row; other names as
// PieceFormula.h defines them.
// clang-format off
constexpr SlideRow kSlides[] = {
    // 1 to 8: the whole picture from a corner or a side
    One(1, {-w, -h, 0, w, 0, h, w / s, h / s, s}),
    One(2, {w, -h, 0, w, 0, h, -w / s, h / s, s}),
    One(3, {w, h, 0, w, 0, h, -w / s, -h / s, s}),
    One(4, {-w, h, 0, w, 0, h, w / s, -h / s, s}),
    One(5, {-w, 0, 0, w, 0, h, w / s, 0, s}),
    One(6, {w, 0, 0, w, 0, h, -w / s, 0, s}),
    One(7, {0, h, 0, w, 0, h, 0, -h / s, s}),
    One(8, {0, -h, 0, w, 0, h, 0, h / s, s}),
    // 9 Door Close
    One(9, {-w2, 0, 0, w2, 0, h, w / s / 2, 0, s}),
    One(9, {w2, 0, w2, w, 0, h, -w / s / 2, 0, s}),
    // 10 Door Open: the old halves move apart (the windows below uncover the new picture)
    OneOld(10, {round(w / s / 2), 0, 0, w2, 0, h, -w / s / 2, 0, s}),
    OneOld(10, {round(-w / s / 2), 0, w2, w, 0, h, w / s / 2, 0, s}),
    // 11 Close From Corners: quarters moving in diagonally
    One(11, {-w2, -h2, 0, w2, 0, h2, w / s / 2, h / s / 2, s}),
    One(11, {w2, -h2, w2, w, 0, h2, -w / s / 2, h / s / 2, s}),
    One(11, {-w2, h2, 0, w2, h2, h, w / s / 2, -h / s / 2, s}),
    One(11, {w2, h2, w2, w, h2, h, -w / s / 2, -h / s / 2, s}),
    // 12 Iris Close: each quarter from a different side, turning round the centre
    One(12, {-w2, 0, 0, w2, 0, h2, w / s / 2, 0, s}),
    One(12, {0, -h2, w2, w, 0, h2, 0, h / s / 2, s}),
    One(12, {0, h2, 0, w2, h2, h, 0, -h / s / 2, s}),
    One(12, {w2, 0, w2, w, h2, h, -w / s / 2, 0, s}),
    // 13 Sliding Jaws Vertical: five tenths from above, the five between from below
    Row(13, 5, {0, -h, div(2 * w * k, 10), div(2 * w * k + w, 10), 0, h, 0, h / s, s}),
    Row(13, 5, {0, h, div(2 * w * k + w, 10), div(2 * w * k + 2 * w, 10), 0, h, 0, -h / s, s}),
    // 14 Falling Columns: column k starts a quarter height further up and runs k (s div 4)
    // steps more
    Row(14, 10, {0, round(3 * h * k / 4 - h * k - h), div(w * k, 10), div(w * k + w, 10), 0, h,
                 0, h / s, k * sDiv4 + s}),
    // 15 Sliding Jaws Horizontal
    Row(15, 5, {-w, 0, 0, w, div(2 * h * k, 10), div(2 * h * k + h, 10), w / s, 0, s}),
    Row(15, 5, {w, 0, 0, w, div(2 * h * k + h, 10), div(2 * h * k + 2 * h, 10), -w / s, 0, s}),
    // 16 Sliding Columns
    Row(16, 10, {round(3 * w * k / 4 - w * k - w), 0, 0, w, div(h * k, 10), div(h * k + h, 10),
                 w / s, 0, k * sDiv4 + s}),
    // 17 Vertical Two Part Slide, 18 Horizontal Two Part Slide
    One(17, {0, -h, 0, w2, 0, h, 0, h / s, s}),
    One(17, {0, h, w2, w, 0, h, 0, -h / s, s}),
    One(18, {-w, 0, 0, w, 0, h2, w / s, 0, s}),
    One(18, {w, 0, 0, w, h2, h, -w / s, 0, s}),
    // 19 Sliding Columns From Sides: row k split at x = w - 0.1 w k, the left piece from the
    // left, the right piece from the right, the right pieces staggered from the bottom row up
    Row(19, 10, {round(3 * w * k / 4 - w * k - w), 0, 0, round(w - w * k / 10), div(h * k, 10),
                 div(h * k + h, 10), w / s, 0, k * sDiv4 + s}),
    Row(19, 10, {round(w * k + w - 3 * w * k / 4), 0, round((w * k + w) / 10), w,
                 div(9 * h - h * k, 10), div(10 * h - h * k, 10), -w / s, 0, k * sDiv4 + s}),
    // 20 Sliding Columns From Up & Bottom: the same with columns
    Row(20, 10, {0, round(3 * h * k / 4 - h * k - h), div(w * k, 10), div(w * k + w, 10), 0,
                 round(h - h * k / 10), 0, h / s, k * sDiv4 + s}),
    Row(20, 10, {0, round(h * k + h - 3 * h * k / 4), div(9 * w - w * k, 10),
                 div(10 * w - w * k, 10), round((h * k + h) / 10), h, 0, -h / s, k * sDiv4 + s}),
    // 21 Blinds Slide Right, 22 Blinds Slide Left: each tenth shifts within its own strip
    Row(21, 10, {-ceil(w / 10), 0, div(w * k, 10), div(w * k + w, 10), 0, h, w / 10 / s, 0, s}),
    Row(22, 10, {ceil(w / 10), 0, div(w * k, 10), div(w * k + w, 10), 0, h, -w / 10 / s, 0, s}),
};

// The door's windows of the new picture, one step behind the old halves.
struct SlideFoldRow {
    int local;
    TWindowFormula window;
};
constexpr SlideFoldRow kFolds[] = {
    {10, {w2 - 1, 0, ceil(w / s / 2), h, w / s / 2, 0, s}},
    {10, {w2 + 1, 0, -ceil(w / s / 2), h, -w / s / 2, 0, s + 1}},
};
// clang-format on

constexpr int kMembers = MembersOfRows(kSlides);
static_assert(kMembers == FamilyMemberCount(EffectFamily::Slide),
              "rows for every slide effect of the catalogue and for no other");

template <typename Rows> constexpr int MostPieces(const Rows& rows) {
    int most = 0;
    for (int local = 1; local <= kMembers; ++local) {
        int pieces = 0;
        for (const auto& row : rows)
            if (row.local == local) pieces += row.count;
        most = pieces > most ? pieces : most;
    }
    return most;
}
static_assert(MostPieces(kSlides) <= kMaxSlides);
static_assert(sizeof(kFolds) / sizeof(kFolds[0]) <= kMaxSlideFolds);

std::optional<TSlide> MakeSlide(const SlideRow& row, const formula::TQuantities& q) {
    const SlideFormula& f = row.slide;
    const auto x = f.x.Evaluate(q), y = f.y.Evaluate(q), left = f.left.Evaluate(q),
               right = f.right.Evaluate(q), top = f.top.Evaluate(q), bottom = f.bottom.Evaluate(q),
               dx = f.dx.Evaluate(q), dy = f.dy.Evaluate(q), steps = f.steps.Evaluate(q);
    if (!x || !y || !left || !right || !top || !bottom || !dx || !dy || !steps) return std::nullopt;
    const TRect band{RoundInt(*left), RoundInt(*top), RoundInt(*right), RoundInt(*bottom)};
    return TSlide(row.picture, band, *x, *y, *dx, *dy, RoundInt(*steps));
}

// One frame: every slide, then the windows.
void StepPieces(TTransThread& t, std::span<TSlide> slides, std::span<TFold> folds) {
    for (TSlide& slide : slides) {
        // A finished slide would only repaint its last rectangle, over whatever a window has
        // uncovered since; an empty one paints nothing.
        if (slide.StepsLeft() <= 0) continue;
        slide.Step();
        if (slide.DestRect().isEmpty()) continue;
        if (slide.Picture() == TSlidePicture::Old)
            t.PaintFromOld(slide.SourceRect(), slide.DestRect());
        else
            t.PaintFromNew(slide.SourceRect(), slide.DestRect());
    }
    StepFolds(t, folds);
}

bool AnySlideStepsLeft(std::span<const TSlide> slides) {
    for (const TSlide& slide : slides)
        if (slide.StepsLeft() > 0) return true;
    return false;
}

void MakePieces(int local, int width, int height, int steps, SlidePieces& pieces) {
    formula::TQuantities q(width, height, steps);
    pieces.slideCount = pieces.foldCount = 0;
    for (const SlideRow& row : kSlides) {
        if (row.local != local) continue;
        for (int k = 0; k < row.count; ++k) {
            q.SetIndex(k);
            if (auto slide = MakeSlide(row, q))
                pieces.slides[static_cast<size_t>(pieces.slideCount++)] = *slide;
        }
    }
    q.SetIndex(0);
    for (const SlideFoldRow& row : kFolds) {
        if (row.local != local) continue;
        if (auto fold = MakeFold(row.window, q, width, height))
            pieces.folds[static_cast<size_t>(pieces.foldCount++)] = *fold;
    }
}

} // namespace

void RunSlideFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0) return;
    SlidePieces pieces;
    MakePieces(local, t.PictureWidth, t.PictureHeight, t.StepCount(), pieces);
    const std::span slides(pieces.slides.data(), static_cast<size_t>(pieces.slideCount));
    const std::span folds(pieces.folds.data(), static_cast<size_t>(pieces.foldCount));
    t.RunFrames([&] {
        if (!AnySlideStepsLeft(slides) && !AnyStepsLeft(folds)) return false;
        StepPieces(t, slides, folds);
        return true;
    });
}

} // namespace pictorelle

#include "transitions/reveal/Fold.h"
#include "transitions/reveal/PieceFormula.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

TEST(FoldWindow, PaintsOnlyWhenAnEdgeOfEachAxisLiesInThePicture) {
    // Rounded (halves to even) and cut to the 40 x 30 picture.
    EXPECT_EQ(FoldWindow(2.5, 0, 3, 30, 40, 30).rect, (TRect{2, 0, 6, 30}));
    EXPECT_EQ(FoldWindow(40, 0, -3.5, 30, 40, 30).rect, (TRect{36, 0, 40, 30}));
    EXPECT_EQ(FoldWindow(-2, 5, 10, 40, 40, 30).rect, (TRect{0, 5, 8, 30}));
    // Edges included: a window standing just at the right edge touches and uncovers nothing.
    const TFoldWindow atEdge = FoldWindow(40, 0, 5, 30, 40, 30);
    EXPECT_TRUE(atEdge.touches);
    EXPECT_TRUE(atEdge.rect.isEmpty());
    // Wholly outside, or spanning the picture from beyond one edge to beyond the other.
    for (const TFoldWindow& none :
         {FoldWindow(41, 0, 5, 30, 40, 30), FoldWindow(-10, 0, 60, 30, 40, 30),
          FoldWindow(0, -10, 40, 50, 40, 30), FoldWindow(0, 31, 40, -0.5, 40, 30)}) {
        EXPECT_FALSE(none.touches);
        EXPECT_EQ(none.rect, TRect{});
    }
}

TEST(Fold, StepsWhereItStandsThenMovesOn) {
    TFold fold(40, 30, 0, 0, 3, 30, 2.5, 0, 3);
    EXPECT_TRUE(fold.Step());
    EXPECT_EQ(fold.Window().rect, (TRect{0, 0, 3, 30}));
    EXPECT_TRUE(fold.Step());
    EXPECT_EQ(fold.Window().rect, (TRect{2, 0, 6, 30})) << "2.5 rounds to 2, 5.5 to 6";
    EXPECT_FALSE(fold.Step()) << "the last step still uncovers";
    EXPECT_EQ(fold.Window().rect, (TRect{5, 0, 8, 30}));
    EXPECT_DOUBLE_EQ(fold.X(), 7.5);
    EXPECT_FALSE(fold.Step());
    EXPECT_EQ(fold.StepsLeft(), 0);
    EXPECT_DOUBLE_EQ(fold.X(), 7.5) << "a finished window stays put";
    EXPECT_FALSE(TFold().Step());
}

namespace f = formula;
using namespace formula::names;

double Eval(const f::Formula& formula, int w, int h, int s, int k = 0) {
    f::TQuantities q(w, h, s);
    q.SetIndex(k);
    return formula.Evaluate(q).value_or(-12345);
}

TEST(PieceFormula, RoundsWhatIsExactOnPaperExactly) {
    // Halves go to the even neighbour, also where a double product would miss the half.
    EXPECT_EQ(Eval(round(w * k / 10), 25, 1, 1, 1), 2);
    EXPECT_EQ(Eval(round(w * k / 10), 25, 1, 1, 3), 8);
    EXPECT_EQ(Eval(round(3 * s * k / 20 + s), 1, 1, 10, 1), 12) << "11.5";
    EXPECT_EQ(Eval(round(3 * s * k / 20 + s), 1, 1, 10, 3), 14) << "14.5";
    EXPECT_EQ(Eval(round(3 * w * k / 4 - w * k - w), 10, 1, 1, 1), -12) << "-12.5";
    // A whole quotient does not creep up by a ceiling.
    EXPECT_EQ(Eval(ceil(w / s / 2), 40, 1, 4), 5);
    EXPECT_EQ(Eval(ceil(w / s / 2), 41, 1, 4), 6);
    EXPECT_EQ(Eval(ceil(w / nw / 2 + 1), 60, 1, 10), 4);
    EXPECT_EQ(Eval(div(10 * h - h * k, 10), 1, 48, 1, 3), 33);
    EXPECT_EQ(Eval(-ceil(w / s + 1), 40, 1, 16), -4) << "negated after rounding";
    EXPECT_DOUBLE_EQ(Eval(-w / s / 2, 40, 1, 16), -1.25);
    EXPECT_DOUBLE_EQ(Eval(k * sDiv2 + s, 1, 1, 17, 3), 41);
}

TEST(PieceFormula, QuantitiesThatVanishForTinyPicturesAreReported) {
    EXPECT_EQ(Eval(nw, 1, 30, 16), 0) << "min(s, w div 2)";
    EXPECT_EQ(Eval(m, 40, 30, 3), 0) << "min(s div 4, h div 4)";
    EXPECT_EQ(Eval(m, 40, 3, 16), 0);
    EXPECT_EQ(Eval(qw, 40, 3, 16), 0);
    EXPECT_EQ(Eval(ns, 40, 30, 6), 4) << "max(4, s div 3)";
    EXPECT_EQ(Eval(s, 40, 30, 0), 1) << "a step count below one counts as one";
    f::TQuantities q(40, 3, 16);
    EXPECT_FALSE((w / m).Evaluate(q).has_value());
    EXPECT_TRUE((w / s).Evaluate(q).has_value());
}

} // namespace
} // namespace pictorelle

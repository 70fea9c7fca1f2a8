// The reveal effects: the new picture is uncovered in place through windows (TFold) that
// travel across it. A member is nothing but a set of windows, given as rows of formulas.
#pragma once

#include "transitions/reveal/Fold.h"
#include "transitions/reveal/PieceFormula.h"

#include <array>
#include <optional>

namespace pictorelle {

inline constexpr int kMaxFolds = 64;
using TFoldArray = std::array<TFold, kMaxFolds>;

// A window (x, y; width x height; dx, dy; steps) written as formulas.
struct TWindowFormula {
    formula::Formula x, y, width, height, dx, dy, steps;
};

// The window the formulas give for the quantities `q` (index included), or nothing when they
// divide by zero.
std::optional<TFold> MakeFold(const TWindowFormula& window, const formula::TQuantities& q,
                              int pictureWidth, int pictureHeight);

// The windows of reveal member `local` (1 to 42) for a picture and step count, in the order
// they step; returns how many. Windows whose formulas divide by zero (a picture or step count
// too small for the member) are left out; an unknown member has none.
int RevealWindows(int local, int width, int height, int steps, TFoldArray& folds);

} // namespace pictorelle

// Random cells: the picture is cut into lines, rectangles or overlapping ellipses, and a
// shuffled deck of them is dealt a few per frame.
#include "core/IntMath.h"
#include "core/Random.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/shapes/RegionFrames.h"

#include <vector>

namespace pictorelle {
namespace {

enum class Cell : uint8_t { Row, Column, Rectangle, Ellipse };

struct Member {
    Cell cell;
    // The grid's divisions: min(s, extent div divisor) of the picture's height (or width for
    // columns), or a fixed count when divisor is 0.
    int divisor;
    int fixed;
    bool batch; // deal max(1, (d div 4) * 4) cells per frame instead of one
};

constexpr Member kMembers[] = {
    {Cell::Row, 1, 0, false},      // "Random Horizontal Lines"
    {Cell::Column, 1, 0, false},   // "Random Vertical Lines"
    {Cell::Rectangle, 4, 0, true}, // "Random Rectangles"
    {Cell::Ellipse, 8, 0, true},   // "Random Ellipses"
    {Cell::Ellipse, 0, 10, false}, // "Random Large Ellipses"
};
static_assert(std::ssize(kMembers) == FamilyMemberCount(EffectFamily::Random));

// Swaps every position with a uniformly random one of the whole list.
void Shuffle(std::vector<int>& deck) {
    const int n = static_cast<int>(deck.size());
    for (int p = 0; p < n; ++p)
        std::swap(deck[static_cast<std::size_t>(p)], deck[static_cast<std::size_t>(RandomInt(n))]);
}

} // namespace

void RunRandomFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0 || local < 1 || local > std::ssize(kMembers))
        return;
    const Member& member = kMembers[local - 1];
    const int w = t.PictureWidth, h = t.PictureHeight;
    const int64_t s = RegionSteps(t);
    const int extent = member.cell == Cell::Column ? w : h;
    int d = member.divisor == 0 ? member.fixed
                                : static_cast<int>(std::min<int64_t>(s, extent / member.divisor));
    // A picture under 4 or 8 pixels tall would give no divisions and a division by zero.
    d = std::max(d, 1);

    // Lines are numbered 0 .. d - 1; grid points (x, y) with x and y in 0 .. d as x (d + 1) + y.
    const bool lines = member.cell == Cell::Row || member.cell == Cell::Column;
    std::vector<int> deck(static_cast<std::size_t>(lines ? d : (d + 1) * (d + 1)));
    for (std::size_t k = 0; k < deck.size(); ++k)
        deck[k] = static_cast<int>(k);
    Shuffle(deck);
    const std::size_t perFrame =
        member.batch ? static_cast<std::size_t>(std::max(1, d / 4 * 4)) : 1;
    const int64_t frameCap = s * s * s;

    auto build = [&](int&, TRegionWork& work) {
        work.shapes.Clear();
        for (std::size_t k = 0; k < perFrame && !deck.empty(); ++k) {
            const int cell = deck.back();
            deck.pop_back();
            const int x = cell / (d + 1), y = cell % (d + 1);
            switch (member.cell) {
            case Cell::Row:
                work.shapes.AddRect({0, h * cell / d, w, h * (cell + 1) / d});
                break;
            case Cell::Column:
                work.shapes.AddRect({w * cell / d, 0, w * (cell + 1) / d, h});
                break;
            case Cell::Rectangle:
                work.shapes.AddRect({w * x / d, h * y / d, w * (x + 1) / d, h * (y + 1) / d});
                break;
            case Cell::Ellipse:
                // Two cells wide, centred on the grid point.
                work.shapes.AddEllipse(
                    {Div(w * (x - 1), d), Div(h * (y - 1), d), w * (x + 1) / d, h * (y + 1) / d});
                break;
            }
        }
        work.shapes.Build(work.region);
        return !work.region.IsEmpty();
    };
    RunRegionFrames(t, build, [&](int frame) { return !deck.empty() && frame < frameCap; });
}

} // namespace pictorelle

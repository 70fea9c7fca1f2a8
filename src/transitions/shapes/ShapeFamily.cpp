// Shapes: triangles that unfold from corners, propeller blades, clock hands, diamonds, a
// tumbling star and a grid of growing triangles. Most members are a union of triangles whose
// corners sit at a fixed place or move along an edge; they are rows of the table below.
#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/shapes/RegionFrames.h"

#include <array>
#include <cmath>
#include <numbers>
#include <span>

namespace pictorelle {
namespace {

// A corner coordinate is a fixed base plus or minus a distance that grows with the frame.
enum class Base : uint8_t { Zero, W, H, W2, H2 };
enum class Move : uint8_t {
    None,
    CW,  // ceil(w i / s)
    CH,  // ceil(h i / s)
    CW2, // ceil(2 w i / s)
    CH2, // ceil(2 h i / s)
    Hand // the clock hand's travel along its current edge
};

struct Coord {
    Base base;
    int sign;
    Move move;
};
struct Corner {
    Coord x, y;
};
struct Triangle {
    Corner a, b, c;
    // Clocks: the length of the edge the hand travels along (W or H).
    Base edge = Base::Zero;
};

constexpr Coord at(Base b) {
    return {b, 0, Move::None};
}
constexpr Coord plus(Base b, Move m) {
    return {b, 1, m};
}
constexpr Coord minus(Base b, Move m) {
    return {b, -1, m};
}

enum class Kind : uint8_t {
    Union,        // all triangles every frame
    Clock,        // one triangle per quarter of the steps
    QuarterClock, // sweep to the far corner, the corner itself, then the second edge
    ChaosStar,
    Grid
};

struct Member {
    Kind kind;
    std::span<const Triangle> triangles;
    Base reach = Base::Zero; // quarter clocks: the first edge's length
};

using enum Base;
using enum Move;

constexpr Coord O = at(Zero);
constexpr Coord Wd = at(W);
constexpr Coord Ht = at(H);
constexpr Coord Cx = at(W2);
constexpr Coord Cy = at(H2);

constexpr Triangle kUnfoldUpLeft[] = {{{O, O}, {O, plus(Zero, CH2)}, {plus(Zero, CW2), O}}};
constexpr Triangle kUnfoldUpRight[] = {{{Wd, O}, {Wd, plus(Zero, CH2)}, {minus(W, CW2), O}}};
constexpr Triangle kUnfoldBottomRight[] = {{{Wd, Ht}, {Wd, minus(H, CH2)}, {minus(W, CW2), Ht}}};
constexpr Triangle kUnfoldBottomLeft[] = {{{O, Ht}, {O, minus(H, CH2)}, {plus(Zero, CW2), Ht}}};

constexpr Triangle kPropellerClockwise[] = {
    {{O, O}, {Cx, Cy}, {plus(Zero, CW), O}},
    {{O, Ht}, {Cx, Cy}, {O, minus(H, CH)}},
    {{Wd, Ht}, {Cx, Cy}, {minus(W, CW), Ht}},
    {{Wd, O}, {Cx, Cy}, {Wd, plus(Zero, CH)}},
};
constexpr Triangle kPropellerCounterClockwise[] = {
    {{Wd, O}, {Cx, Cy}, {minus(W, CW), O}},
    {{O, O}, {Cx, Cy}, {O, plus(Zero, CH)}},
    {{O, Ht}, {Cx, Cy}, {plus(Zero, CW), Ht}},
    {{Wd, Ht}, {Cx, Cy}, {Wd, minus(H, CH)}},
};

// Phase q of a clock covers 4i <= (q + 1) s; the hand travels ceil((4i - q s) L / s) along an
// edge of length L.
constexpr Triangle kClock[] = {
    {{O, O}, {Cx, Cy}, {plus(Zero, Hand), O}, W},
    {{Wd, O}, {Cx, Cy}, {Wd, plus(Zero, Hand)}, H},
    {{Wd, Ht}, {Cx, Cy}, {minus(W, Hand), Ht}, W},
    {{O, Ht}, {Cx, Cy}, {O, minus(H, Hand)}, H},
};
constexpr Triangle kClockCounterClockwise[] = {
    {{O, O}, {Cx, Cy}, {O, plus(Zero, Hand)}, H},
    {{O, Ht}, {Cx, Cy}, {plus(Zero, Hand), Ht}, W},
    {{Wd, Ht}, {Cx, Cy}, {Wd, minus(H, Hand)}, H},
    {{Wd, O}, {Cx, Cy}, {minus(W, Hand), O}, W},
};

constexpr Triangle kWindowWasher[] = {
    {{O, O}, {O, Ht}, {plus(Zero, CW), minus(H, CH)}},
    {{Wd, Ht}, {Wd, O}, {minus(W, CW), plus(Zero, CH)}},
};

// Quarter clocks: the hand up to the far corner (travel p), the corner, then the second edge
// (travel p minus the first edge).
constexpr Triangle kQuarterToBottomRight[] = {
    {{O, O}, {O, Ht}, {plus(Zero, Hand), O}},
    {{O, O}, {O, Ht}, {Wd, O}},
    {{Wd, O}, {O, Ht}, {Wd, plus(Zero, Hand)}},
};
constexpr Triangle kQuarterToUpLeftFromBottom[] = {
    {{Wd, Ht}, {O, Ht}, {Wd, minus(H, Hand)}},
    {{O, Ht}, {Wd, Ht}, {Wd, O}},
    {{Wd, O}, {O, Ht}, {minus(W, Hand), O}},
};
constexpr Triangle kQuarterToUpLeftFromRight[] = {
    {{Wd, Ht}, {Wd, O}, {minus(W, Hand), Ht}},
    {{Wd, Ht}, {Wd, O}, {O, Ht}},
    {{O, Ht}, {Wd, O}, {O, minus(H, Hand)}},
};
constexpr Triangle kQuarterToBottomLeft[] = {
    {{O, O}, {Wd, O}, {O, plus(Zero, Hand)}},
    {{Wd, O}, {O, O}, {O, Ht}},
    {{O, Ht}, {Wd, O}, {plus(Zero, Hand), Ht}},
};

constexpr Triangle kCornerTriangles[] = {
    {{O, O}, {O, plus(Zero, CH)}, {plus(Zero, CW), O}},
    {{Wd, O}, {Wd, plus(Zero, CH)}, {minus(W, CW), O}},
    {{Wd, Ht}, {Wd, minus(H, CH)}, {minus(W, CW), Ht}},
    {{O, Ht}, {O, minus(H, CH)}, {plus(Zero, CW), Ht}},
};
constexpr Triangle kDiamond[] = {
    {{Cx, Cy}, {Cx, minus(H2, CH)}, {minus(W2, CW), Cy}},
    {{Cx, Cy}, {Cx, minus(H2, CH)}, {plus(W2, CW), Cy}},
    {{Cx, Cy}, {Cx, plus(H2, CH)}, {plus(W2, CW), Cy}},
    {{Cx, Cy}, {Cx, plus(H2, CH)}, {minus(W2, CW), Cy}},
};
constexpr Triangle kCorners1[] = {kCornerTriangles[0], kCornerTriangles[2]};
constexpr Triangle kCorners2[] = {kCornerTriangles[1], kCornerTriangles[3]};

constexpr Member kMembers[] = {
    {Kind::Union, kUnfoldUpLeft},
    {Kind::Union, kUnfoldUpRight},
    {Kind::Union, kUnfoldBottomRight},
    {Kind::Union, kUnfoldBottomLeft},
    {Kind::Union, kPropellerClockwise},
    {Kind::Union, kPropellerCounterClockwise},
    {Kind::Clock, kClock},
    {Kind::Clock, kClockCounterClockwise},
    {Kind::ChaosStar, {}},
    {Kind::Union, kWindowWasher},
    {Kind::Grid, {}},
    {Kind::QuarterClock, kQuarterToBottomRight, W},
    {Kind::QuarterClock, kQuarterToUpLeftFromBottom, H},
    {Kind::QuarterClock, kQuarterToUpLeftFromRight, W},
    {Kind::QuarterClock, kQuarterToBottomLeft, H},
    {Kind::Union, kCornerTriangles},
    {Kind::Union, kDiamond},
    {Kind::Union, kCorners1},
    {Kind::Union, kCorners2},
};
static_assert(std::ssize(kMembers) == FamilyMemberCount(EffectFamily::Shape));

// The picture's measures and the distances of frame i.
struct Frame {
    int64_t w, h, s;
    int64_t i = 0;
    int64_t hand = 0;

    int64_t Value(Base b) const {
        switch (b) {
        case Zero:
            return 0;
        case W:
            return w;
        case H:
            return h;
        case W2:
            return w / 2;
        case H2:
            return h / 2;
        }
        return 0;
    }
    int64_t Value(Move m) const {
        switch (m) {
        case None:
            return 0;
        case CW:
            return CeilDiv(w * i, s);
        case CH:
            return CeilDiv(h * i, s);
        case CW2:
            return CeilDiv(2 * w * i, s);
        case CH2:
            return CeilDiv(2 * h * i, s);
        case Hand:
            return hand;
        }
        return 0;
    }
    int Resolve(const Coord& c) const {
        return ClampRegionCoord(Value(c.base) + c.sign * Value(c.move));
    }
    TPoint Resolve(const Corner& c) const { return {Resolve(c.x), Resolve(c.y)}; }
};

void AddTriangle(TRegionUnion& shapes, const Frame& f, const Triangle& t) {
    const TPoint points[] = {f.Resolve(t.a), f.Resolve(t.b), f.Resolve(t.c)};
    shapes.AddPolygon(points);
}

// The star's corners swing round the centre by the frame number in radians; its x reach is
// scaled by the height and its y reach by the width, and both outer corners are offset by
// w div 2: the star tumbles off-centre, and that is how it is meant to look.
void AddChaosStar(TRegionUnion& shapes, const Frame& f) {
    const double i = static_cast<double>(f.i);
    const double reachX = static_cast<double>(f.h) * i / static_cast<double>(f.s);
    const double reachY = static_cast<double>(f.w) * i / static_cast<double>(f.s);
    const int64_t w2 = f.w / 2;
    auto outer = [&](double angle) {
        return TPoint{ClampRegionCoord(w2 + Round(std::cos(angle) * reachX)),
                      ClampRegionCoord(w2 + Round(std::sin(angle) * reachY))};
    };
    const TPoint points[] = {{ClampRegionCoord(w2), ClampRegionCoord(f.h / 2)},
                             outer(i),
                             outer(i + std::numbers::pi / 2)};
    shapes.AddPolygon(points);
}

// A 7 x 7 grid of triangles, corners every sixth of the picture, and one more at the origin;
// their legs reach a third of the picture at i = m, which covers it.
void AddGrid(TRegionUnion& shapes, const Frame& f, int64_t m) {
    const int64_t t = CeilDiv(f.h * f.i, 3 * m), u = CeilDiv(f.w * f.i, 3 * m);
    auto add = [&](int64_t x, int64_t y) {
        const TPoint points[] = {{ClampRegionCoord(x), ClampRegionCoord(y)},
                                 {ClampRegionCoord(x), ClampRegionCoord(y + t)},
                                 {ClampRegionCoord(x + u), ClampRegionCoord(y)}};
        shapes.AddPolygon(points);
    };
    add(0, 0);
    for (int64_t j = 0; j <= 6; ++j)
        for (int64_t k = 0; k <= 6; ++k)
            add(f.w * j / 6, f.h * k / 6);
}

} // namespace

void RunShapeFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0 || local < 1 || local > std::ssize(kMembers))
        return;
    const Member& member = kMembers[static_cast<std::size_t>(local - 1)];
    Frame f{t.PictureWidth, t.PictureHeight, RegionSteps(t)};
    const int64_t m = CeilDiv(f.s, int64_t{2}); // the grid's half-way frame
    bool cornerDone = false; // quarter clocks: the far corner's frame has been shown

    auto build = [&](int& frame, TRegionWork& work) {
        if (member.kind == Kind::Grid && frame > m) frame = static_cast<int>(f.s + 1);
        f.i = frame;
        work.shapes.Clear();
        switch (member.kind) {
        case Kind::Union:
            for (const Triangle& tri : member.triangles)
                AddTriangle(work.shapes, f, tri);
            break;
        case Kind::Clock: {
            int64_t q = 0;
            while (q < 3 && 4 * f.i > (q + 1) * f.s)
                ++q;
            const Triangle& tri = member.triangles[static_cast<std::size_t>(q)];
            f.hand = CeilDiv((4 * f.i - q * f.s) * f.Value(tri.edge), f.s);
            AddTriangle(work.shapes, f, tri);
            break;
        }
        case Kind::QuarterClock: {
            const int64_t p = CeilDiv((f.w + f.h) * f.i, f.s), reach = f.Value(member.reach);
            std::size_t phase = 0;
            if (p > reach) phase = cornerDone ? 2 : 1;
            if (phase == 1) cornerDone = true;
            f.hand = phase == 0 ? p : p - reach;
            AddTriangle(work.shapes, f, member.triangles[phase]);
            break;
        }
        case Kind::ChaosStar:
            AddChaosStar(work.shapes, f);
            break;
        case Kind::Grid:
            AddGrid(work.shapes, f, m);
            break;
        }
        work.shapes.Build(work.region);
        return !work.region.IsEmpty();
    };
    RunRegionFrames(t, build, [&](int frame) { return frame <= f.s; });
}

} // namespace pictorelle

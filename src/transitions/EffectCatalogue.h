// The 120 numbered transition effects: number, the name shown in the options panel's effect
// list, the family whose routine draws it and its number inside that family. Effect 0 means
// no effect. The engine dispatches on the family; the options panel lists the names. The table
// is a constant the compiler can read, so each family checks at compile time that its member
// table has exactly as many members as the catalogue gives it.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace pictorelle {

enum class EffectFamily {
    Slide,
    Reveal,
    LineDrop,
    BoxOut,
    BoxIn,
    Zoom,
    Fade,
    FadeUnfold,
    Ellipse,
    Shape,
    Random,
    Sweep,
};

struct EffectInfo {
    int number;
    const char* name;
    EffectFamily family;
    int local;
};

inline constexpr int kEffectCount = 120;

// All effects in number order: entry i is effect i + 1.
inline constexpr EffectInfo kEffectTable[kEffectCount] = {
    {1, "Slide From Up Left", EffectFamily::Slide, 1},
    {2, "Slide From Up Right", EffectFamily::Slide, 2},
    {3, "Slide From Bottom Right", EffectFamily::Slide, 3},
    {4, "Slide From Bottom Left", EffectFamily::Slide, 4},
    {5, "Slide From Left", EffectFamily::Slide, 5},
    {6, "Slide From Right", EffectFamily::Slide, 6},
    {7, "Slide From Bottom", EffectFamily::Slide, 7},
    {8, "Slide From Up", EffectFamily::Slide, 8},
    {9, "Door Close", EffectFamily::Slide, 9},
    {10, "Door Open", EffectFamily::Slide, 10},
    {11, "Close From Corners", EffectFamily::Slide, 11},
    {12, "Iris Close", EffectFamily::Slide, 12},
    {13, "Sliding Jaws Vertical", EffectFamily::Slide, 13},
    {14, "Falling Columns", EffectFamily::Slide, 14},
    {15, "Sliding Jaws Horizontal", EffectFamily::Slide, 15},
    {16, "Sliding Columns", EffectFamily::Slide, 16},
    {17, "Vertical Two Part Slide", EffectFamily::Slide, 17},
    {18, "Horizontal Two Part Slide", EffectFamily::Slide, 18},
    {19, "Sliding Columns From Sides", EffectFamily::Slide, 19},
    {20, "Sliding Columns From Up & Bottom", EffectFamily::Slide, 20},
    {21, "Blinds Slide Right", EffectFamily::Slide, 21},
    {22, "Blinds Slide Left", EffectFamily::Slide, 22},
    {23, "Unfold From Left", EffectFamily::Reveal, 1},
    {24, "Unfold From Right", EffectFamily::Reveal, 2},
    {25, "Unfold From Up", EffectFamily::Reveal, 3},
    {26, "Unfold From Bottom", EffectFamily::Reveal, 4},
    {27, "Unfold From Up Left", EffectFamily::Reveal, 5},
    {28, "Unfold From Up Right", EffectFamily::Reveal, 6},
    {29, "Unfold From Bottom Right", EffectFamily::Reveal, 7},
    {30, "Unfold From Bottom Left", EffectFamily::Reveal, 8},
    {31, "Unfold From Both Sides", EffectFamily::Reveal, 9},
    {32, "Unfold From Middle To Sides", EffectFamily::Reveal, 10},
    {33, "Unfold From All Corners", EffectFamily::Reveal, 11},
    {34, "Unfolding Iris", EffectFamily::Reveal, 12},
    {35, "Unfolding Vertical Jaws", EffectFamily::Reveal, 13},
    {36, "Unfolding Falling Columns", EffectFamily::Reveal, 14},
    {37, "Unfolding Horizontal Jaws", EffectFamily::Reveal, 15},
    {38, "Unfolding Horizontal Columns", EffectFamily::Reveal, 16},
    {39, "Vertical Two Part Unfold", EffectFamily::Reveal, 17},
    {40, "Horizontal Two Part Unfold", EffectFamily::Reveal, 18},
    {41, "Unfolding Columns Horizontally", EffectFamily::Reveal, 19},
    {42, "Unfolding Columns Vertically", EffectFamily::Reveal, 20},
    {43, "Vertical Lines From Sides", EffectFamily::Reveal, 21},
    {44, "Horizontal Lines From Up & Bottom", EffectFamily::Reveal, 22},
    {45, "Vertical Lines From Left & Back", EffectFamily::Reveal, 23},
    {46, "Horizontal Lines From Up & Back", EffectFamily::Reveal, 24},
    {47, "Horizontal Lines From Left", EffectFamily::Reveal, 25},
    {48, "Horizontal Lines From Right", EffectFamily::Reveal, 26},
    {49, "Horizontal Lines From Left & Back", EffectFamily::Reveal, 27},
    {50, "Horizontal Lines From Right & Back", EffectFamily::Reveal, 28},
    {51, "Horizontal Lines From Both Sides", EffectFamily::Reveal, 29},
    {52, "Vertical Lines From Up", EffectFamily::Reveal, 30},
    {53, "Vertical Lines From Bottom", EffectFamily::Reveal, 31},
    {54, "Vertical Lines From Up & Back", EffectFamily::Reveal, 32},
    {55, "Vertical Lines From Bottom & Back", EffectFamily::Reveal, 33},
    {56, "Vertical Lines From Up & Bottom", EffectFamily::Reveal, 34},
    {57, "Cross Lines From Bottom Left", EffectFamily::Reveal, 35},
    {58, "Cross Lines From Up Left", EffectFamily::Reveal, 36},
    {59, "Cross Lines From Bottom Right", EffectFamily::Reveal, 37},
    {60, "Cross Lines From Up Right", EffectFamily::Reveal, 38},
    {61, "Sweep From Left", EffectFamily::Reveal, 39},
    {62, "Sweep From Up", EffectFamily::Reveal, 40},
    {63, "Download From Left", EffectFamily::Reveal, 41},
    {64, "Download From Up", EffectFamily::Reveal, 42},
    {65, "Line Drop From Right", EffectFamily::LineDrop, 1},
    {66, "Line Drop From Left", EffectFamily::LineDrop, 2},
    {67, "Line Drop From Bottom", EffectFamily::LineDrop, 3},
    {68, "Line Drop From Up", EffectFamily::LineDrop, 4},
    {69, "Box Out", EffectFamily::BoxOut, 1},
    {70, "Box In", EffectFamily::BoxIn, 1},
    {71, "Ellipse Out", EffectFamily::Ellipse, 1},
    {72, "Ellipse In", EffectFamily::Ellipse, 2},
    {73, "Ellipse From Left", EffectFamily::Ellipse, 3},
    {74, "Ellipse From Right", EffectFamily::Ellipse, 4},
    {75, "Ellipse From Up", EffectFamily::Ellipse, 5},
    {76, "Ellipse From Bottom", EffectFamily::Ellipse, 6},
    {77, "Diagonal Unfold From Up Left", EffectFamily::Shape, 1},
    {78, "Diagonal Unfold From Up Right", EffectFamily::Shape, 2},
    {79, "Diagonal Unfold From Bottom Right", EffectFamily::Shape, 3},
    {80, "Diagonal Unfold From Bottom Left", EffectFamily::Shape, 4},
    {81, "Propeller Clockwise", EffectFamily::Shape, 5},
    {82, "Propeller Counter-Clockwise", EffectFamily::Shape, 6},
    {83, "Clock", EffectFamily::Shape, 7},
    {84, "Clock Counter-Clockwise", EffectFamily::Shape, 8},
    {85, "Chaos Star", EffectFamily::Shape, 9},
    {86, "Window Washer", EffectFamily::Shape, 10},
    {87, "Triangles", EffectFamily::Shape, 11},
    {88, "Quarter Clock To Bottom Right", EffectFamily::Shape, 12},
    {89, "Quarter Clock To Up Left", EffectFamily::Shape, 13},
    {90, "Quarter Clock To Up Left", EffectFamily::Shape, 14},
    {91, "Quarter Clock To Bottom Left", EffectFamily::Shape, 15},
    {92, "Diamond In", EffectFamily::Shape, 16},
    {93, "Diamond Out", EffectFamily::Shape, 17},
    {94, "Diagonal Unfold From Corners 1", EffectFamily::Shape, 18},
    {95, "Diagonal Unfold From Corners 2", EffectFamily::Shape, 19},
    {96, "Random Horizontal Lines", EffectFamily::Random, 1},
    {97, "Random Vertical Lines", EffectFamily::Random, 2},
    {98, "Random Rectangles", EffectFamily::Random, 3},
    {99, "Random Ellipses", EffectFamily::Random, 4},
    {100, "Random Large Ellipses", EffectFamily::Random, 5},
    {101, "Sweep From Inside Out", EffectFamily::Sweep, 1},
    {102, "Sweep From Outside In", EffectFamily::Sweep, 2},
    {103, "Zoom In", EffectFamily::Zoom, 1},
    {104, "Zoom From Up Left", EffectFamily::Zoom, 2},
    {105, "Zoom From Up Right", EffectFamily::Zoom, 3},
    {106, "Zoom From Bottom Left", EffectFamily::Zoom, 4},
    {107, "Zoom From Bottom Right", EffectFamily::Zoom, 5},
    {108, "Zoom From Left", EffectFamily::Zoom, 6},
    {109, "Zoom From Up", EffectFamily::Zoom, 7},
    {110, "Zoom From Right", EffectFamily::Zoom, 8},
    {111, "Zoom From Bottom", EffectFamily::Zoom, 9},
    {112, "Zoom Door Close Horizontal", EffectFamily::Zoom, 10},
    {113, "Zoom Door Close Vertical", EffectFamily::Zoom, 11},
    {114, "Quattro Zoom In", EffectFamily::Zoom, 12},
    {115, "Crossfade", EffectFamily::Fade, 1},
    {116, "Fade To Black", EffectFamily::Fade, 2},
    {117, "Fade Unfold From Left", EffectFamily::FadeUnfold, 1},
    {118, "Fade Unfold From Right", EffectFamily::FadeUnfold, 2},
    {119, "Fade Unfold From Up", EffectFamily::FadeUnfold, 3},
    {120, "Fade Unfold From Bottom", EffectFamily::FadeUnfold, 4},
};

// How many of the catalogue's effects belong to `family`.
constexpr int FamilyMemberCount(EffectFamily family) {
    int count = 0;
    for (const EffectInfo& e : kEffectTable)
        count += e.family == family ? 1 : 0;
    return count;
}

// Entry i is effect i + 1, and each family numbers its members 1, 2, ... in catalogue order.
constexpr bool CatalogueInOrder() {
    for (int i = 0; i < kEffectCount; ++i) {
        int before = 0;
        for (int j = 0; j < i; ++j)
            before += kEffectTable[j].family == kEffectTable[i].family ? 1 : 0;
        if (kEffectTable[i].number != i + 1 || kEffectTable[i].local != before + 1) return false;
    }
    return true;
}
static_assert(CatalogueInOrder(), "effects numbered 1 to 120, members of each family from 1");

// The members of a family whose table is a list of rows that each name their member (`local`):
// the largest member number, or 0 when some member below it has no row.
template <class Rows> constexpr int MembersOfRows(const Rows& rows) {
    int most = 0;
    for (const auto& row : rows)
        most = row.local > most ? row.local : most;
    for (int local = 1; local <= most; ++local) {
        bool found = false;
        for (const auto& row : rows)
            found = found || row.local == local;
        if (!found) return 0;
    }
    return most;
}

// The same table, for code that walks it at run time.
std::span<const EffectInfo> EffectCatalogue();

// An effect selection holds one byte per selected effect, the byte's value being the number.
// The checklist form is one flag per effect, index = number - 1.
std::string ChecklistToSelection(std::span<const bool> checked);
// Numbers without a checklist entry (0 and above 120) are ignored.
void SelectionToChecklist(std::string_view selection, std::span<bool> checked);

// One effect drawn at random from a selection (uniform over its positions); 0 when empty.
int RandomEffect(std::string_view selection);

} // namespace pictorelle

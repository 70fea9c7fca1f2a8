// The 120 numbered transition effects: number, the name shown in the options panel's effect
// list, the family whose routine draws it and its number inside that family. Effect 0 means
// no effect. The engine dispatches on the family; the options panel lists the names.
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
std::span<const EffectInfo> EffectCatalogue();

// An effect selection holds one byte per selected effect, the byte's value being the number.
// The checklist form is one flag per effect, index = number - 1.
std::string ChecklistToSelection(std::span<const bool> checked);
// Numbers without a checklist entry (0 and above 120) are ignored.
void SelectionToChecklist(std::string_view selection, std::span<bool> checked);

// One effect drawn at random from a selection (uniform over its positions); 0 when empty.
int RandomEffect(std::string_view selection);

} // namespace pictorelle

#include "transitions/EffectCatalogue.h"

#include "core/Random.h"

#include <algorithm>

namespace pictorelle {

std::span<const EffectInfo> EffectCatalogue() {
    return kEffectTable;
}

std::string ChecklistToSelection(std::span<const bool> checked) {
    std::string selection;
    const size_t n = std::min<size_t>(checked.size(), kEffectCount);
    for (size_t i = 0; i < n; ++i)
        if (checked[i]) selection += static_cast<char>(i + 1);
    return selection;
}

void SelectionToChecklist(std::string_view selection, std::span<bool> checked) {
    std::fill(checked.begin(), checked.end(), false);
    for (char c : selection) {
        const auto number = static_cast<unsigned char>(c);
        if (number >= 1 && number <= checked.size()) checked[number - 1u] = true;
    }
}

int RandomEffect(std::string_view selection) {
    if (selection.empty()) return 0;
    return static_cast<unsigned char>(
        selection[static_cast<size_t>(RandomInt(static_cast<int>(selection.size())))]);
}

} // namespace pictorelle

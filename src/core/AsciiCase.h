// Comparing names and keywords of plain ASCII (schemes, desktop names) without regard to
// letter case; bytes beyond ASCII compare as they are.
#pragma once

#include <cctype>
#include <cstddef>
#include <string_view>

namespace pictorelle {

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace pictorelle

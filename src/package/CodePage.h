// Package texts are single-byte Windows-1252 text; the rest of the program speaks UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

// Every byte maps to one code point (the five unassigned bytes map to the C1 controls of the
// same value), so any package text converts without loss.
std::string Cp1252ToUtf8(std::string_view bytes);

// Empty when the text holds a character that Windows-1252 cannot store or is not valid UTF-8.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

} // namespace pictorelle

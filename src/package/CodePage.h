// Package texts are Windows-1252 text, or UTF-8 when the package's header says so; the rest of
// the program speaks UTF-8. The reader turns every text into UTF-8 once, so nothing after it
// needs to know which code page a package used.
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

// The text with every malformed sequence (a stray or missing continuation byte, an overlong
// form, a surrogate, a code point past U+10FFFF) replaced by U+FFFD: a damaged package still
// gives text that every consumer can take.
std::string ValidUtf8(std::string_view bytes);

// True when the text is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

} // namespace pictorelle

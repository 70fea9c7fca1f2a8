// Interface translation: the package may carry a table that replaces the windows' English
// captions. Captions are looked up by their English text; one without an entry keeps it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

class TranslationTable {
public:
    // Keeps the entries of one section ("Screen Saver" for the player); an empty section name
    // keeps the entries of every section.
    void Build(std::string_view text, std::string_view section);
    std::string Translate(std::string_view caption) const;
    void Free();
    bool Built() const { return built_; }

private:
    bool built_ = false;
    std::vector<std::string> keys_;
    std::vector<std::string> values_;
};

// The process's one table, used by every window on the user-interface thread.
void BuildTranslationTable(std::string_view text, std::string_view section);
std::string Translate(std::string_view caption);
void FreeTranslationTable();

// The options panel's translated captions: control name, English key, and the text that
// follows the translation.
struct ControlCaption {
    const char* control;
    const char* key;
    const char* suffix;
};
std::span<const ControlCaption> FormControlCaptions();

} // namespace pictorelle

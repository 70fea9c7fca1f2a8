#include "package/Translation.h"

namespace pictorelle {
namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0;;) {
        const size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) {
            out.append(text.substr(pos));
            return out;
        }
        out.append(text.substr(pos, hit - pos)).append(to);
        pos = hit + from.size();
    }
}

TranslationTable gTable;

constexpr ControlCaption kControlCaptions[] = {
    {"btnAbout", "About", "..."},
    {"btnClose", "Close", ""},
    {"btnWebsite", "Website", "..."},
    {"Label12", "&Display each image for", ""},
    {"Label13", "seconds", ""},
    {"rbMixed", "&Shuffle", ""},
    {"rbRandom", "&Random", ""},
    {"rbSequential", "&Sequential", ""},
    {"cbDesktop", "S&tart image painting on Desktop", ""},
    {"GroupBox3", "Image Duration", ""},
    {"gbOrder", "Item Order", ""},
    {"GroupBox2", "Startup", ""},
    {"tsGeneral", "General", ""},
    {"tsPosition", "Position", ""},
    {"gbPosition", "Item Position", ""},
    {"rbPosCenter", "&Center", ""},
    {"rbPosRandom", "R&andom position", ""},
    {"gbSize", "Item Size", ""},
    {"Label37", "* Maintains aspect ratio", ""},
    {"rbSizeNone", "&Do not change size", ""},
    {"rbSizeResize", "&Resize to fit screen", " *"},
    {"rbSizeResizeBig", "Resize &only if too big to fit screen", " *"},
    {"rbSizeStretch", "&Stretch to fit screen", ""},
    {"tsEffects", "Effects", ""},
    {"GroupBox9", "Selection", ""},
    {"btnSelectAll", "Select All", ""},
    {"btnSelectNone", "Select None", ""},
    {"GroupBox6", "Speed", ""},
    {"Label16", "Smooth", ""},
    {"Label26", "Fast", ""},
    {"tsSound", "Sound", ""},
    {"GroupBox10", "General", ""},
    {"cbMute", "&Mute sounds", ""},
    {"gbPlaylist", "Music Playlist", ""},
    {"btnPlaylistEditor", "Edit My Playlist...", ""},
    {"cbLoop", "&Repeat playlist", ""},
    {"cbPlayOneRandom", "S&elect and play just one random playlist item", ""},
    {"cbShuffle", "&Shuffle playlist item order", ""},
    {"rbPlayBuiltIn", "&Use built-in playlist", ""},
    {"rbPlayMyOwn", "Us&e my own playlist", ""},
    {"tsBehavior", "Behavior", ""},
    {"GroupBox12", "Exit Conditions", ""},
    {"cbExitEscape", "&ESC Button", ""},
    {"cbExitKeyboard", "&Keyboard Button", ""},
    {"cbExitMouseButton", "Mouse &Button Click", ""},
    {"cbExitMouseMove", "&Mouse Move", ""},
    {"cbDisableDualMonitor", "&Disable Dual Monitor Support", ""},
};

} // namespace

void TranslationTable::Build(std::string_view text, std::string_view section) {
    keys_.clear();
    values_.clear();
    built_ = true;
    std::string_view current;
    size_t pos = 0;
    while (pos <= text.size()) {
        // Lines end at CR LF, CR or LF.
        const size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos) pos = text.size() + 1;
        else pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);

        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            current = line; // any line without "=" names a section, an empty one too
        } else if (section.empty() || current == section) {
            keys_.emplace_back(line.substr(0, eq));
            values_.emplace_back(line.substr(eq + 1));
        }
    }
}

std::string TranslationTable::Translate(std::string_view caption) const {
    if (!built_) return std::string(caption);
    const std::string key = ReplaceAll(caption, "\r\n", "#13");
    for (size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i] == key) return ReplaceAll(values_[i], "#13", "\r\n");
    return std::string(caption);
}

void TranslationTable::Free() {
    keys_.clear();
    values_.clear();
    built_ = false;
}

void BuildTranslationTable(std::string_view text, std::string_view section) {
    gTable.Build(text, section);
}

std::string Translate(std::string_view caption) { return gTable.Translate(caption); }

void FreeTranslationTable() { gTable.Free(); }

std::span<const ControlCaption> FormControlCaptions() { return kControlCaptions; }

} // namespace pictorelle

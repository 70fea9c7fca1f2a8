// Reading the screen-saver command line and the program's own name: which mode to enter, the
// host window of a preview, and whether the file runs as a plain program. Pure functions, so
// they are tested without a display.
#pragma once

#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

enum class TSaverMode { ConfigBox, MainSaver, Preview, PasswordSet };

// The mode letter: the first argument in upper case, without its first character, cut to the
// character that is then first. "/s", "-S" and "/S:123" all give 'S'; a missing argument or a
// one-character argument gives '\0'. What follows the letter is ignored.
inline char ModeLetter(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments[0].size() < 2) return '\0';
    return static_cast<char>(std::toupper(static_cast<unsigned char>(arguments[0][1])));
}

inline TSaverMode ModeForLetter(char letter) {
    switch (letter) {
    case 'P':
        return TSaverMode::Preview;
    case 'S':
        return TSaverMode::MainSaver;
    case 'A':
        return TSaverMode::PasswordSet;
    default:
        return TSaverMode::ConfigBox;
    }
}

// An X window id as the host passes it: decimal or 0x hexadecimal. Empty for a missing or
// malformed argument, for -1, and for 0, which names no window on X11.
inline std::optional<uint32_t> ParseWindowHandle(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        int digit = -1;
        if (std::isdigit(u))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(u))
            digit = std::tolower(u) - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (value == 0 || value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// The second argument as a preview or password host window, when there is a usable one.
inline std::optional<uint32_t> HostWindowArgument(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) return std::nullopt;
    return ParseWindowHandle(arguments[1]);
}

// A copy of the show named "*.exe" (any case) runs as a plain program: the presentation.
inline bool IsPresentationFileName(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view ext = name.substr(dot);
    if (ext.size() != 4) return false;
    std::string upper;
    for (char c : ext)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == ".EXE";
}

// How XScreenSaver runs its hacks: "-window-id ID" draws into that window, "-root" into the
// window XScreenSaver names in XSCREENSAVER_WINDOW (its own screen-covering window), or the
// root window when it names none. Newer versions spell them with two dashes. Only these exact
// words count; the screen-saver convention never uses them. window is empty for the root
// window.
struct THackTarget {
    std::optional<uint32_t> window;
};

inline std::optional<THackTarget> HackTarget(const std::vector<std::string>& arguments,
                                             const char* xscreensaverWindow) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view word = std::string_view(arguments[i]).starts_with("--")
                                          ? std::string_view(arguments[i]).substr(1)
                                          : std::string_view(arguments[i]);
        if (word == "-window-id") {
            if (i + 1 >= arguments.size()) return std::nullopt;
            const auto window = ParseWindowHandle(arguments[i + 1]);
            if (!window) return std::nullopt;
            return THackTarget{window};
        }
        if (word == "-root") {
            if (xscreensaverWindow && *xscreensaverWindow)
                if (const auto window = ParseWindowHandle(xscreensaverWindow))
                    return THackTarget{window};
            return THackTarget{};
        }
    }
    return std::nullopt;
}

// What the player's own options ask for. Only exact words count, so that every argument of
// the screen-saver convention keeps its meaning.
enum class TProgramRequest { Run, Help, Version };

inline TProgramRequest ProgramRequest(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return TProgramRequest::Run;
    if (arguments[0] == "--help") return TProgramRequest::Help;
    if (arguments[0] == "--version") return TProgramRequest::Version;
    return TProgramRequest::Run;
}

} // namespace pictorelle

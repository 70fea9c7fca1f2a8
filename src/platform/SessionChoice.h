// Which kind of graphical session the player joins, decided once before the application
// exists, from the environment and the mode. Pure, so that every combination is tested without
// a display.
//
// A Wayland session (WAYLAND_DISPLAY set) gets Qt's Wayland platform even when an X server
// (XWayland) is there too: only a native client can cover the outputs through the compositor.
// A platform the user names in QT_QPA_PLATFORM always wins. The preview inside a host window
// and drawing into another screen saver's window are X11's alone: they go to the X server when
// there is one, and are refused on a session that has none.
#pragma once

#include <string>
#include <string_view>

namespace pictorelle {

enum class TSessionKind { X11, Wayland, Other };

struct TSessionEnvironment {
    std::string qtPlatform;     // QT_QPA_PLATFORM
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string x11Display;     // DISPLAY
};

struct TSessionChoice {
    TSessionKind kind = TSessionKind::X11;
    // The platform to hand to Qt; empty leaves Qt's own choice (or the user's) alone.
    std::string qtPlatform;
    // The mode needs an X window that this session cannot give it.
    bool refused = false;
};

inline TSessionKind SessionKindOfPlatform(std::string_view platform) {
    if (platform.starts_with("xcb")) return TSessionKind::X11;
    if (platform.starts_with("wayland")) return TSessionKind::Wayland;
    return TSessionKind::Other;
}

// needsX11Window: the preview (/p) or another screen saver's hack mode.
inline TSessionChoice ChooseSession(const TSessionEnvironment& env, bool needsX11Window) {
    TSessionChoice choice;
    if (!env.qtPlatform.empty()) {
        choice.kind = SessionKindOfPlatform(env.qtPlatform);
    } else if (env.waylandDisplay.empty()) {
        // The X server is the only candidate, and Qt's default; when there is none either, the
        // start-up says so.
        choice.kind = TSessionKind::X11;
    } else if (needsX11Window && !env.x11Display.empty()) {
        choice.kind = TSessionKind::X11;
        choice.qtPlatform = "xcb";
    } else {
        choice.kind = TSessionKind::Wayland;
        choice.qtPlatform = "wayland";
    }
    choice.refused = needsX11Window && choice.kind == TSessionKind::Wayland;
    return choice;
}

} // namespace pictorelle

// Pointing the running desktop's wallpaper setting at a picture file. The desktop is found
// from XDG_CURRENT_DESKTOP and set through its own tool (gsettings, xfconf-query,
// plasma-apply-wallpaperimage, pcmanfm-qt, pcmanfm), each run from an argument vector, never
// through a shell, so the file's name may hold any character. Without a known desktop (a bare
// X server, or a window manager alone) the picture becomes the root window's background
// pixmap, announced through _XROOTPMAP_ID and ESETROOT_PMAP_ID as X wallpaper setters do.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

enum class TWallpaperStyle { Centred, Stretched };

// What running one desktop tool gave: whether it ran and exited with status 0, and what it
// printed on standard output.
struct TToolResult {
    bool ok = false;
    std::string out;
};
// Runs argv[0] (found on PATH) with the rest as its arguments.
using TToolRunner = std::function<TToolResult(const std::vector<std::string>& argv)>;

enum class TDesktopOutcome {
    Applied,  // every tool that matters succeeded
    Failed,   // a tool was missing or failed; said on standard error
    NotKnown, // no desktop of the list is one we know
};

// Sets the wallpaper of the first desktop in currentDesktop (XDG_CURRENT_DESKTOP's value: names
// separated by colons, compared in any letter case) that has an entry in our table, running its
// tools through run. file must be an absolute path.
TDesktopOutcome ApplyDesktopWallpaper(std::string_view currentDesktop, const std::string& file,
                                      TWallpaperStyle style, const TToolRunner& run);

// file as a file URI: every byte but letters, digits, "-._~" and "/" percent-encoded.
std::string FileUri(const std::string& file);
// text as a GVariant string literal, the form gsettings reads a value in.
std::string GVariantString(std::string_view text);

// Runs a tool without a shell, waiting up to 10 s for it; its standard error passes through.
TToolResult RunDesktopTool(const std::vector<std::string>& argv);

// Makes the picture in file the root window's background on the X display the application
// uses, kept after the program ends. False (with a line on standard error) when not on X11 or
// the picture cannot be read.
bool SetRootWindowWallpaper(const std::string& file, TWallpaperStyle style);

// file in the double quotes of a sway command; nothing for a name sway cannot be given (one
// with a double quote, a backslash or a control character).
std::optional<std::string> SwayQuoted(const std::string& file);

// The background of a wlroots compositor: sway's own (swaymsg) where sway runs, otherwise
// swaybg, left running; a line on standard error when neither is there.
void SetWlrootsWallpaper(const std::string& file, TWallpaperStyle style);

// The whole step: the desktop of XDG_CURRENT_DESKTOP, or the session's own background (the
// root window on X11, sway's or swaybg's on Wayland). Failures are said on
// standard error; the show goes on either way.
void ApplyWallpaper(const std::string& file, TWallpaperStyle style);

} // namespace pictorelle

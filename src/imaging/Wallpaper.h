// The wallpaper that F2 makes of the picture on screen: where its file lives, the picture item
// written there as a Windows bitmap, and the notice shown on screen while it happens. Applying
// the file to the desktop is the platform's part (platform/Wallpaper.h).
#pragma once

#include "core/Bitmap32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pictorelle {

struct Package;

inline constexpr const char* kWallpaperNotice = "Setting this picture as wallpaper";
inline constexpr const char* kWallpaperFileName = "Screen Saver Wallpaper.bmp";
// Where the notice's top-left corner goes on the main display.
inline constexpr int kWallpaperNoticeX = 100;
inline constexpr int kWallpaperNoticeY = 200;

// dataHome/pictorelle/Screen Saver Wallpaper.bmp, where dataHome is $XDG_DATA_HOME, or
// home/.local/share when that is unset, empty or not absolute (as the XDG rules say). Throws
// PictorelleError when neither gives an absolute folder.
std::string WallpaperFilePath(const char* xdgDataHome, const char* home);
// The same from the environment (HOME, or the user's entry in the password database).
std::string WallpaperFilePath();

// Writes the picture file at source, as extracted from the package, to destination (its
// folder is made when missing). A file whose extension, after its last dot, is ".bmp" in any
// letter case is copied byte for byte; any other picture is decoded and saved as a Windows
// bitmap of its full size. The destination is replaced only once the new file is complete,
// so a failure leaves the previous wallpaper as it was. Throws ImageError when the picture
// cannot be decoded, PictorelleError when the file cannot be written.
void WriteWallpaperFile(const std::string& source, const std::string& destination);

// The picture item index of package, as stored (without the flags, mask or frame it is shown
// with), written to destination by WriteWallpaperFile: its entry is extracted again from
// programFile to the temporary folder as "SSWIMG" + its extension, and that file goes again
// when done. Throws PictorelleError for an index outside the items or a movie item, and as
// WriteWallpaperFile does.
void WriteItemWallpaper(const std::string& programFile, const Package& package, int index,
                        const std::string& destination);

// A Windows bitmap file of the pixels: 24 bits, rows bottom-up, each padded to 4 bytes.
// Translucent pixels are blended over black, as when drawn onto a fresh bitmap. Throws
// PictorelleError for a bitmap too large for the format.
std::vector<uint8_t> EncodeWindowsBitmap(const TBitmap32& bitmap);

// Draws the notice at (kWallpaperNoticeX, kWallpaperNoticeY): black text in the default
// interface font on a white box. Text needs a QGuiApplication; without one nothing is drawn.
void DrawWallpaperNotice(TBitmap32& bitmap);

} // namespace pictorelle

// Pictures made smaller for a show: a picture larger than a box is decoded as the player
// decodes it (upright, in sRGB), scaled down to fit the box with its proportions, and written
// again as JPEG, or as PNG when it has transparency. Animations and vector pictures stay as
// they are: the first would lose their frames, the second gain nothing.
#pragma once

#include "core/Rect.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pictorelle {

// The quality of the JPEG files written for pictures that were too large.
inline constexpr int kFittedJpegQuality = 92;

// A box such as "1920x1080", both sides 1 to 32767; none for anything else.
std::optional<TSize> ParseBoxSize(const std::string& text);

// The largest size with the proportions of picture that fits box (each side at least 1).
TSize FitInside(TSize picture, TSize box);

// The picture at file made to fit box, written into folder as name plus ".jpg" or ".png";
// none when the file is to be packed as it is (it fits, it animates, it is a vector picture
// or not a picture we decode). A picture that cannot be decoded is left as it is with a
// warning on standard error. Throws PictorelleError when the new file cannot be written.
std::optional<std::filesystem::path> FitPicture(const std::filesystem::path& file, TSize box,
                                                const std::filesystem::path& folder,
                                                const std::string& name);

} // namespace pictorelle

// What the player makes of an item's file: a picture, a video or a Flash movie by its
// extension (as the show decides), and whether the file's first bytes are that kind at all.
// The folder mode and the manifest check every item with it, so a text file named ".jpg" or
// an empty file never reaches a show.
#pragma once

#include "imaging/PictureFormats.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

// How many of a file's first bytes ItemContentProblem looks at.
inline constexpr size_t kItemHeadSize = kPictureHeadBytes;

// True for an extension (with its dot, any case) the show plays as a picture or a video (a
// folder of pictures takes these; a Flash movie comes only from a manifest).
bool IsPictureOrVideoExtension(std::string_view extension);

// Why the file cannot be the item its extension says, such as "not a JPEG picture", or empty
// when its first bytes (head, up to kItemHeadSize of them) are that kind.
std::optional<std::string> ItemContentProblem(std::string_view extension, std::string_view head);

} // namespace pictorelle

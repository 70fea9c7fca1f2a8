// What a library show's picture is shown with, and the loop's rule for pictures that fail:
// plain functions of the library show's description and the picture's file.
#pragma once

#include "library/CaptionTemplate.h"
#include "package/LibraryShow.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pictorelle {

// One picture dealt: its path below the library and its file.
struct TLibraryPick {
    std::string relative;
    std::string file;
};

// A picture's extension, dot included, from its path ("" when its name has none): what the
// decoders and the item's kind go by.
std::string LibraryPictureExtension(std::string_view path);

// The record a library picture is shown with: the show's template with the file's extension
// and, when the show has a caption template, the caption made for this picture (the EXIF time
// read from the file when the template asks for it). Reads the file: call it off the interface
// thread.
ItemRecord LibraryPictureRecord(const TLibraryShow& show, const TLibraryPick& pick);

// When the photo was taken, from the EXIF block at the head of the file (JPEG, PNG, TIFF, or
// any file that carries an "Exif" block near its start), else the file's modification time.
std::optional<TTakenTime> PictureTakenTime(const std::string& file);

// The rule for a run of failures: deal another picture at once while fewer pictures than are
// known have failed in a row, or while the folder is still being listed.
inline bool DealAgainAfterFailure(size_t failedInARow, size_t known, bool complete) {
    return !complete || failedInARow < known;
}

} // namespace pictorelle

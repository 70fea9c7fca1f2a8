// Captions made from the photo: a template such as "{taken:%e %B %Y} · {folder}" filled in
// for each picture of a library show. Fields: {file} the file name, {name} the file name
// without its extension, {folder} the name of the folder that holds it (the library's own
// name for a picture at its top), {path} the path below the library, {taken} or
// {taken:FORMAT} when the photo was taken (strftime's FORMAT, in the user's locale; "%x %X"
// by default): the EXIF DateTimeOriginal, or the file's modification time when it has none.
// "{{" and "}}" stand for braces; anything else is kept as it is written. Names that are not
// UTF-8 are made valid (each bad byte becomes U+FFFD), so captions are always UTF-8.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pictorelle {

// A moment as a camera writes it: local time, no time zone.
struct TTakenTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// DateTimeOriginal (0x9003 in the Exif sub-IFD), else DateTime (0x0132 in IFD 0), from an EXIF
// block (TIFF-structured; a leading "Exif\0\0" is skipped). None when neither is there or
// readable ("0000:00:00 00:00:00" is none). Never trusts an offset inside the block.
std::optional<TTakenTime> ExifTakenTime(std::span<const uint8_t> exif);

// The file's modification time as local time; none when it cannot be read.
std::optional<TTakenTime> FileModifiedTime(const std::string& path);

struct TCaptionFacts {
    std::string path;   // below the library's folder, the file system's bytes
    std::string libraryName; // the library folder's own name, for pictures at its top
    std::optional<TTakenTime> taken;
};

// Whether the template uses {taken} (a caller that needs to read the EXIF block only then).
bool CaptionUsesTaken(std::string_view captionTemplate);

// The caption for one picture; "" when the template is empty.
std::string ExpandCaption(std::string_view captionTemplate, const TCaptionFacts& facts);

} // namespace pictorelle

// The file in which a library's listing is kept between runs, one per library and user. It is
// versioned and checksummed, and every field is checked on reading: a damaged, truncated or
// foreign file is no listing at all, never a crash or a path outside the library.
#pragma once

#include "library/LibraryList.h"

#include <memory>
#include <string>
#include <string_view>

namespace pictorelle {

// The file's name in the cache folder, derived from the library's folder and whether its
// subfolders are listed.
std::string LibraryCacheFileName(std::string_view folder, bool recursive);

// Whether a relative path may name a file below the library: not empty, not absolute, no
// empty, "." or ".." part, no NUL byte.
bool IsSafeLibraryPath(std::string_view path);

// The listing stored in file for this folder and choice, marked as read from the cache. Null
// when there is none; trouble then says why when the file is there but cannot be taken.
std::shared_ptr<TLibraryList> ReadLibraryCache(const std::string& file, std::string_view folder,
                                               bool recursive, std::string& trouble);

// Writes the listing through a private temporary file renamed over the old one, making the
// cache folder (mode 0700) when it is missing. False with trouble set when it failed.
bool WriteLibraryCache(const std::string& cacheFolder, const std::string& file,
                       std::string_view folder, bool recursive, const TLibraryList& list,
                       std::string& trouble);

} // namespace pictorelle

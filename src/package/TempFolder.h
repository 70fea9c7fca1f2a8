// The process's private folder for extracted entries. Made on first use (mode 0700 under
// $TMPDIR or /tmp) and removed with its contents when the program ends, also when it is
// ended by SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <string>
#include <string_view>

namespace pictorelle {

// The folder's path, ending with '/'. Throws std::runtime_error when it cannot be made.
std::string TempFolder();

// TempFolder() followed by a fixed name and an entry's extension; an extension that could
// lead outside the folder is dropped.
std::string TempFilePath(std::string_view fixedName, std::string_view extension = {});

// Removes the folder and everything in it now; the next TempFolder() makes a new one.
void RemoveTempFolder();

} // namespace pictorelle

// Whether the libraries' own diagnostics (the media player, the sound server's client library,
// the web engine, Qt's logging categories) may reach standard error. A user who starts a show
// from a terminal should see only our own lines; PICTORELLE_DEBUG=1 lets the rest through.
#pragma once

#include <cstdlib>
#include <cstring>

namespace pictorelle {

inline bool LibraryChatterWanted() {
    const char* value = std::getenv("PICTORELLE_DEBUG");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

} // namespace pictorelle

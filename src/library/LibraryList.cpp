#include "library/LibraryList.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace pictorelle {

namespace {

// The next folder or file name of a relative path, advancing past it and its separators.
std::string_view nextPart(std::string_view& path) {
    const size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    path.remove_prefix(slash == std::string_view::npos ? path.size() : slash);
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    return part;
}

} // namespace

bool LibraryPathLess(std::string_view a, std::string_view b) {
    while (!a.empty() && !b.empty()) {
        const std::string_view pa = nextPart(a);
        const std::string_view pb = nextPart(b);
        // string_view compares bytes as unsigned, as the file system's names sort.
        if (const int c = pa.compare(pb); c != 0) return c < 0;
    }
    return a.empty() && !b.empty();
}

std::string_view TLibraryList::Path(size_t i) const {
    return std::string_view(bytes_).substr(offsets_[i], offsets_[i + 1] - offsets_[i]);
}

std::optional<size_t> TLibraryList::Find(std::string_view path) const {
    size_t low = 0, high = Size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        if (LibraryPathLess(Path(mid), path))
            low = mid + 1;
        else
            high = mid;
    }
    if (low < Size() && Path(low) == path) return low;
    return std::nullopt;
}

void TLibraryList::Append(std::string_view path, uint32_t firstSeen) {
    if (offsets_.empty()) offsets_.push_back(0);
    bytes_.append(path);
    offsets_.push_back(static_cast<uint32_t>(bytes_.size()));
    firstSeen_.push_back(firstSeen);
}

void TLibraryList::Reserve(size_t entries, size_t bytes) {
    bytes_.reserve(bytes);
    offsets_.reserve(entries + 1);
    firstSeen_.reserve(entries);
}

size_t TLibraryList::MemoryBytes() const {
    return bytes_.capacity() + offsets_.capacity() * sizeof(uint32_t) +
           firstSeen_.capacity() * sizeof(uint32_t);
}

std::string DefaultLibraryCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    // A relative XDG_CACHE_HOME is invalid and is ignored, as the base-directory rules say.
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/pictorelle";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return {};
    return std::string(home) + "/.cache/pictorelle";
}

} // namespace pictorelle

// A library show's pictures: the picture files found under one folder (and its subfolders when
// the show asks for them), listed on a worker thread and kept in a cache file per user, so that
// a library of 100,000 pictures starts as fast as one of ten.
//
// Paths are relative to the library's folder and hold the file system's bytes as they are (a
// name need not be UTF-8). They are kept in path order: compared folder by folder, the way
// std::filesystem::path compares, which is also the packer's order for a folder of pictures.
// A picture is listed by its extension alone (any of the player's picture extensions, any
// letter case): opening 100,000 files to look at their first bytes would cost seconds; a file
// that is not what its name says is passed over when the show comes to it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

// One listing of a library, never changed once published: what the catalogue had found when
// it was made. Paths are stored end to end in one buffer, so that 100,000 of them cost little
// more than their bytes.
class TLibraryList {
public:
    size_t Size() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    bool Empty() const { return Size() == 0; }
    // Entry i's path below the library's folder (0 <= i < Size()), in path order.
    std::string_view Path(size_t i) const;
    // The listing in which entry i was first seen (see Generation): pictures added since a deck
    // was dealt have a later one.
    uint32_t FirstSeen(size_t i) const { return firstSeen_[i]; }
    // Counts the listings of this library for this user, cache included: 1 for the first ever.
    uint32_t Generation() const { return generation_; }
    // The entry with this path, by binary search; none when it is not listed.
    std::optional<size_t> Find(std::string_view path) const;

    // Whether this is a whole earlier listing read back from the cache rather than the first
    // part of a listing still in progress: a deck may rank it as a whole before the folder has
    // been read again.
    bool FromCache() const { return fromCache_; }
    // The heap bytes the listing holds.
    size_t MemoryBytes() const;

    // Building one (the catalogue and the tests): entries must come in path order.
    void Append(std::string_view path, uint32_t firstSeen);
    void SetGeneration(uint32_t generation) { generation_ = generation; }
    void SetFromCache(bool fromCache) { fromCache_ = fromCache; }
    void Reserve(size_t entries, size_t bytes);

private:
    std::string bytes_;
    std::vector<uint32_t> offsets_;   // Size() + 1 of them: entry i is [offsets_[i], offsets_[i+1])
    std::vector<uint32_t> firstSeen_;
    uint32_t generation_ = 0;
    bool fromCache_ = false;
};

// Path order of two relative paths (folder by folder, as std::filesystem::path compares).
bool LibraryPathLess(std::string_view a, std::string_view b);

// The user's cache folder for library listings: $XDG_CACHE_HOME/pictorelle when that is an
// absolute path, else ~/.cache/pictorelle; empty when there is no home folder either.
std::string DefaultLibraryCacheFolder();

// Lists one library on its own worker thread. The cache file (when cacheFolder is not empty)
// is read first, so a later start has the whole list at once; the folder is then listed anew
// and the cache rewritten (atomically, mode 0600) with the pictures that came and went. The
// worker reports each trouble once on standard error (a folder that cannot be read, a link
// that leads back into the tree, a cache file that cannot be read or written); none of it
// stops the listing. Nothing is ever written inside the library.
// The lines the listings of one library have said on standard error: a show that lists its
// folder again shares them with the new listing, so that each trouble is told once a run.
struct TLibraryToldLines {
    std::mutex lock;
    std::set<std::string> lines;
};

class TLibraryCatalogue {
public:
    struct TOptions {
        std::string folder;      // absolute
        bool recursive = false;  // subfolders too; hidden entries skipped, each folder once
        std::string cacheFolder; // $XDG_CACHE_HOME/pictorelle (or ~/.cache/pictorelle); empty: none
        std::shared_ptr<TLibraryToldLines> told = nullptr; // null: every line is said
    };

    explicit TLibraryCatalogue(TOptions options);
    // Stops the worker (between two folders) and waits for it.
    ~TLibraryCatalogue();
    TLibraryCatalogue(const TLibraryCatalogue&) = delete;
    TLibraryCatalogue& operator=(const TLibraryCatalogue&) = delete;

    // Starts the worker. Call once.
    void Start();

    // The newest listing published: the cache's at first, then partial listings while the
    // folder is read for the first time (at least every quarter second while it grows), then
    // the complete one. Never null; empty before anything is known. Safe from any thread.
    std::shared_ptr<const TLibraryList> Snapshot() const;
    // Whether the newest snapshot is the folder's complete listing.
    bool Complete() const;
    // Waits until the snapshot has at least one entry or the listing is complete, at most for
    // timeout; returns whether it has an entry.
    bool WaitForAny(std::chrono::milliseconds timeout) const;
    // Waits until the listing is complete, at most for timeout.
    bool WaitForComplete(std::chrono::milliseconds timeout) const;

    // The picture's file: the folder joined with a path of the list.
    std::string FilePath(std::string_view relative) const;
    // Why a complete listing holds nothing ("the folder ... does not exist", "... holds no
    // pictures the player can show"); empty while there are entries or the listing runs.
    std::string EmptyReason() const;

    // The cache file this library uses for this user (its name is derived from the folder and
    // the recursive choice); empty when there is no cache folder.
    std::string CacheFile() const;

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

} // namespace pictorelle

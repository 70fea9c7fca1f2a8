#include "library/LibraryCache.h"
#include "library/LibraryList.h"

#include "imaging/PictureFormats.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pictorelle {

namespace {

using Clock = std::chrono::steady_clock;

// While the folder is read for the first time, the growing listing is handed out this often.
constexpr auto kPublishEvery = std::chrono::milliseconds(250);

void say(const TLibraryCatalogue::TOptions& options, const std::string& text) {
    if (options.told) {
        const std::lock_guard hold(options.told->lock);
        if (!options.told->lines.insert(text).second) return;
    }
    std::fprintf(stderr, "Library: %s\n", text.c_str());
}

bool isPictureName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    const TPictureFormatRow* row = FormatRowOfExtension(name.substr(dot + 1));
    // A format we recognise but refuse to decode would only be passed over when its turn came.
    return row && row->decode;
}

enum class TKind : uint8_t { File, Folder, Unknown };

// One folder's names, end to end in one buffer, so that a folder of 100,000 pictures costs
// little more than its names while it is sorted.
struct TFolderNames {
    std::string bytes;
    std::vector<uint32_t> starts;
    std::vector<TKind> kinds;

    std::string_view Name(size_t i) const {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
        return std::string_view(bytes).substr(starts[i], end - starts[i]);
    }
};

} // namespace

struct TLibraryCatalogue::TState {
    TOptions options;
    std::string cacheFile;
    std::thread worker;
    std::atomic<bool> stop{false};

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::shared_ptr<const TLibraryList> snapshot = std::make_shared<TLibraryList>();
    bool complete = false;
    std::string emptyReason;

    void Publish(std::shared_ptr<const TLibraryList> list, bool done, std::string reason = {}) {
        {
            std::lock_guard lock(mutex);
            snapshot = std::move(list);
            complete = done;
            emptyReason = std::move(reason);
        }
        changed.notify_all();
    }

    void Run();
};

namespace {

// One walk through the library, in path order: each folder's names are sorted and a subfolder
// is walked where its name sorts, which is exactly the order LibraryPathLess gives.
class TWalk {
public:
    TWalk(const TLibraryCatalogue::TOptions& options, const std::atomic<bool>& stop,
          const TLibraryList* cached, std::function<void(const TLibraryList&)> grown)
        : options_(options), stop_(stop), cached_(cached), grown_(std::move(grown)) {
        generation_ = cached ? cached->Generation() + 1 : 1;
        if (cached) found_.Reserve(cached->Size(), cached->MemoryBytes());
    }

    // False when the library's folder itself cannot be read; reason then says why.
    bool Run(std::string& reason) {
        const std::string top = options_.folder;
        const int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            reason = "the folder " + top +
                     (error == ENOENT   ? " does not exist"
                      : error == ENOTDIR ? " is not a folder"
                                         : std::string(" cannot be read: ") + std::strerror(error));
            say(options_, reason);
            return false;
        }
        WalkOpened(fd, "");
        found_.SetGeneration(generation_);
        return true;
    }

    TLibraryList& Found() { return found_; }

private:
    // Walks the folder open as fd (closed here), whose path below the library is relative
    // ("" or ending in '/').
    void WalkOpened(int fd, const std::string& relative) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && !walked_.insert({st.st_dev, st.st_ino}).second) {
            close(fd);
            say(options_, "passed over " + Shown(relative) +
                ": a link leads to a folder that is listed already");
            return;
        }
        TFolderNames names;
        if (!ReadNames(fd, relative, names)) return;
        std::vector<uint32_t> order(names.starts.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b) { return names.Name(a) < names.Name(b); });
        for (const uint32_t i : order) {
            if (stop_.load(std::memory_order_relaxed)) return;
            const std::string_view name = names.Name(i);
            if (names.kinds[i] == TKind::File) {
                Found(relative + std::string(name));
            } else if (names.kinds[i] == TKind::Folder) {
                const std::string below = relative + std::string(name) + "/";
                const std::string path = options_.folder + "/" + below;
                const int sub = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (sub < 0) {
                    say(options_, "cannot read the folder " + Shown(below) + ": " + std::strerror(errno));
                    continue;
                }
                WalkOpened(sub, below);
            }
        }
    }

    // The names worth a look: pictures (plain files or links to them) and, when subfolders are
    // listed, folders (or links to them). Hidden names are skipped.
    bool ReadNames(int fd, const std::string& relative, TFolderNames& names) {
        DIR* dir = fdopendir(fd);
        if (!dir) {
            say(options_, "cannot read the folder " + Shown(relative) + ": " + std::strerror(errno));
            close(fd);
            return false;
        }
        errno = 0;
        while (const dirent* entry = readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name.empty() || name.front() == '.') continue;
            TKind kind = entry->d_type == DT_REG   ? TKind::File
                         : entry->d_type == DT_DIR ? TKind::Folder
                                                   : TKind::Unknown;
            const bool picture = isPictureName(name);
            if (kind == TKind::Unknown && (picture || options_.recursive)) {
                // A link (followed) or a file system that does not give types.
                struct stat st {};
                if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0)
                    kind = S_ISREG(st.st_mode) ? TKind::File
                           : S_ISDIR(st.st_mode) ? TKind::Folder
                                                 : TKind::Unknown;
                else if (errno != ENOENT) // a link to nowhere is no trouble; one in a loop is
                    say(options_, "cannot follow " + Shown(relative + std::string(name)) + ": " +
                        std::strerror(errno));
            }
            if ((kind == TKind::File && picture) || (kind == TKind::Folder && options_.recursive)) {
                names.starts.push_back(static_cast<uint32_t>(names.bytes.size()));
                names.bytes.append(name);
                names.kinds.push_back(kind);
            }
            errno = 0;
        }
        if (errno != 0)
            say(options_, "the folder " + Shown(relative) + " was read only in part: " +
                std::strerror(errno));
        closedir(dir);
        return true;
    }

    void Found(const std::string& path) {
        found_.Append(path, FirstSeen(path));
        if (grown_) grown_(found_);
    }

    // The generation in which the cache saw the path first; the cached listing and the walk
    // both go in path order, so one cursor through the cache serves the whole walk.
    uint32_t FirstSeen(std::string_view path) {
        if (!cached_) return generation_;
        while (cachedAt_ < cached_->Size() && LibraryPathLess(cached_->Path(cachedAt_), path))
            ++cachedAt_;
        if (cachedAt_ < cached_->Size() && cached_->Path(cachedAt_) == path)
            return cached_->FirstSeen(cachedAt_);
        return generation_;
    }

    std::string Shown(const std::string& relative) const {
        return relative.empty() ? options_.folder : options_.folder + "/" + relative;
    }

    const TLibraryCatalogue::TOptions& options_;
    const std::atomic<bool>& stop_;
    const TLibraryList* cached_;
    std::function<void(const TLibraryList&)> grown_;
    uint32_t generation_ = 1;
    size_t cachedAt_ = 0;
    TLibraryList found_;
    std::set<std::pair<dev_t, ino_t>> walked_;
};

} // namespace

void TLibraryCatalogue::TState::Run() {
    std::shared_ptr<TLibraryList> cached;
    if (!cacheFile.empty()) {
        std::string trouble;
        cached = ReadLibraryCache(cacheFile, options.folder, options.recursive, trouble);
        if (!trouble.empty()) say(options, "the cache " + cacheFile + " is not used: " + trouble);
        if (cached) Publish(cached, false);
    }

    // Without a cache the listing is handed out as it grows: the show's first picture need not
    // wait for the last folder.
    Clock::time_point published{};
    std::function<void(const TLibraryList&)> grown;
    if (!cached)
        grown = [&](const TLibraryList& sofar) {
            const Clock::time_point now = Clock::now();
            if (sofar.Size() != 1 && now - published < kPublishEvery) return;
            published = now;
            auto copy = std::make_shared<TLibraryList>(sofar);
            copy->SetGeneration(1);
            Publish(std::move(copy), false);
        };

    TWalk walk(options, stop, cached.get(), std::move(grown));
    std::string reason;
    const bool read = walk.Run(reason);
    if (stop) return;
    // A copy holds no more than its entries: the walk's buffers grew by doubling.
    auto found = std::make_shared<TLibraryList>(walk.Found());
    walk.Found() = TLibraryList();
    if (read && found->Empty()) {
        reason = "the folder " + options.folder + " holds no pictures the player can show";
        say(options, reason);
    }
    Publish(found, true, reason);
    // A library that cannot be reached just now (a drive not mounted) keeps its cached listing,
    // so that the pictures are not taken for new ones when it comes back.
    if (!read || cacheFile.empty()) return;
    std::string trouble;
    if (!WriteLibraryCache(options.cacheFolder, cacheFile, options.folder, options.recursive,
                           *found, trouble))
        say(options, "the cache " + cacheFile + " was not written: " + trouble);
}

TLibraryCatalogue::TLibraryCatalogue(TOptions options) : state_(std::make_unique<TState>()) {
    while (options.folder.size() > 1 && options.folder.back() == '/') options.folder.pop_back();
    state_->options = std::move(options);
    if (!state_->options.cacheFolder.empty())
        state_->cacheFile = state_->options.cacheFolder + "/" +
                            LibraryCacheFileName(state_->options.folder, state_->options.recursive);
}

TLibraryCatalogue::~TLibraryCatalogue() {
    state_->stop = true;
    if (state_->worker.joinable()) state_->worker.join();
}

void TLibraryCatalogue::Start() {
    if (state_->worker.joinable()) return;
    state_->worker = std::thread([state = state_.get()] { state->Run(); });
}

std::shared_ptr<const TLibraryList> TLibraryCatalogue::Snapshot() const {
    std::lock_guard lock(state_->mutex);
    return state_->snapshot;
}

bool TLibraryCatalogue::Complete() const {
    std::lock_guard lock(state_->mutex);
    return state_->complete;
}

bool TLibraryCatalogue::WaitForAny(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, timeout, [&] {
        return !state_->snapshot->Empty() || state_->complete;
    });
    return !state_->snapshot->Empty();
}

bool TLibraryCatalogue::WaitForComplete(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->complete; });
}

std::string TLibraryCatalogue::FilePath(std::string_view relative) const {
    const std::string& folder = state_->options.folder;
    return folder == "/" ? folder + std::string(relative) : folder + "/" + std::string(relative);
}

std::string TLibraryCatalogue::EmptyReason() const {
    std::lock_guard lock(state_->mutex);
    return state_->complete && state_->snapshot->Empty() ? state_->emptyReason : std::string();
}

std::string TLibraryCatalogue::CacheFile() const {
    return state_->cacheFile;
}

} // namespace pictorelle

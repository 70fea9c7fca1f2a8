#include "library/LibraryCache.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictorelle {

namespace {

constexpr char kMagic[8] = {'P', 'C', 'T', 'L', 'L', 'I', 'S', 'T'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderBytes = 36;     // magic, version, flags, generation, count, path bytes, folder length
constexpr size_t kLongestPath = 65535;  // far beyond what a file system allows
constexpr off_t kLargestFile = off_t{1} << 30;

uint64_t fnv1a(std::string_view bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        h ^= static_cast<uint8_t>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

void put64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// Reads little-endian numbers from a byte string, refusing to pass its end.
class TReader {
public:
    explicit TReader(std::string_view bytes) : bytes_(bytes) {}
    bool Read32(uint32_t& v) {
        if (bytes_.size() - at_ < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t{static_cast<uint8_t>(bytes_[at_ + i])} << (8 * i);
        at_ += 4;
        return true;
    }
    bool Read64(uint64_t& v) {
        uint32_t low = 0, high = 0;
        if (!Read32(low) || !Read32(high)) return false;
        v = uint64_t{high} << 32 | low;
        return true;
    }
    bool Take(size_t n, std::string_view& out) {
        if (bytes_.size() - at_ < n) return false;
        out = bytes_.substr(at_, n);
        at_ += n;
        return true;
    }
    size_t Left() const { return bytes_.size() - at_; }

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

// The whole file, when it is a regular file of a sane size; a FIFO or a device in its place is
// not waited on.
bool readWholeFile(const std::string& file, std::string& out, std::string& trouble) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) trouble = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile) {
        close(fd);
        trouble = "it is not a cache file";
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    out.resize(done);
    return true;
}

std::string parseCache(std::string_view bytes, std::string_view folder, bool recursive,
                       TLibraryList& list) {
    if (bytes.size() < kHeaderBytes + 8 || std::memcmp(bytes.data(), kMagic, 8) != 0)
        return "it is not a library cache";
    const std::string_view body = bytes.substr(0, bytes.size() - 8);
    TReader tail(bytes.substr(body.size()));
    uint64_t sum = 0;
    tail.Read64(sum);
    if (sum != fnv1a(body)) return "it is damaged or truncated";
    TReader in(body.substr(8));
    uint32_t version = 0, flags = 0, generation = 0, count = 0, folderLength = 0;
    uint64_t pathBytes = 0;
    in.Read32(version);
    if (version != kVersion) return "it was written by another version";
    in.Read32(flags);
    in.Read32(generation);
    in.Read32(count);
    in.Read64(pathBytes);
    in.Read32(folderLength);
    std::string_view storedFolder;
    if (!in.Take(folderLength, storedFolder)) return "its header is damaged";
    // Another library whose name hashed alike: not ours, and not damage either.
    if (storedFolder != folder || (flags & 1) != (recursive ? 1u : 0u)) return {};
    if (generation == 0 || count > in.Left() / 9 || pathBytes > in.Left())
        return "its header is damaged";
    list.Reserve(count, static_cast<size_t>(pathBytes));
    std::string_view previous;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t firstSeen = 0, length = 0;
        std::string_view path;
        if (!in.Read32(firstSeen) || !in.Read32(length) || length > kLongestPath ||
            !in.Take(length, path))
            return "an entry runs past its end";
        if (firstSeen == 0 || firstSeen > generation) return "an entry has a wrong generation";
        if (!IsSafeLibraryPath(path)) return "an entry names a path outside the library";
        // The listing is searched by halves: it must be in strict path order.
        if (i > 0 && !LibraryPathLess(previous, path)) return "its entries are out of order";
        list.Append(path, firstSeen);
        previous = path;
    }
    if (in.Left() != 0) return "it has bytes after its entries";
    list.SetGeneration(generation);
    list.SetFromCache(true);
    return {};
}

bool makeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

std::string LibraryCacheFileName(std::string_view folder, bool recursive) {
    std::string key(folder);
    key += recursive ? "\n+" : "\n-";
    char name[40];
    std::snprintf(name, sizeof name, "library-%016llx.cache",
                  static_cast<unsigned long long>(fnv1a(key)));
    return name;
}

bool IsSafeLibraryPath(std::string_view path) {
    if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos)
        return false;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
        if (path.empty()) return false;
    }
    return true;
}

std::shared_ptr<TLibraryList> ReadLibraryCache(const std::string& file, std::string_view folder,
                                               bool recursive, std::string& trouble) {
    std::string bytes;
    if (!readWholeFile(file, bytes, trouble)) return nullptr;
    auto list = std::make_shared<TLibraryList>();
    trouble = parseCache(bytes, folder, recursive, *list);
    if (!trouble.empty() || list->Generation() == 0) return nullptr;
    return list;
}

bool WriteLibraryCache(const std::string& cacheFolder, const std::string& file,
                       std::string_view folder, bool recursive, const TLibraryList& list,
                       std::string& trouble) {
    std::string out(kMagic, sizeof kMagic);
    size_t pathBytes = 0;
    for (size_t i = 0; i < list.Size(); ++i) pathBytes += list.Path(i).size();
    out.reserve(kHeaderBytes + folder.size() + pathBytes + 8 * list.Size() + 8);
    put32(out, kVersion);
    put32(out, recursive ? 1 : 0);
    put32(out, list.Generation());
    put32(out, static_cast<uint32_t>(list.Size()));
    put64(out, pathBytes);
    put32(out, static_cast<uint32_t>(folder.size()));
    out.append(folder);
    for (size_t i = 0; i < list.Size(); ++i) {
        put32(out, list.FirstSeen(i));
        put32(out, static_cast<uint32_t>(list.Path(i).size()));
        out.append(list.Path(i));
    }
    put64(out, fnv1a(out));

    if (!makeFolders(cacheFolder)) {
        trouble = "cannot make " + cacheFolder + ": " + std::strerror(errno);
        return false;
    }
    std::string temporary = file + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC); // mode 0600
    if (fd < 0) {
        trouble = std::strerror(errno);
        return false;
    }
    const bool written = writeAll(fd, out) && fsync(fd) == 0;
    const int error = errno;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), file.c_str()) != 0) {
        trouble = std::strerror(written ? errno : error);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace pictorelle

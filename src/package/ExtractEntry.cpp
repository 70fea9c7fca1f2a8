#include "package/ExtractEntry.h"

#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

namespace pictorelle {
namespace {

// zlib's deflate never does better than about 1032:1; allow a little slack for headers.
constexpr int64_t kBestZlibRatio = 1040;

// The destination opened for writing. Removing it on failure is the caller's TempFile.
class OutputFile {
public:
    explicit OutputFile(const std::string& path)
        : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600)) {}
    ~OutputFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Write(const uint8_t* data, size_t n) {
        while (fd_ >= 0 && n > 0) {
            const ssize_t put = ::write(fd_, data, n);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            data += put;
            n -= static_cast<size_t>(put);
        }
        return fd_ >= 0;
    }
    // True when everything written reached the file.
    bool Close() {
        const bool ok = fd_ >= 0 && ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_ = -1;
};

// Free bytes for unprivileged writers on the file system that holds path's folder; the
// largest value when that cannot be told (the writes themselves still fail on a full disk).
int64_t FreeSpaceFor(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::numeric_limits<int64_t>::max();
    constexpr auto kMost = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    const uint64_t unit = std::max<uint64_t>(info.f_frsize, 1);
    if (info.f_bavail > kMost / unit) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(info.f_bavail * unit);
}

bool RoomFor(const std::string& destination, int64_t size) {
    return size <= FreeSpaceFor(destination) - kTempSpaceReserve;
}

bool CopyRaw(const FileSource& file, OutputFile& out, int64_t offset, int64_t dataSize) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(dataSize, kRawCopyChunk)));
    for (int64_t done = 0; done < dataSize;) {
        const auto n = static_cast<size_t>(std::min<int64_t>(dataSize - done, kRawCopyChunk));
        file.ReadAt(offset + done, chunk.data(), n);
        if (!out.Write(chunk.data(), n)) return false;
        done += static_cast<int64_t>(n);
    }
    return true;
}

// Inflates one zlib stream chunk by chunk: read(buffer, n) supplies the next stored bytes,
// write(data, n) takes each piece of output. False on a corrupt or truncated stream, on
// output beyond limit bytes, or when write fails; output already handed to write stays there.
template <class Read, class Write>
bool InflateChunked(int64_t storedSize, int64_t limit, Read read, Write write) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return false;
    std::vector<uint8_t> in(static_cast<size_t>(std::min<int64_t>(storedSize, kInflateChunk)));
    std::vector<uint8_t> out(kInflateChunk);
    int64_t consumed = 0, produced = 0;
    int rc = Z_OK;
    bool ok = true;
    while (ok && rc != Z_STREAM_END) {
        if (zs.avail_in == 0) {
            const auto n =
                static_cast<size_t>(std::min<int64_t>(storedSize - consumed, kInflateChunk));
            if (n == 0) break; // the stored bytes end before the stream does
            read(in.data(), n);
            consumed += static_cast<int64_t>(n);
            zs.next_in = in.data();
            zs.avail_in = static_cast<uInt>(n);
        }
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        const size_t got = out.size() - zs.avail_out;
        produced += static_cast<int64_t>(got);
        // Stop at the first byte past what the entry may be, not after the whole stream.
        ok = (rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR) && produced <= limit &&
             (got == 0 || write(out.data(), got));
    }
    inflateEnd(&zs);
    return ok && rc == Z_STREAM_END;
}

} // namespace

bool InflatedSizeAcceptable(int64_t storedSize, int64_t dataSize) {
    return storedSize > 0 && dataSize > 0 && dataSize <= kMaxInflatedEntrySize &&
           dataSize <= storedSize * kBestZlibRatio + 1024;
}

std::optional<std::vector<uint8_t>> InflateEntry(std::span<const uint8_t> stored,
                                                 int64_t dataSize) {
    const auto storedSize = static_cast<int64_t>(stored.size());
    if (!InflatedSizeAcceptable(storedSize, dataSize)) return std::nullopt;
    std::vector<uint8_t> result;
    size_t at = 0;
    const bool ok = InflateChunked(
        storedSize, dataSize,
        [&](uint8_t* buffer, size_t n) {
            std::memcpy(buffer, stored.data() + at, n);
            at += n;
        },
        [&](const uint8_t* data, size_t n) {
            result.insert(result.end(), data, data + n);
            return true;
        });
    if (!ok) return std::nullopt;
    return result;
}

void ExtractEntry(const std::string& source, const std::string& destination, bool compressed,
                  int64_t offset, int64_t storedSize, int64_t dataSize, int64_t ceiling) {
    // Removes the destination, an older file of the same name included, unless the entry
    // was written whole.
    TempFile result(destination);
    try {
        FileSource file(source);
        const int64_t limit = std::min(dataSize, ceiling);
        if (dataSize < 0 || dataSize > ceiling || !RoomFor(destination, limit)) return;
        if (compressed) {
            // The sizes must fit the file and zlib's best ratio before anything is written.
            if (!InflatedSizeAcceptable(storedSize, dataSize) || offset < 0 ||
                storedSize > file.Size() - offset)
                return;
            OutputFile out(destination);
            int64_t at = offset;
            const bool ok = InflateChunked(
                storedSize, limit,
                [&](uint8_t* buffer, size_t n) {
                    file.ReadAt(at, buffer, n);
                    at += static_cast<int64_t>(n);
                },
                [&](const uint8_t* data, size_t n) { return out.Write(data, n); });
            if (ok && out.Close()) result.Keep();
            return;
        }
        OutputFile out(destination);
        if (CopyRaw(file, out, offset, dataSize) && out.Close()) result.Keep();
    } catch (const PictorelleError&) {
        // A missing source or a short read.
    } catch (const std::bad_alloc&) {
        // Not even a chunk's buffer: no file, like any other entry that cannot be read.
    }
}

void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const EntryRecord& record, int64_t ceiling) {
    ExtractEntry(source, destination, record.Compressed(), package.EntryOffset(record),
                 record.StoredSize, record.DataSize, ceiling);
}

void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const MelodyRecord& record, int64_t ceiling) {
    ExtractEntry(source, destination, record.Compressed(), package.EntryOffset(record),
                 record.StoredSize, record.DataSize, ceiling);
}

} // namespace pictorelle

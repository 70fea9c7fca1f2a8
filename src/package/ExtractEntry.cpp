#include "package/ExtractEntry.h"

#include "package/ByteSource.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
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

} // namespace

bool InflatedSizeAcceptable(int64_t storedSize, int64_t dataSize) {
    return storedSize > 0 && dataSize > 0 && dataSize <= kMaxInflatedEntrySize &&
           dataSize <= storedSize * kBestZlibRatio + 1024;
}

std::optional<std::vector<uint8_t>> InflateEntry(std::span<const uint8_t> stored, int64_t dataSize) {
    if (!InflatedSizeAcceptable(static_cast<int64_t>(stored.size()), dataSize)) return std::nullopt;
    std::vector<uint8_t> out(static_cast<size_t>(dataSize));
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return std::nullopt;
    zs.next_in = const_cast<Bytef*>(stored.data());
    zs.avail_in = static_cast<uInt>(stored.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_FINISH);
    // Output full but the stream not finished: it would inflate past its stated size.
    const bool finished = rc == Z_STREAM_END;
    const size_t produced = out.size() - zs.avail_out;
    inflateEnd(&zs);
    if (!finished) return std::nullopt;
    out.resize(produced);
    return out;
}

void ExtractEntry(const std::string& source, const std::string& destination, bool compressed,
                  int64_t offset, int64_t storedSize, int64_t dataSize) {
    // Removes the destination, an older file of the same name included, unless the entry
    // was written whole.
    TempFile result(destination);
    try {
        FileSource file(source);
        if (compressed) {
            // Check the sizes against the file before reserving memory for them.
            if (!InflatedSizeAcceptable(storedSize, dataSize) || offset < 0 ||
                storedSize > file.Size() - offset)
                return;
            std::vector<uint8_t> stored(static_cast<size_t>(storedSize));
            file.ReadAt(offset, stored.data(), stored.size());
            const auto inflated = InflateEntry(stored, dataSize);
            if (!inflated) return;
            OutputFile out(destination);
            if (out.Write(inflated->data(), inflated->size()) && out.Close()) result.Keep();
            return;
        }
        OutputFile out(destination);
        if (dataSize >= 0 && CopyRaw(file, out, offset, dataSize) && out.Close()) result.Keep();
    } catch (const PictorelleError&) {
        // A missing source or a short read.
    } catch (const std::bad_alloc&) {
        // An entry too large to hold: no file, like any other entry that cannot be read.
    }
}

void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const EntryRecord& record) {
    ExtractEntry(source, destination, record.Compressed(), package.EntryOffset(record),
                 record.StoredSize, record.DataSize);
}

void ExtractEntry(const std::string& source, const std::string& destination, const Package& package,
                  const MelodyRecord& record) {
    ExtractEntry(source, destination, record.Compressed(), package.EntryOffset(record),
                 record.StoredSize, record.DataSize);
}

} // namespace pictorelle

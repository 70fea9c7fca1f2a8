#include "package/ByteSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pictorelle {

FileSource::FileSource(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw PackageError("cannot open " + path + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw PackageError("not a regular file: " + path);
    }
    size_ = st.st_size;
}

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

void FileSource::ReadAt(int64_t offset, void* buffer, size_t n) const {
    if (offset < 0 || offset > size_ || static_cast<int64_t>(n) > size_ - offset)
        throw PackageError("read past the end of the file");
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, offset + static_cast<int64_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) throw PackageError("read error");
        done += static_cast<size_t>(got);
    }
}

void MemorySource::ReadAt(int64_t offset, void* buffer, size_t n) const {
    if (offset < 0 || offset > Size() || static_cast<int64_t>(n) > Size() - offset)
        throw PackageError("read past the end of the data");
    if (n > 0) std::memcpy(buffer, bytes_.data() + offset, n);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    FileSource file(path);
    std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
    file.ReadAt(0, bytes.data(), bytes.size());
    return bytes;
}

} // namespace pictorelle

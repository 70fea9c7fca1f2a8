#include "package/TempFolder.h"

#include "core/Error.h"
#include "package/PackageLayout.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace pictorelle {
namespace {

std::mutex gMutex;
std::string gFolder;
// A copy of the path that a signal handler may read without locking or allocating.
char gSignalPath[4096];
std::atomic<pid_t> gOwner{0};

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Removes a directory tree with nothing but system calls, so that it can run inside a signal
// handler. The folder holds only files written by this process; one level of sub-folders is
// handled for safety.
void RemoveTreeAt(int parentFd, const char* name, int depth) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0) break;
            for (long pos = 0; pos < n;) {
                auto* entry = reinterpret_cast<LinuxDirent64*>(buffer + pos);
                pos += entry->d_reclen;
                const char* entryName = entry->d_name;
                if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0)
                    continue;
                if (::unlinkat(fd, entryName, 0) != 0 && errno == EISDIR && depth < 2)
                    RemoveTreeAt(fd, entryName, depth + 1);
            }
        }
        ::close(fd);
    }
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

void RemoveOwnedFolder() {
    // A child process that inherited our exit handlers must not remove its parent's folder.
    if (gSignalPath[0] == '\0' || gOwner.load() != ::getpid()) return;
    RemoveTreeAt(AT_FDCWD, gSignalPath, 0);
    gSignalPath[0] = '\0';
}

void OnFatalSignal(int signal) {
    RemoveOwnedFolder();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit([] { RemoveTempFolder(); });
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current {};
            // Leave handlers that someone else installed alone; ignored signals stay ignored.
            if (::sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
                std::signal(sig, OnFatalSignal);
        }
    });
}

} // namespace

std::string TempFolder() {
    std::lock_guard lock(gMutex);
    if (!gFolder.empty()) return gFolder;
    InstallCleanup();
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base && *base) ? base : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    pattern += "pictorelle-XXXXXX";
    if (pattern.size() >= sizeof gSignalPath)
        throw PictorelleError("temporary folder path too long");
    if (::mkdtemp(pattern.data()) == nullptr)
        throw PictorelleError("cannot create a temporary folder: " +
                              std::string(std::strerror(errno)));
    std::memcpy(gSignalPath, pattern.c_str(), pattern.size() + 1);
    gOwner.store(::getpid());
    gFolder = pattern + '/';
    return gFolder;
}

std::string TempFilePath(std::string_view fixedName, std::string_view extension) {
    return TempFolder() + std::string(fixedName) + SafeExtension(extension);
}

void RemoveTempFolder() {
    std::lock_guard lock(gMutex);
    RemoveOwnedFolder();
    gFolder.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this == &other) return *this;
    if (path_ != other.path_) Remove();
    path_ = std::move(other.path_);
    other.path_.clear();
    return *this;
}

void TempFile::Remove() noexcept {
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

} // namespace pictorelle

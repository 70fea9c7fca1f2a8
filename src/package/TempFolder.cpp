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
#include <limits>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
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
                if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0) continue;
                if (::unlinkat(fd, entryName, 0) != 0 && errno == EISDIR && depth < 2)
                    RemoveTreeAt(fd, entryName, depth + 1);
            }
        }
        ::close(fd);
    }
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

// "pictorelle-<pid>-XXXXXX": the pid of the process that made the folder; 0 for any other name.
pid_t FolderOwnerPid(const char* name) {
    constexpr std::string_view kPrefix = "pictorelle-";
    const std::string_view n(name);
    if (n.substr(0, kPrefix.size()) != kPrefix) return 0;
    int64_t pid = 0;
    size_t at = kPrefix.size();
    for (; at < n.size() && at < kPrefix.size() + 10 && n[at] >= '0' && n[at] <= '9'; ++at)
        pid = pid * 10 + (n[at] - '0');
    if (at == kPrefix.size() || at >= n.size() || n[at] != '-' || n.size() - at - 1 != 6) return 0;
    return pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? static_cast<pid_t>(pid) : 0;
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

void RemoveStaleTempFolders(const std::string& base) {
    const int baseFd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0) return;
    DIR* listing = ::fdopendir(::dup(baseFd));
    if (listing) {
        while (const dirent* entry = ::readdir(listing)) {
            const pid_t pid = FolderOwnerPid(entry->d_name);
            if (pid == 0 || pid == ::getpid()) continue;
            // Only a real folder (never a link) that this user made private, of a process that
            // is gone; a pid in use by anyone, even another user, keeps its folder.
            struct stat info {};
            if (::fstatat(baseFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
                (info.st_mode & 07777) != 0700)
                continue;
            if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
            RemoveTreeAt(baseFd, entry->d_name, 0);
        }
        ::closedir(listing);
    }
    ::close(baseFd);
}

std::string TempFolder() {
    std::lock_guard lock(gMutex);
    if (!gFolder.empty()) return gFolder;
    InstallCleanup();
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base && *base) ? base : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    // A show ended by SIGKILL could not clean up after itself; the next one does.
    RemoveStaleTempFolders(pattern);
    pattern += "pictorelle-" + std::to_string(::getpid()) + "-XXXXXX";
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

// The process's private folder for extracted entries. Made on first use (mode 0700 under
// $TMPDIR or /tmp, named pictorelle-<pid>-XXXXXX) and removed with its contents when the program
// ends, also when it is ended by SIGINT, SIGTERM or SIGHUP. TempFile removes one file when its
// scope ends, so an extracted entry goes away however its loader leaves.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace pictorelle {

// The folder's path, ending with '/'. Throws PictorelleError when it cannot be made.
std::string TempFolder();

// TempFolder() followed by a fixed name and an entry's extension; an extension that could
// lead outside the folder is dropped.
std::string TempFilePath(std::string_view fixedName, std::string_view extension = {});

// Removes the folders in base that shows of this user left behind when they were killed
// (SIGKILL leaves no chance to clean up): only "pictorelle-<pid>-XXXXXX" folders, never a
// symbolic link, owned by this user with mode 0700, whose process no longer exists. The
// folder is made as such a name, so TempFolder() calls this for its base first.
void RemoveStaleTempFolders(const std::string& base);

// Removes the folder and everything in it now; the next TempFolder() makes a new one.
void RemoveTempFolder();

// Owns one file by its path and removes it when destroyed, unless Keep() let it go. Moving
// hands the file over; assigning another guard first removes the file this one owned, except
// when both name the same file (an entry extracted again to its fixed name stays).
class TempFile {
public:
    TempFile() = default;
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() { Remove(); }
    TempFile(TempFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // The file's path; empty for a guard that owns nothing.
    const std::string& Path() const { return path_; }
    // Leaves the file where it is; the guard owns nothing afterwards.
    void Keep() { path_.clear(); }

private:
    void Remove() noexcept;

    std::string path_;
};

} // namespace pictorelle

// A private folder for the library tests, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace pictorelle {

class TLibraryFolder {
public:
    TLibraryFolder() {
        char pattern[] = "/tmp/pictorelle-library-XXXXXX";
        root_ = ::mkdtemp(pattern);
    }
    ~TLibraryFolder() {
        std::error_code ignored;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    TLibraryFolder(const TLibraryFolder&) = delete;
    TLibraryFolder& operator=(const TLibraryFolder&) = delete;

    const std::string& Root() const { return root_; }
    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
    // An empty file, with the folders above it.
    void Touch(const std::string& relative) const {
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
        std::ofstream(Path(relative)).put('\0');
    }

private:
    std::string root_;
};

} // namespace pictorelle

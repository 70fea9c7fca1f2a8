// A photo library kept in folders by year and month becomes one show with --recursive: every
// picture below the folder in path order, hidden files and folders left out, a link back up
// the tree walked once. A folder too large for a show is refused by its size, before anything
// is written.
#include "Run.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace pictorelle::test {
namespace {

namespace fs = std::filesystem;

// Enough of a PNG for the packer to take it as one: its signature.
void WritePngHead(const fs::path& path) {
    fs::create_directories(path.parent_path());
    WriteText(path.string(), std::string("\x89PNG\r\n\x1A\n", 8));
}

std::vector<std::string> ItemFiles(const std::string& manifest) {
    std::ifstream in(manifest);
    const nlohmann::json json = nlohmann::json::parse(in);
    std::vector<std::string> files;
    for (const auto& item : json["Items"])
        files.push_back(fs::path(item["File"].get<std::string>()).lexically_normal().string());
    return files;
}

TEST(FolderTree, RecursiveTakesSubfoldersInPathOrderAndSkipsHiddenAndLoops) {
    ScratchDir dir;
    const fs::path lib = dir / "library";
    const fs::path top = dir.path();
    WritePngHead(lib / "z-top.png");
    WritePngHead(lib / "2023/12/b.png");
    WritePngHead(lib / "2023/12/a.png");
    WritePngHead(lib / "2024/01/c.png");
    WritePngHead(lib / "2024/.thumbnails/t.png");
    WritePngHead(lib / "2024/.hidden.png");
    fs::create_directory_symlink("..", lib / "2024/01/back-up"); // a loop
    WritePngHead(top / "elsewhere/linked.png");
    fs::create_directory_symlink(top / "elsewhere", lib / "2024/linked");

    const RunResult made =
        RunProgram(BinPath("pictorelle-pack"), {"--pictures", lib.string(), "--recursive",
                                                "--write-manifest", dir / "show.json"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string real = lib.string();
    EXPECT_EQ(ItemFiles(dir / "show.json"),
              (std::vector<std::string>{
                  real + "/2023/12/a.png", real + "/2023/12/b.png", real + "/2024/01/c.png",
                  (lib / "2024/linked/linked.png").string(), real + "/z-top.png"}));

    // Without --recursive only the folder's own files.
    ASSERT_EQ(RunProgram(BinPath("pictorelle-pack"),
                         {"--pictures", lib.string(), "--write-manifest", dir / "flat.json"})
                  .status,
              0);
    EXPECT_EQ(ItemFiles(dir / "flat.json"), (std::vector<std::string>{real + "/z-top.png"}));
}

// Two sparse 1.1 GB pictures: the message names the size and the limit, and no show or
// manifest is written.
TEST(FolderTree, AFolderTooLargeForAShowIsRefusedBeforeAnythingIsWritten) {
    ScratchDir dir;
    for (const char* name : {"a.png", "b.png"}) {
        const fs::path file = fs::path(dir / "big") / name;
        WritePngHead(file);
        fs::resize_file(file, 1'100'000'000);
    }
    const RunResult made =
        RunProgram(BinPath("pictorelle-pack"), {"--pictures", dir / "big", "--write-manifest",
                                                dir / "show.json", "-o", dir / "show.scr"});
    EXPECT_EQ(made.status, 1);
    EXPECT_NE(made.err.find("(2200000000 bytes)"), std::string::npos) << made.err;
    EXPECT_NE(made.err.find("limit is 2 GiB (2147483647 bytes)"), std::string::npos) << made.err;
    EXPECT_FALSE(fs::exists(dir / "show.json"));
    EXPECT_FALSE(fs::exists(dir / "show.scr"));
}

} // namespace
} // namespace pictorelle::test

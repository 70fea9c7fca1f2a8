// A photo library kept in folders by year and month becomes one show with --recursive: every
// picture below the folder in path order, hidden files and folders left out, a link back up
// the tree walked once. A folder too large for a show is refused by its size, before anything
// is written.
#include "Run.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"

#include <QImage>
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

// The JPEG at path marked "turn me 90 degrees clockwise" (EXIF orientation 6), as cameras
// store portrait photos: an APP1 segment with a one-entry directory, right after SOI.
void MarkTurned(const std::string& path) {
    std::vector<uint8_t> jpeg = ReadWholeFile(path);
    const std::vector<uint8_t> app1 = {0xFF, 0xE1, 0x00, 0x22, 'E',  'x',  'i',  'f',  0,
                                       0,    'M',  'M',  0x00, 0x2A, 0x00, 0x00, 0x00, 0x08,
                                       0x00, 0x01, 0x01, 0x12, 0x00, 0x03, 0x00, 0x00, 0x00,
                                       0x01, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    WriteBytes(path, jpeg);
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

// With --max-size a large photo (stored turned) comes out upright as a smaller JPEG, a large
// transparent PNG as a smaller PNG that keeps its transparency, and what already fits, or
// animates, is packed byte for byte.
TEST(FolderTree, MaxSizeMakesLargePicturesFitAndLeavesTheRestAlone) {
    ScratchDir dir;
    const fs::path pics = dir / "pics";
    fs::create_directories(pics);
    auto make = [](std::vector<std::string> args) {
        ASSERT_EQ(RunProgram("convert", args).status, 0);
    };
    // 1200x900 as stored, 900x1200 upright: fits 800x600 as 450x600.
    make({"-size", "1200x900", "gradient:red-blue", pics / "a-photo.jpg"});
    MarkTurned(pics / "a-photo.jpg");
    make({"-size", "1000x500", "xc:rgba(0,128,255,0.5)",
          "PNG32:" + (pics / "b-clear.png").string()});
    make({"-size", "120x80", "xc:green", pics / "c-small.png"});
    make({"-size", "1000x1000", "xc:yellow", pics / "d-still.gif"});

    const RunResult made = RunProgram(BinPath("pictorelle-pack"),
                                      {"--pictures", pics, "--max-size", "800x600", "-o",
                                       dir / "show.scr", "--write-manifest", dir / "show.json"});
    ASSERT_EQ(made.status, 0) << made.err;
    // The manifest kept for editing names the folder's own files.
    EXPECT_EQ(ItemFiles(dir / "show.json"),
              (std::vector<std::string>{pics / "a-photo.jpg", pics / "b-clear.png",
                                        pics / "c-small.png", pics / "d-still.gif"}));

    const std::string show = dir / "show.scr";
    const Package p = ReadPackage(FileSource(show));
    ASSERT_EQ(p.Items.size(), 4u);
    auto extract = [&](size_t i) {
        const std::string out = dir / ("item" + std::to_string(i) + p.Items[i].Ext);
        ExtractEntry(show, out, p.Items[i].Compressed(), p.EntryOffset(p.Items[i]),
                     p.Items[i].StoredSize, p.Items[i].DataSize);
        return out;
    };
    auto sizeOf = [](const std::string& file) {
        return RunProgram("identify", {"-format", "%m %wx%h", file}).out;
    };
    EXPECT_EQ(p.Items[0].Ext, ".jpg");
    EXPECT_EQ(sizeOf(extract(0)), "JPEG 450x600");
    EXPECT_EQ(p.Items[1].Ext, ".png");
    const std::string clear = extract(1);
    EXPECT_EQ(sizeOf(clear), "PNG 800x400");
    const QImage image(QString::fromStdString(clear));
    ASSERT_TRUE(image.hasAlphaChannel());
    EXPECT_NEAR(qAlpha(image.pixel(400, 200)), 128, 2);
    EXPECT_EQ(ReadWholeFile(extract(2)), ReadWholeFile(pics / "c-small.png"));
    EXPECT_EQ(ReadWholeFile(extract(3)), ReadWholeFile(pics / "d-still.gif"));
}

TEST(FolderTree, MaxSizeRefusesWhatIsNotABoxWithTheReason) {
    ScratchDir dir;
    WritePngHead(dir / "pics/a.png");
    for (const char* size :
         {"800", "0x600", "800x", "x600", "800x600x2", "-8x6", "40000x10", "8 x6"}) {
        const RunResult r =
            RunProgram(BinPath("pictorelle-pack"),
                       {"--pictures", dir / "pics", "--max-size", size, "-o", dir / "show.scr"});
        EXPECT_EQ(r.status, 2) << size;
        EXPECT_NE(r.err.find("is not a size such as 1920x1080"), std::string::npos) << r.err;
    }
    // Its pictures would be gone before anyone could pack the manifest.
    const RunResult kept =
        RunProgram(BinPath("pictorelle-pack"), {"--pictures", dir / "pics", "--max-size", "800x600",
                                                "--write-manifest", dir / "show.json"});
    EXPECT_EQ(kept.status, 2);
    EXPECT_NE(kept.err.find("--max-size needs -o SHOW"), std::string::npos) << kept.err;
    EXPECT_FALSE(fs::exists(dir / "show.json"));
    // And it belongs to the folder mode.
    EXPECT_EQ(RunProgram(BinPath("pictorelle-pack"),
                         {"show.json", "--max-size", "800x600", "-o", dir / "show.scr"})
                  .status,
              2);
}

} // namespace
} // namespace pictorelle::test

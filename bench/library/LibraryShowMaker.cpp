// Makes a library show for the start-time script: the player with a package appended whose
// pictures are a folder's (subfolders too), five seconds each, ended by any key.
//   pictorelle-library-show-maker PLAYER FOLDER OUT
#include "package/ByteSource.h"
#include "package/LibraryShow.h"
#include "package/PackageWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace pictorelle;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PLAYER FOLDER OUT\n", argv[0]);
        return 2;
    }
    PackageContent c;
    c.Header.Seconds = 5;
    c.Header.GradientStyle = 1;
    c.Header.BackColor = c.Header.BackColor2 = 0x00603020;
    c.Header.ExitKeyboard = c.Header.ExitESC = true;
    c.Header.LogoTransparentColor = kNoColorValue;
    c.Strings[StringId::SaverTitle] = "Library start";
    TLibraryShow show;
    show.Folder = std::filesystem::absolute(argv[2]).string();
    show.Recursive = true;
    StoreLibraryShow(show, c.Strings);
    std::vector<uint8_t> bytes = ReadWholeFile(argv[1]);
    const std::vector<uint8_t> package = WritePackage(c);
    bytes.insert(bytes.end(), package.begin(), package.end());
    std::ofstream(argv[3], std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::filesystem::permissions(argv[3], std::filesystem::perms::owner_all);
    return 0;
}

// pictorelle-pack: builds a runnable show from a JSON manifest or a folder of pictures, or
// prints a show's package.
//   pictorelle-pack MANIFEST.json -o SHOW [--player PATH]
//   pictorelle-pack --pictures DIR [--recursive] [--music DIR] [--title T] [--seconds N]
//                   [--effects LIST] [--captions] [--write-manifest FILE] -o SHOW
//                   [--player PATH]
//   pictorelle-pack --dump SHOW
#include "Dump.h"
#include "FolderShow.h"
#include "Manifest.h"
#include "Orientation.h"
#include "core/Error.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace pictorelle;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: pictorelle-pack MANIFEST.json -o SHOW [--player PATH]\n"
    "       pictorelle-pack --pictures DIR [--recursive] [--music DIR] [--title T] [--seconds N]\n"
    "                       [--effects LIST] [--captions] [--write-manifest FILE]\n"
    "                       [-o SHOW] [--player PATH]\n"
    "       pictorelle-pack --dump SHOW\n";

// The bare player is installed beside the packer.
std::string DefaultPlayer() {
    std::error_code ec;
    const auto self = fs::read_symlink("/proc/self/exe", ec);
    return (ec ? fs::path("pictorelle") : self.parent_path() / "pictorelle").string();
}

bool CarriesPackage(const std::vector<uint8_t>& file) {
    if (file.size() < kPackageMagic.size()) return false;
    return std::equal(kPackageMagic.begin(), kPackageMagic.end(),
                      file.end() - static_cast<std::ptrdiff_t>(kPackageMagic.size()));
}

bool IsJpeg(std::string ext) {
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".jpg" || ext == ".jpeg";
}

int Pack(const std::string& manifest, const std::string& output, const std::string& player) {
    PackageContent content = LoadManifest(manifest);
    // Photos stored turned stand upright on screen.
    for (auto& item : content.Items)
        if (IsJpeg(item.Record.Ext)) item.Data = UprightJpeg(item.Data);
    std::vector<uint8_t> file = ReadWholeFile(player);
    if (CarriesPackage(file)) throw PictorelleError(player + " already carries a package");
    const auto package = WritePackage(content);
    if (file.size() + package.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw PictorelleError("the show would be " + std::to_string(file.size() + package.size()) +
                              " bytes, more than the package's limit of 2 GiB (" +
                              std::to_string(std::numeric_limits<int32_t>::max()) + " bytes)");
    file.insert(file.end(), package.begin(), package.end());

    // Write beside the target and rename, so a failed run never leaves half a show.
    TempFile partial(output + ".partial");
    {
        std::ofstream out(partial.Path(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out.flush()) throw PictorelleError("cannot write " + partial.Path());
    }
    ::chmod(partial.Path().c_str(), 0755);
    fs::rename(partial.Path(), output);
    partial.Keep(); // it is the show now
    return 0;
}

int Seconds(const std::string& text) {
    size_t used = 0;
    int value = 0;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < 1 || value > 86400)
        throw ManifestError("--seconds: \"" + text + "\" is not a number of seconds 1 to 86400");
    return value;
}

int Dump(const std::string& show) {
    FileSource file(show);
    std::cout << DumpPackage(ReadPackage(file)).dump(2) << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 1 && args[0] == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (args.size() == 1 && args[0] == "--version") {
            std::cout << "pictorelle-pack " << PICTORELLE_VERSION << '\n';
            return 0;
        }
        if (args.size() == 2 && args[0] == "--dump") return Dump(args[1]);
        std::string manifest, output, player, writeManifest;
        std::optional<TFolderShowOptions> folder;
        auto folderOptions = [&]() -> TFolderShowOptions& {
            if (!folder) folder.emplace();
            return *folder;
        };
        for (size_t i = 0; i < args.size(); ++i) {
            const bool hasValue = i + 1 < args.size();
            const std::string& a = args[i];
            if (a == "-o" && hasValue)
                output = args[++i];
            else if (a == "--player" && hasValue)
                player = args[++i];
            else if (a == "--pictures" && hasValue)
                folderOptions().pictures = args[++i];
            else if (a == "--music" && hasValue)
                folderOptions().music = args[++i];
            else if (a == "--title" && hasValue)
                folderOptions().title = args[++i];
            else if (a == "--seconds" && hasValue)
                folderOptions().seconds = Seconds(args[++i]);
            else if (a == "--effects" && hasValue)
                folderOptions().effects = ParseEffectList(args[++i]);
            else if (a == "--captions")
                folderOptions().captions = true;
            else if (a == "--recursive")
                folderOptions().recursive = true;
            else if (a == "--write-manifest" && hasValue)
                writeManifest = args[++i];
            else if (manifest.empty() && !a.starts_with("-"))
                manifest = a;
            else {
                std::cerr << kUsage;
                return 2;
            }
        }
        // A folder's show: its manifest is made here, then packed like any other.
        if (folder) {
            if (!manifest.empty() || folder->pictures.empty() ||
                (output.empty() && writeManifest.empty())) {
                std::cerr << kUsage;
                return 2;
            }
            // Made before the file is opened: a folder that cannot make a show leaves nothing.
            const std::string made = FolderManifest(*folder).dump(2);
            manifest = writeManifest.empty() ? TempFilePath("manifest.json") : writeManifest;
            std::ofstream out(manifest, std::ios::trunc);
            out << made << '\n';
            if (!out.flush()) throw PictorelleError("cannot write " + manifest);
            if (output.empty()) return 0;
        } else if (manifest.empty() || output.empty() || !writeManifest.empty()) {
            std::cerr << kUsage;
            return 2;
        }
        return Pack(manifest, output, player.empty() ? DefaultPlayer() : player);
    } catch (const PackageError& e) {
        std::cerr << "pictorelle-pack: not a show with a readable package (" << e.what() << ")\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "pictorelle-pack: " << e.what() << '\n';
        return 1;
    }
}

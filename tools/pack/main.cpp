// pictorelle-pack: builds a runnable show from a JSON manifest, or prints a show's package.
//   pictorelle-pack MANIFEST.json -o SHOW [--player PATH]
//   pictorelle-pack --dump SHOW
#include "Dump.h"
#include "Manifest.h"
#include "core/Error.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace pictorelle;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: pictorelle-pack MANIFEST.json -o SHOW [--player PATH]\n"
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

int Pack(const std::string& manifest, const std::string& output, const std::string& player) {
    const PackageContent content = LoadManifest(manifest);
    std::vector<uint8_t> file = ReadWholeFile(player);
    if (CarriesPackage(file)) throw PictorelleError(player + " already carries a package");
    const auto package = WritePackage(content);
    if (file.size() + package.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw PictorelleError("the show would be larger than 2 GiB");
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

int Dump(const std::string& show) {
    FileSource file(show);
    std::cout << DumpPackage(ReadPackage(file)).dump(2) << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 2 && args[0] == "--dump") return Dump(args[1]);
        std::string manifest, output, player;
        for (size_t i = 0; i < args.size(); ++i) {
            const bool hasValue = i + 1 < args.size();
            if (args[i] == "-o" && hasValue) output = args[++i];
            else if (args[i] == "--player" && hasValue) player = args[++i];
            else if (manifest.empty() && !args[i].starts_with("-")) manifest = args[i];
            else {
                std::cerr << kUsage;
                return 2;
            }
        }
        if (manifest.empty() || output.empty()) {
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

// pictorelle-pack: builds a runnable show from a JSON manifest or a folder of pictures, or
// prints a show's package.
//   pictorelle-pack MANIFEST.json -o SHOW [--player PATH] [--allow-broken] [--allow-empty]
//   pictorelle-pack --pictures DIR [--recursive] [--music DIR] [--title T] [--seconds N]
//                   [--effects LIST] [--captions] [--max-size WxH] [--write-manifest FILE]
//                   -o SHOW [--player PATH]
//   pictorelle-pack --library DIR [--recursive] [--captions TEMPLATE] [--music DIR] [--title T]
//                   [--seconds N] [--effects LIST] [--write-manifest FILE] -o SHOW
//   pictorelle-pack --dump SHOW
#include "Dump.h"
#include "FitPicture.h"
#include "FolderShow.h"
#include "Manifest.h"
#include "Orientation.h"
#include "core/Error.h"
#include "imaging/Decode.h"
#include "package/CodePage.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace pictorelle;
namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: pictorelle-pack MANIFEST.json -o SHOW [--player PATH] [--allow-broken]\n"
    "                       [--allow-empty]\n"
    "       pictorelle-pack --pictures DIR [--recursive] [--music DIR] [--title T] [--seconds N]\n"
    "                       [--effects LIST] [--captions] [--max-size WxH]\n"
    "                       [--write-manifest FILE] [-o SHOW] [--player PATH]\n"
    "       pictorelle-pack --library DIR [--recursive] [--captions TEMPLATE] [--music DIR]\n"
    "                       [--title T] [--seconds N] [--effects LIST]\n"
    "                       [--write-manifest FILE] [-o SHOW] [--player PATH]\n"
    "       pictorelle-pack --dump SHOW\n";

constexpr const char* kOptions =
    "\n"
    "Makes a show (a copy of the player with a package appended) from a JSON manifest or a\n"
    "folder of pictures, or prints a show's package as JSON.\n"
    "\n"
    "  -o SHOW               the show to write\n"
    "  --player PATH         the bare player to copy (default: pictorelle beside the packer)\n"
    "  --allow-broken        pack items whose file is not the picture, video or movie its\n"
    "                        extension says, with a warning, instead of failing\n"
    "  --allow-empty         pack a manifest that says \"Items\": [] (a background only)\n"
    "  --pictures DIR        every picture and video of DIR, in file-name order\n"
    "  --library DIR         a library show: the pictures of DIR played where they lie,\n"
    "                        listed by the show each time it starts; none is packed\n"
    "  --recursive           with --pictures or --library: its subfolders too, in path order\n"
    "  --music DIR           DIR's sound files (MIDI, MP3, WAV, WMA, Ogg, Opus, FLAC, AAC)\n"
    "                        as the show's playlist\n"
    "  --title T             the show's title (default: the folder's name); each user's\n"
    "                        settings are kept under it\n"
    "  --seconds N           seconds a picture, 1 to 86400 (default 5)\n"
    "  --effects LIST        the transition effects to draw from, such as 1-10,69,115\n"
    "                        (default: all 120)\n"
    "  --captions            with --pictures: each file's name without its extension as\n"
    "                        its caption\n"
    "  --captions TEMPLATE   with --library: each picture's caption, such as\n"
    "                        \"{taken:%e %B %Y} · {folder}\" ({file}, {name}, {folder},\n"
    "                        {path}, {taken} or {taken:FORMAT})\n"
    "  --max-size WxH        pictures larger than WxH written again to fit it, upright, as\n"
    "                        JPEG (PNG when transparent); animations and SVG stay as they are\n"
    "  --write-manifest FILE keep the manifest made for the folder; without -o only that\n"
    "  --dump SHOW           print the show's package as JSON\n"
    "  --help, --version     this text; the packer's version\n";

// A command line that cannot be run: the reason, then how the packer is used.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bare player is installed beside the packer.
std::string DefaultPlayer() {
    std::error_code ec;
    const auto self = fs::read_symlink("/proc/self/exe", ec);
    return (ec ? fs::path("pictorelle") : self.parent_path() / "pictorelle").string();
}

// The manifest's documentation is installed beside the packer's prefix.
std::string ManifestDocs() {
    std::error_code ec;
    const auto self = fs::read_symlink("/proc/self/exe", ec);
    const fs::path installed =
        self.parent_path().parent_path() / "share/doc/pictorelle/manifest.md";
    if (!ec && fs::exists(installed, ec)) return installed.lexically_normal().string();
    return "PREFIX/share/doc/pictorelle/manifest.md (docs/manifest.md in the sources)";
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

int Pack(const std::string& manifest, const std::string& output, const std::string& player,
         TManifestChecks checks, const std::optional<std::string>& libraryFolder) {
    checks.warn = [](const std::string& what) { std::cerr << "pictorelle-pack: " << what << '\n'; };
    PackageContent content = LoadManifest(manifest, checks, libraryFolder);
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

// What each option that takes a value expects after it.
const char* ValueOf(const std::string& option) {
    if (option == "-o") return "the show to write";
    if (option == "--player") return "the player to copy";
    if (option == "--pictures" || option == "--music" || option == "--library") return "a folder";
    if (option == "--title") return "a title";
    if (option == "--seconds") return "a number of seconds";
    if (option == "--effects") return "a list of effects such as 1-10,69";
    if (option == "--write-manifest") return "a file name";
    if (option == "--max-size") return "a size such as 1920x1080";
    if (option == "--dump") return "a show";
    return nullptr;
}

struct TCommand {
    std::string manifest, output, player, writeManifest, dump;
    std::optional<TFolderShowOptions> folder;
    std::vector<std::string> folderOnly; // folder options given, for the reason when misplaced
    TManifestChecks checks;
};

bool IsFlag(const std::string& option) {
    return option == "--captions" || option == "--recursive" || option == "--allow-broken" ||
           option == "--allow-empty" || option == "--help" || option == "--version";
}

TCommand ParseCommand(const std::vector<std::string>& args) {
    TCommand c;
    // A library's captions are written from a template; a folder show's are the file names.
    const bool library = std::find(args.begin(), args.end(), "--library") != args.end();
    auto folderOptions = [&](const std::string& option) -> TFolderShowOptions& {
        if (option != "--pictures" && option != "--library") c.folderOnly.push_back(option);
        if (!c.folder) c.folder.emplace();
        return *c.folder;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (const char* wanted = ValueOf(a)) {
            if (i + 1 >= args.size()) throw UsageError(a + " needs " + wanted);
            const std::string& value = args[++i];
            if (a == "-o")
                c.output = value;
            else if (a == "--player")
                c.player = value;
            else if (a == "--write-manifest")
                c.writeManifest = value;
            else if (a == "--dump")
                c.dump = value;
            else if (a == "--pictures")
                folderOptions(a).pictures = value;
            else if (a == "--library")
                folderOptions(a).library = value;
            else if (a == "--music")
                folderOptions(a).music = value;
            else if (a == "--title")
                folderOptions(a).title = value;
            else if (a == "--seconds")
                folderOptions(a).seconds = Seconds(value);
            else if (a == "--effects")
                folderOptions(a).effects = ParseEffectList(value);
            else if (a == "--max-size") {
                folderOptions(a).maxSize = ParseBoxSize(value);
                if (!folderOptions(a).maxSize)
                    throw UsageError("--max-size: \"" + value +
                                     "\" is not a size such as 1920x1080 (width and height 1 to " +
                                     std::to_string(kMaxPictureSide) + ")");
            }
        } else if (a == "--captions" && library) {
            if (i + 1 >= args.size() || ValueOf(args[i + 1]) || IsFlag(args[i + 1]))
                throw UsageError("--captions needs a caption template with --library, such as "
                                 "\"{name}\" or \"{taken:%e %B %Y} · {folder}\"");
            const std::string& text = args[++i];
            if (!IsValidUtf8(text)) throw UsageError("--captions: the template is not UTF-8 text");
            folderOptions(a).captionTemplate = text;
        } else if (a == "--captions") {
            folderOptions(a).captions = true;
        } else if (a == "--recursive") {
            folderOptions(a).recursive = true;
        } else if (a == "--allow-broken") {
            c.checks.allowBroken = true;
        } else if (a == "--allow-empty") {
            c.checks.allowEmpty = true;
        } else if (a.starts_with("-")) {
            throw UsageError("unknown option " + a);
        } else if (!c.manifest.empty()) {
            throw UsageError("one manifest at a time: " + c.manifest + " and " + a);
        } else {
            c.manifest = a;
        }
    }
    if (!c.dump.empty()) {
        if (args.size() != 2) throw UsageError("--dump SHOW takes nothing else");
        return c;
    }
    if (c.folder) {
        const bool isLibrary = !c.folder->library.empty();
        if (isLibrary && !c.folder->pictures.empty())
            throw UsageError("--library and --pictures exclude each other: a show either "
                             "carries its pictures or plays them from their folder");
        if (c.folder->pictures.empty() && !isLibrary)
            throw UsageError(c.folderOnly.empty()
                                 ? std::string("--pictures needs a folder")
                                 : c.folderOnly.front() +
                                       " goes with --pictures DIR or --library DIR");
        const std::string kind = isLibrary ? "--library" : "--pictures";
        if (isLibrary && c.folder->maxSize)
            throw UsageError("--max-size goes with --pictures DIR: a library's pictures are not "
                             "packed");
        if (!c.manifest.empty())
            throw UsageError(kind + " makes its own manifest; " + c.manifest +
                             " cannot go with it");
        if (c.output.empty() && c.writeManifest.empty())
            throw UsageError(kind + " needs -o SHOW (or --write-manifest FILE)");
        // The smaller pictures live only while the show is packed.
        if (c.folder->maxSize && c.output.empty())
            throw UsageError("--max-size needs -o SHOW: the pictures it makes are not kept");
        return c;
    }
    if (c.manifest.empty())
        throw UsageError("nothing to pack: give a manifest, --pictures DIR or --library DIR");
    if (!c.writeManifest.empty())
        throw UsageError("--write-manifest goes with --pictures DIR or --library DIR");
    if (c.output.empty()) throw UsageError(c.manifest + " needs -o SHOW, the show to write");
    return c;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() == 1 && args[0] == "--help") {
            std::cout << kUsage << kOptions
                      << "\nThe manifest's format: pictorelle-pack(1), and in full\n  "
                      << ManifestDocs() << '\n';
            return 0;
        }
        if (args.size() == 1 && args[0] == "--version") {
            std::cout << "pictorelle-pack " << PICTORELLE_VERSION << '\n';
            return 0;
        }
        TCommand c = ParseCommand(args);
        if (!c.dump.empty()) return Dump(c.dump);
        std::string manifest = c.manifest;
        std::optional<std::string> libraryFolder;
        auto write = [](const std::string& path, const nlohmann::json& json) {
            std::ofstream out(path, std::ios::trunc);
            out << json.dump(2) << '\n';
            if (!out.flush()) throw PictorelleError("cannot write " + path);
        };
        // A library's show: its manifest names the folder, which is checked and never read.
        if (c.folder && !c.folder->library.empty()) {
            const nlohmann::json made = LibraryManifest(*c.folder);
            libraryFolder = LibraryFolderPath(c.folder->library);
            if (!c.writeManifest.empty()) {
                // A manifest holds UTF-8 text only: it would name another folder.
                if (!IsValidUtf8(*libraryFolder))
                    throw ManifestError("--write-manifest: the folder's name " +
                                        ValidUtf8(*libraryFolder) +
                                        " is not UTF-8, which a manifest cannot hold");
                write(c.writeManifest, made);
            }
            if (c.output.empty()) return 0;
            manifest = TempFilePath("manifest.json");
            write(manifest, made);
        } else if (c.folder) {
            // A folder's show: its manifest is made here, then packed like any other.
            // Made before the file is opened: a folder that cannot make a show leaves nothing.
            if (c.folder->maxSize) {
                c.folder->fitFolder = TempFolder() + "fitted";
                fs::create_directories(c.folder->fitFolder);
            }
            std::vector<std::string> originals;
            nlohmann::json made = FolderManifest(*c.folder, &originals);
            if (c.output.empty()) {
                write(c.writeManifest, made);
                return 0;
            }
            manifest = TempFilePath("manifest.json");
            write(manifest, made);
            // The manifest kept for editing names the folder's own files, not the smaller
            // copies that go when the packer ends.
            if (!c.writeManifest.empty()) {
                for (size_t i = 0; i < originals.size(); ++i)
                    made["Items"][i]["File"] = originals[i];
                write(c.writeManifest, made);
            }
        }
        return Pack(manifest, c.output, c.player.empty() ? DefaultPlayer() : c.player, c.checks,
                    libraryFolder);
    } catch (const UsageError& e) {
        std::cerr << "pictorelle-pack: " << e.what() << '\n' << kUsage;
        return 2;
    } catch (const PackageError& e) {
        std::cerr << "pictorelle-pack: not a show with a readable package (" << e.what() << ")\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "pictorelle-pack: " << e.what() << '\n';
        return 1;
    }
}

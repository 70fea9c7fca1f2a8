// Feeds arbitrary bytes to the packer's manifest reader as a manifest file, in a folder that
// holds a few small files for it to name. A bad manifest must end as ManifestError; whatever
// the reader accepts must pack, and the package must read back with the same counts.
#include "Manifest.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

using namespace pictorelle;

void Put(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A private folder with the files that seeds and mutations name.
const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/manifest-fuzz-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        const std::string dir = std::string(pattern) + "/";
        for (const char* name : {"a.jpg", "b.png", "c.gif", "d.bmp", "s.wav", "m.mid", "p.bmp"})
            Put(dir + name, std::string(64, 'x') + name);
        return dir;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Folder() + "manifest.json";
    Put(path, std::string_view(reinterpret_cast<const char*>(data), size));
    PackageContent content;
    try {
        // The files here are not real pictures: the reader and the writer are what is tried.
        content = LoadManifest(path, {.allowBroken = true, .allowEmpty = true, .warn = {}});
    } catch (const ManifestError&) {
        return 0;
    }
    std::vector<uint8_t> package;
    try {
        package = WritePackage(content);
    } catch (const std::length_error&) {
        return 0; // a text too long for the block: refused by the writer, as documented
    }
    const Package read = ReadPackage(MemorySource(package));
    if (read.Items.size() != content.Items.size() || read.Masks.size() != content.Masks.size() ||
        read.EnterSounds.size() != content.EnterSounds.size() ||
        read.Melodies.size() != content.Melodies.size())
        std::abort();
    return 0;
}

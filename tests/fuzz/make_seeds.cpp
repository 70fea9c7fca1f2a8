// Writes a few well-formed packages as the fuzzer's starting corpus; given the picture seeds'
// folder too, one more whose items and masks are those pictures, so that the fuzzer starts
// from entries the decoders take.
#include "package/PackageWriter.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace pictorelle;

namespace {

void Save(const std::filesystem::path& dir, const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + (i % 13) * (i % 7));
    return v;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) return 2;
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    Save(dir, "empty", WritePackage(PackageContent{}));

    PackageContent full;
    full.Strings[StringId::SaverTitle] = "Seed";
    full.Strings[StringId::Effect] = "\x01\x45\x46";
    full.Preview = Bytes(40, 1);
    full.Banner = Bytes(30, 2);
    full.Logo = Bytes(200, 3);
    full.Background = Bytes(300, 4);
    full.ExitBanner = Bytes(100, 5);
    ItemRecord item;
    item.Ext = ".jpg";
    item.CaptionText = "Caption";
    full.Items.push_back({item, Bytes(500, 6)});
    full.Items.push_back({item, {1, 2, 3}});
    full.Masks.push_back({MaskRecord{}, Bytes(64, 7)});
    EnterSoundRecord sound;
    sound.Ext = ".wav";
    full.EnterSounds.push_back({sound, Bytes(80, 8)});
    MelodyRecord melody;
    melody.Ext = ".mp3";
    full.Melodies.push_back({melody, Bytes(400, 9)});
    Save(dir, "full", WritePackage(full));

    if (argc == 3) {
        PackageContent pictures;
        for (const char* format : {"jpg", "png", "gif", "tif", "bmp", "ico"}) {
            const std::filesystem::path folder = std::filesystem::path(argv[2]) / format;
            if (!std::filesystem::is_directory(folder)) continue;
            for (const auto& file : std::filesystem::directory_iterator(folder)) {
                std::ifstream in(file.path(), std::ios::binary);
                const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
                ItemRecord picture;
                picture.Ext = "." + std::string(format);
                pictures.Items.push_back({picture, data});
                if (std::string(format) == "png") {
                    MaskRecord mask;
                    mask.MaskType = 1;
                    pictures.Masks.push_back({mask, data});
                }
            }
        }
        Save(dir, "pictures", WritePackage(pictures));
    }
    return 0;
}

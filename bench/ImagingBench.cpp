// Loading an item happens on the user-interface thread between two pictures: extracting a
// large photo from the package, decoding it and composing the frame must stay quick, and so
// must painting a background per item.
#include "core/Bitmap32.h"
#include "imaging/ColourProfile.h"
#include "imaging/Decode.h"
#include "imaging/Gradient.h"
#include "imaging/PictureItem.h"
#include "package/ByteSource.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <vector>

using namespace pictorelle;

namespace {

constexpr int kPhotoW = 6000;
constexpr int kPhotoH = 4000;

// A photo-like picture: smooth shading with some fine texture, so that the JPEG has a
// realistic size and the decoder realistic work.
std::vector<uint8_t> encodePhoto() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kPhotoW;
    cinfo.image_height = kPhotoH;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t{kPhotoW} * 3);
    uint32_t noise = 12345;
    while (cinfo.next_scanline < cinfo.image_height) {
        const unsigned y = cinfo.next_scanline;
        for (unsigned x = 0; x < kPhotoW; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const unsigned grain = (noise >> 28) & 0x0F;
            row[x * 3] = static_cast<uint8_t>((x * 255 / kPhotoW + grain) & 0xFF);
            row[x * 3 + 1] = static_cast<uint8_t>((y * 255 / kPhotoH + grain) & 0xFF);
            row[x * 3 + 2] = static_cast<uint8_t>(((x + y) / 40 % 2 ? 200 : 60) + grain);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// A player file holding the photo as its only item.
struct Show {
    std::string path;
    Package package;
};

const Show& show() {
    static const Show s = [] {
        PackageContent content;
        PackageEntry<ItemRecord> item;
        item.Record.Ext = ".jpg";
        item.Data = encodePhoto();
        content.Items.push_back(std::move(item));
        const std::vector<uint8_t> bytes = WritePackage(content);
        Show out;
        out.path = TempFolder() + "bench-player.bin";
        std::ofstream(out.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        out.package = ReadPackage(FileSource(out.path));
        return out;
    }();
    return s;
}

void BM_LoadPhotoItem(benchmark::State& state) {
    const Show& s = show();
    const ItemRecord& item = s.package.Items[0];
    TBitmap32 background(1920, 1080);
    PaintGradient(background, 1, 0x00402010, background.BoundsRect(), 0x00F0E0D0);
    const std::string path = TempFilePath("SSIMG", item.Ext);
    for (auto _ : state) {
        ExtractEntry(s.path, path, item.Compressed(), s.package.EntryOffset(item), item.StoredSize,
                     item.DataSize);
        TPictureItemInput in;
        in.item = &item;
        in.picturePath = path;
        in.paintBackground = [&background](TBitmap32& frame) { frame.Draw(0, 0, background); };
        in.frameWidth = 1920;
        in.frameHeight = 1080;
        in.sizeMode = 0;
        TPictureItem out = ComposePictureItem(in);
        benchmark::DoNotOptimize(out.frame.Bits());
        std::remove(path.c_str());
    }
}
BENCHMARK(BM_LoadPhotoItem)->Unit(benchmark::kMillisecond);

// The same photo decoded at full size, for comparison with the reduced decode above.
void BM_DecodePhotoFullSize(benchmark::State& state) {
    const Show& s = show();
    const ItemRecord& item = s.package.Items[0];
    const std::string path = TempFilePath("SSIMG", item.Ext);
    ExtractEntry(s.path, path, item.Compressed(), s.package.EntryOffset(item), item.StoredSize,
                 item.DataSize);
    for (auto _ : state) {
        TDecodedPicture d = DecodePicture(path);
        benchmark::DoNotOptimize(d.bitmap.Bits());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_DecodePhotoFullSize)->Unit(benchmark::kMillisecond);

// A camera's photo in Adobe RGB carries its profile in APP2 segments right after SOI.
std::vector<uint8_t> adobeRgbProfile() {
    std::ifstream in("/usr/share/color/icc/colord/AdobeRGB1998.icc", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> withProfile(std::vector<uint8_t> jpeg, const std::vector<uint8_t>& icc) {
    std::vector<uint8_t> app2 = {0xFF, 0xE2, 0,   0,   'I', 'C', 'C', '_', 'P',
                                 'R',  'O',  'F', 'I', 'L', 'E', 0,   1,   1};
    app2.insert(app2.end(), icc.begin(), icc.end());
    const size_t length = app2.size() - 2;
    app2[2] = static_cast<uint8_t>(length >> 8);
    app2[3] = static_cast<uint8_t>(length);
    jpeg.insert(jpeg.begin() + 2, app2.begin(), app2.end());
    return jpeg;
}

// The colour conversion's share of decoding a 24-megapixel photo: the same photo decoded from
// memory without and with its Adobe RGB profile embedded (converted while decoding), and the
// conversion alone. On a shared machine compare them in one run, repetitions interleaved:
//   pictorelle-bench --benchmark_filter='Photo(Without|With)Profile|ConvertPhoto'
//     --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
void decodeFromMemory(benchmark::State& state, bool profile) {
    const std::vector<uint8_t> icc = adobeRgbProfile();
    if (icc.empty()) {
        state.SkipWithError("colord's AdobeRGB1998.icc is not installed");
        return;
    }
    const std::vector<uint8_t> jpeg = profile ? withProfile(encodePhoto(), icc) : encodePhoto();
    for (auto _ : state) {
        TDecodedPicture d = DecodePictureData(jpeg, ".jpg");
        benchmark::DoNotOptimize(d.bitmap.Bits());
    }
}

void BM_DecodePhotoWithoutProfile(benchmark::State& state) {
    decodeFromMemory(state, false);
}
BENCHMARK(BM_DecodePhotoWithoutProfile)->Unit(benchmark::kMillisecond);

void BM_DecodePhotoWithProfile(benchmark::State& state) {
    decodeFromMemory(state, true);
}
BENCHMARK(BM_DecodePhotoWithProfile)->Unit(benchmark::kMillisecond);

void BM_ConvertPhotoToSrgb(benchmark::State& state) {
    const std::vector<uint8_t> icc = adobeRgbProfile();
    if (icc.empty()) {
        state.SkipWithError("colord's AdobeRGB1998.icc is not installed");
        return;
    }
    TDecodedPicture d = DecodePictureData(encodePhoto(), ".jpg");
    for (auto _ : state) {
        ConvertToSrgb(d.bitmap, icc);
        benchmark::DoNotOptimize(d.bitmap.Bits());
    }
}
BENCHMARK(BM_ConvertPhotoToSrgb)->Unit(benchmark::kMillisecond);

// The conversion's own cost, without the trip through memory: one row of the photo, in cache,
// converted as many times as the photo has rows.
void BM_ConvertPhotoRowsWarm(benchmark::State& state) {
    const std::vector<uint8_t> icc = adobeRgbProfile();
    if (icc.empty()) {
        state.SkipWithError("colord's AdobeRGB1998.icc is not installed");
        return;
    }
    TDecodedPicture d = DecodePictureData(encodePhoto(), ".jpg");
    TBitmap32 row(kPhotoW, 1);
    std::copy_n(d.bitmap.ScanLine(kPhotoH / 2), kPhotoW, row.ScanLine(0));
    for (auto _ : state) {
        for (int y = 0; y < kPhotoH; ++y)
            ConvertToSrgb(row, icc);
        benchmark::DoNotOptimize(row.Bits());
    }
}
BENCHMARK(BM_ConvertPhotoRowsWarm)->Unit(benchmark::kMillisecond);

void BM_PaintGradient(benchmark::State& state) {
    const int style = static_cast<int>(state.range(0));
    const int w = static_cast<int>(state.range(1));
    const int h = w == 1920 ? 1080 : 2160;
    TBitmap32 surface(w, h);
    for (auto _ : state) {
        PaintGradient(surface, style, 0x00402010, surface.BoundsRect(), 0x00F0E0D0);
        benchmark::DoNotOptimize(surface.Bits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_PaintGradient)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 10, 12}, {1920, 3840}})
    ->ArgNames({"style", "width"})
    ->Unit(benchmark::kMillisecond);

} // namespace

// What the decoders read besides pixels: the colour profile and EXIF block they hand on, and
// the bounds that keep a side chunk, marker or tag from costing more than the picture.
#include "ImagingFixtures.h"
#include "imaging/Decode.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <tiffio.h>
#include <zlib.h>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

// How far the process's peak resident memory rose while fn ran, in KiB; the peak is reset
// first, so only what fn made resident counts.
int64_t peakGrowthKiB(const std::function<void()>& fn) {
    auto read = [](const char* key) -> int64_t {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind(key, 0) == 0) return std::stoll(line.substr(std::string(key).size()));
        return -1;
    };
    std::ofstream("/proc/self/clear_refs") << "5";
    const int64_t before = read("VmRSS:");
    fn();
    return read("VmHWM:") - before;
}

void putBig32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>(v >> shift));
}

// A PNG chunk with its length and checksum; length overrides the one written (not the body).
Bytes pngChunk(const char* type, const Bytes& body, int64_t length = -1) {
    Bytes b;
    putBig32(b, static_cast<uint32_t>(length < 0 ? static_cast<int64_t>(body.size()) : length));
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), body.begin(), body.end());
    putBig32(b, static_cast<uint32_t>(crc32(0, b.data() + 4, static_cast<uInt>(body.size() + 4))));
    return b;
}

// The picture's PNG with the given chunks right after its header chunk.
Bytes pngWith(const TBitmap32& picture, const std::vector<Bytes>& chunks) {
    Bytes png = EncodePng(picture, false);
    auto at = png.begin() + 33; // signature and IHDR
    for (auto c = chunks.rbegin(); c != chunks.rend(); ++c)
        at = png.insert(at, c->begin(), c->end());
    return png;
}

Bytes deflated(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

// An RGB display profile of size bytes (a multiple of 4) with no tags: enough for libpng's
// checks of a profile's header; its tail is a pattern so that a misplaced byte shows.
Bytes iccProfile(uint32_t size) {
    Bytes p;
    putBig32(p, size);
    p.resize(size, 0);
    auto text = [&p](size_t at, const char* s) {
        std::copy(s, s + 4, p.begin() + static_cast<long>(at));
    };
    text(12, "mntr");
    text(16, "RGB ");
    text(20, "XYZ ");
    text(36, "acsp");
    p[8] = 4; // version 4
    const uint8_t d50[] = {0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
    std::copy(std::begin(d50), std::end(d50), p.begin() + 68);
    for (uint32_t i = 132; i < size; ++i)
        p[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return p;
}

// A big-endian EXIF block: its TIFF header and an empty directory.
Bytes exifBlock() {
    return {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9};
}

Bytes iccpBody(const Bytes& profile) {
    Bytes body = {'i', 'c', 'c', 0, 0};
    const Bytes packed = deflated(profile);
    body.insert(body.end(), packed.begin(), packed.end());
    return body;
}

// A JPEG marker of the given APP number whose body is tag followed by data.
Bytes appMarker(int n, const Bytes& tag, const Bytes& data) {
    const size_t length = 2 + tag.size() + data.size();
    Bytes m = {0xFF, static_cast<uint8_t>(0xE0 + n), static_cast<uint8_t>(length >> 8),
               static_cast<uint8_t>(length)};
    m.insert(m.end(), tag.begin(), tag.end());
    m.insert(m.end(), data.begin(), data.end());
    return m;
}

Bytes iccMarker(int sequence, int count, const Bytes& piece) {
    Bytes tag = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
    tag.push_back(static_cast<uint8_t>(sequence));
    tag.push_back(static_cast<uint8_t>(count));
    return appMarker(2, tag, piece);
}

Bytes jpegWith(const TBitmap32& picture, const std::vector<Bytes>& markers) {
    Bytes jpeg = EncodeJpeg(picture);
    auto at = jpeg.begin() + 2; // after the start-of-image marker
    for (auto m = markers.rbegin(); m != markers.rend(); ++m)
        at = jpeg.insert(at, m->begin(), m->end());
    return jpeg;
}

Bytes slice(const Bytes& b, size_t from, size_t count) {
    return Bytes(b.begin() + static_cast<long>(from),
                 b.begin() + static_cast<long>(std::min(from + count, b.size())));
}

Bytes foundFile(const std::string& name) {
    return ReadPictureFile(std::string(PICTORELLE_FUZZ_FOUND_DIR) + "/" + name);
}

} // namespace

TEST(DecodeSideData, PngHandsOnItsProfileAndExifAndSkipsWhatItDoesNotUse) {
    const TBitmap32 picture = PatternBitmap(23, 17);
    const Bytes profile = iccProfile(3000);
    const Bytes text(100 << 10, 'a'); // over the text cap, and of no use anyway
    const TDecodedPicture d = DecodePictureData(
        pngWith(picture, {pngChunk("tEXt", text), pngChunk("iCCP", iccpBody(profile)),
                          pngChunk("zzZz", Bytes(5000, 1)), pngChunk("eXIf", exifBlock())}),
        ".png");
    ExpectSamePixels(picture, d.bitmap);
    EXPECT_EQ(d.iccProfile, profile);
    EXPECT_EQ(d.exif, exifBlock());

    // A profile that inflates past its cap, and a side chunk that claims more than the file
    // holds: the picture without them.
    const Bytes tooLarge = iccpBody(iccProfile(static_cast<uint32_t>(kMaxIccProfileBytes + 4096)));
    const TDecodedPicture capped = DecodePictureData(
        pngWith(picture, {pngChunk("iCCP", tooLarge), pngChunk("eXIf", exifBlock())}), ".png");
    ExpectSamePixels(picture, capped.bitmap);
    EXPECT_TRUE(capped.iccProfile.empty());
    EXPECT_EQ(capped.exif, exifBlock());
}

// Found by fuzzing: 79 bytes whose text chunk claims 1.8 GB, which libpng allocated whole
// before finding the file too short.
TEST(DecodeSideData, APngTextChunkClaimingGigabytesCostsNothing) {
    const Bytes found = foundFile("png/text-chunk-claims-1.8-gb.png");
    ASSERT_EQ(found.size(), 79u);
    const int64_t grown =
        peakGrowthKiB([&] { EXPECT_THROW(DecodePictureData(found, ".png"), ImageError); });
    EXPECT_LT(grown, 16 << 10);

    // The same claim in front of a whole picture hides the rest of the file: refused, as cheaply.
    const TBitmap32 picture = PatternBitmap(23, 17);
    Bytes png = pngWith(picture, {});
    const Bytes liar = pngChunk("tEXt", {'d', 'a', 't', 'e'}, 0x6C0DA580);
    png.insert(png.begin() + 33, liar.begin(), liar.end());
    EXPECT_LT(peakGrowthKiB([&] { EXPECT_THROW(DecodePictureData(png, ".png"), ImageError); }),
              16 << 10);
}

TEST(DecodeSideData, JpegAssemblesItsProfileFromNumberedPiecesWithinTheCap) {
    const TBitmap32 picture = PatternBitmap(24, 16);
    const Bytes profile = iccProfile(150000); // three markers' worth
    const Bytes exifTag = {'E', 'x', 'i', 'f', 0, 0};
    const Bytes a = slice(profile, 0, 65000), b = slice(profile, 65000, 65000),
                c = slice(profile, 130000, 65000);
    // Pieces out of order, with an unrelated APP1 and APP2 between them.
    const TDecodedPicture d = DecodePictureData(
        jpegWith(picture, {iccMarker(2, 3, b), appMarker(1, {'h', 't', 't', 'p', 0}, Bytes(300, 1)),
                           appMarker(1, exifTag, exifBlock()), iccMarker(3, 3, c),
                           appMarker(2, {'M', 'P', 'F', 0}, Bytes(40, 2)), iccMarker(1, 3, a)}),
        ".jpg");
    EXPECT_EQ(d.natural, (TSize{24, 16}));
    EXPECT_EQ(d.iccProfile, profile);
    EXPECT_EQ(d.exif, exifBlock());

    // A missing piece, pieces that disagree on their count, or a chain of pieces past the cap:
    // the picture decodes without a profile.
    const std::vector<std::vector<Bytes>> broken = {
        {iccMarker(1, 3, a), iccMarker(3, 3, c)},
        {iccMarker(1, 2, a), iccMarker(2, 3, b)},
    };
    for (const auto& markers : broken) {
        const TDecodedPicture without = DecodePictureData(jpegWith(picture, markers), ".jpg");
        EXPECT_TRUE(without.iccProfile.empty());
        EXPECT_EQ(without.natural, (TSize{24, 16}));
    }
    std::vector<Bytes> chain;
    const Bytes full(65519, 7);
    const int count = static_cast<int>(kMaxIccProfileBytes / full.size()) + 2;
    for (int k = 1; k <= count; ++k)
        chain.push_back(iccMarker(k, count, full));
    const TDecodedPicture overCap = DecodePictureData(jpegWith(picture, chain), ".jpg");
    EXPECT_TRUE(overCap.iccProfile.empty());
    EXPECT_EQ(overCap.natural, (TSize{24, 16}));
}

TEST(DecodeSideData, TiffHandsOnItsProfile) {
    const Bytes profile = iccProfile(2000);
    const std::string path = WriteTempFile("with-profile.tif", {});
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2u);
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(profile.size()), profile.data());
    uint8_t rows[2][4] = {{0, 50, 100, 150}, {200, 250, 10, 20}};
    for (uint32_t y = 0; y < 2; ++y)
        TIFFWriteScanline(tif, rows[y], y, 0);
    TIFFClose(tif);
    const TDecodedPicture d = DecodePicture(path);
    EXPECT_EQ(d.natural, (TSize{4, 2}));
    EXPECT_EQ(d.iccProfile, profile);
    std::filesystem::remove(path);
}

// libtiff reads every tag of the directory, unknown ones too, each into a buffer of its own:
// a hundred tags pointing at the same megabyte would cost a hundred megabytes.
TEST(DecodeSideData, TiffTagsThatShareTheirDataAreRefusedBeforeLibtiffReadsThem) {
    auto tiff = [](int tags) {
        constexpr uint32_t kBlob = 1 << 20;
        struct Entry {
            uint16_t tag, type;
            uint32_t count, value;
        };
        std::vector<Entry> entries = {{256, 3, 1, 1}, {257, 3, 1, 1}, {258, 3, 1, 8},
                                      {259, 3, 1, 1}, {262, 3, 1, 1}, {273, 4, 1, 0},
                                      {277, 3, 1, 1}, {278, 3, 1, 1}, {279, 4, 1, 1}};
        const uint32_t pixel = 8 + 2 + 12 * static_cast<uint32_t>(entries.size() + tags) + 4;
        entries[5].value = pixel;
        for (int k = 0; k < tags; ++k)
            entries.push_back({static_cast<uint16_t>(40000 + k), 7, kBlob, pixel + 4});
        Bytes b = {'I', 'I', 42, 0, 8, 0, 0, 0};
        auto put = [&b](uint32_t v, int bytes) {
            for (int k = 0; k < bytes; ++k)
                b.push_back(static_cast<uint8_t>(v >> (8 * k)));
        };
        put(static_cast<uint32_t>(entries.size()), 2);
        for (const Entry& e : entries) {
            put(e.tag, 2);
            put(e.type, 2);
            put(e.count, 4);
            put(e.value, 4);
        }
        put(0, 4);
        put(0x80, 4); // the one grey pixel and padding
        b.resize(b.size() + kBlob, 0);
        return b;
    };
    // A few such tags are as any file's.
    const TDecodedPicture few = DecodePictureData(tiff(3), ".tif");
    EXPECT_EQ(few.natural, (TSize{1, 1}));
    const Bytes many = tiff(100);
    const int64_t grown =
        peakGrowthKiB([&] { EXPECT_THROW(DecodePictureData(many, ".tif"), ImageError); });
    EXPECT_LT(grown, 16 << 10);
}

// An 8-bit bitmap is weighed as the 32-bit picture it becomes, before Qt reads a pixel.
TEST(DecodeSideData, BmpIsWeighedAtThirtyTwoBitsBeforeQtReadsIt) {
    auto bmp = [](int32_t width, int32_t height) {
        Bytes b = {'B', 'M'};
        auto put = [&b](uint32_t v, int bytes) {
            for (int k = 0; k < bytes; ++k)
                b.push_back(static_cast<uint8_t>(v >> (8 * k)));
        };
        const uint32_t offset = 14 + 40 + 256 * 4;
        put(offset + 4096, 4);
        put(0, 4);
        put(offset, 4);
        put(40, 4);
        put(static_cast<uint32_t>(width), 4);
        put(static_cast<uint32_t>(height), 4);
        put(1, 2);
        put(8, 2);
        for (int k = 0; k < 6; ++k)
            put(k == 4 ? 256 : 0, 4); // no compression, 256 colours
        for (uint32_t k = 0; k < 256; ++k)
            put(k * 0x010101u, 4);
        b.resize(b.size() + 4096, 3);
        return b;
    };
    EXPECT_EQ(DecodePictureData(bmp(64, 64), ".bmp").natural, (TSize{64, 64}));
    const Bytes large = bmp(6000, 5000); // 30 MB at 8 bits, 120 MB at 32
    const int64_t grown =
        peakGrowthKiB([&] { EXPECT_THROW(DecodePictureData(large, ".bmp"), ImageError); });
    EXPECT_LT(grown, 16 << 10);
}

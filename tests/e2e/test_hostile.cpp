// Packages made to hurt the player: entries that inflate to hundreds of megabytes or to more
// than the disk holds. Each ends as it must (the fixed message for the background, a skip for
// an item) while the player's peak memory, read from /proc, stays small at 1920 x 1080.
#include "PlayerFixture.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <chrono>
#include <fstream>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <zlib.h>

namespace pictorelle::test {
namespace {

// The player alone peaks at about 111 MB here (Qt, the X connection, the media libraries;
// see the honest show below); a bomb must not add to that beyond the goal.
constexpr int64_t kPeakGoalKiB = 120 * 1024;
constexpr uint64_t kBombZeros = uint64_t{300} << 20;

std::vector<uint8_t> SmallPng() {
    return SolidPng(QColor(40, 160, 90));
}

// The process's peak resident memory so far (VmHWM), in KiB; -1 once it has gone.
int64_t PeakKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6));
    return -1;
}

// Adds an item whose entry is a PNG followed by zeroCount zeros, claiming declared bytes.
void AddBomb(PackageContent& c, const char* ext, uint64_t zeroCount, int32_t declared) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ext;
    entry.Record.ItemSeconds = 1;
    entry.Data = DeflateWithZeros(SmallPng(), zeroCount);
    c.InflatedItemSizes[c.Items.size()] = declared;
    c.Items.push_back(std::move(entry));
}

PackageEntry<ItemRecord> GoodItem() {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Record.ItemSeconds = 1;
    entry.Data = SmallPng();
    return entry;
}

class HostileOnDisplay : public PlayerOnDisplay {
protected:
    HostileOnDisplay() : PlayerOnDisplay(1920, 1080) {}

    // Runs a full-screen show until its stderr says every one of skips, and returns its peak
    // memory then; the show must still be running, and Esc ends it with nothing left behind.
    int64_t RunUntilSkipped(const PackageContent& content, const std::vector<std::string>& skips,
                            std::vector<std::string> env = {}) {
        if (env.empty()) env = Env();
        Process show(MakeShow(content), {"/s"}, env);
        const bool skipped = WaitUntil(
            [&] {
                for (const auto& s : skips)
                    if (show.Err().find(s) == std::string::npos) return false;
                return true;
            },
            60000);
        const int64_t peak = PeakKiB(show.Pid());
        EXPECT_TRUE(skipped) << show.Err();
        EXPECT_TRUE(show.Running()) << show.Err();
        x.Key("Escape");
        EXPECT_TRUE(show.WaitExit(kExitTimeoutMs));
        EXPECT_EQ(show.Status(), 0) << show.Err();
        return peak;
    }
};

// A background that inflates to 300 MB, whether it says so or claims to be small enough
// for a picture: the fixed message, without ever holding the entry.
TEST_F(HostileOnDisplay, ABackgroundBombEndsWithTheMessageInLittleMemory) {
    const std::vector<uint8_t> png = SmallPng();
    const auto bomb = DeflateWithZeros(png, kBombZeros);
    for (const int32_t declared : {static_cast<int32_t>(png.size() + kBombZeros), 40 << 20}) {
        PackageContent c = ShowContent();
        c.Header.BackgroundExt = ".png";
        c.Background = bomb;
        c.BackgroundInflatedSize = declared;
        c.Items.push_back(GoodItem());
        auto show = Start(MakeShow(c), {"/s"});
        const std::string box = WaitForWindow("^Screen Saver$|^E2E Show$");
        ASSERT_FALSE(box.empty()) << show->Err();
        ASSERT_TRUE(WaitUntil(
            [&] { return show->Err().find("* The file is corrupted") != std::string::npos; }));
        const int64_t peak = PeakKiB(show->Pid());
        EXPECT_GT(peak, 0);
        EXPECT_LT(peak, kPeakGoalKiB) << "declared " << declared;
        std::printf("background bomb declared %d bytes: peak %lld KiB\n", declared,
                    static_cast<long long>(peak));
        x.Tool("xdotool", {"windowfocus", "--sync", box});
        x.Key("Return");
        ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
        EXPECT_EQ(show->Status(), 1);
        EXPECT_TRUE(TempFoldersGone());
    }
}

// Picture items that inflate to 300 MB are passed over, and the show goes on with the rest.
TEST_F(HostileOnDisplay, PictureBombsAreSkippedInLittleMemory) {
    PackageContent c = ShowContent();
    AddBomb(c, ".png", kBombZeros, static_cast<int32_t>(kBombZeros + 200));
    AddBomb(c, ".jpg", kBombZeros, 40 << 20);
    c.Items.push_back(GoodItem());
    const int64_t peak = RunUntilSkipped(c, {"Skipping item 0", "Skipping item 1"});
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, kPeakGoalKiB);
    std::printf("picture bombs: peak %lld KiB\n", static_cast<long long>(peak));
}

// What the same show costs without its bombs: the yardstick for the figures above.
TEST_F(HostileOnDisplay, PeakOfAnHonestShow) {
    PackageContent c = ShowContent();
    c.Items.push_back(GoodItem());
    c.Items.push_back(GoodItem());
    c.Items[1].Data.push_back(0); // a broken twin, so the run ends on a skip like the others
    c.Items[1].Data.resize(10);
    const int64_t peak = RunUntilSkipped(c, {"Skipping item 1"});
    std::printf("honest show: peak %lld KiB\n", static_cast<long long>(peak));
    EXPECT_LT(peak, kPeakGoalKiB);
}

// A JPEG of a few kilobytes whose hundreds of empty scans would each cost a pass over 16
// megapixels: refused before it has paid for them. Its file, like that of every item that
// fails, leaves the temporary folder at once, and the show goes on.
TEST_F(HostileOnDisplay, ScanHeavyJpegsAreRefusedEarlyAndFailedItemsLeaveNoFile) {
    QImage solid(4000, 4000, QImage::Format_RGB32);
    solid.fill(QColor(200, 60, 30));
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(solid));
    std::vector<uint8_t> jpeg(encoded.begin(), encoded.end());
    size_t last = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
    ASSERT_GT(last, 0u) << "no scan in the encoded picture";
    const std::vector<uint8_t> scan(jpeg.begin() + static_cast<std::ptrdiff_t>(last),
                                    jpeg.end() - 2);
    for (int k = 0; k < 300; ++k)
        jpeg.insert(jpeg.end() - 2, scan.begin(), scan.end());

    PackageContent c = ShowContent();
    PackageEntry<ItemRecord> heavy = GoodItem();
    heavy.Record.Ext = ".jpg";
    heavy.Data = jpeg;
    c.Items.push_back(std::move(heavy));
    c.Items.push_back(GoodItem());
    c.Items.back().Data.resize(40); // a broken PNG: cut inside its first chunk
    c.Items.push_back(GoodItem());
    Process show(MakeShow(c), {"/s"}, Env());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(
        WaitUntil([&] { return show.Err().find("Skipping item 1") != std::string::npos; }, 30000))
        << show.Err();
    // Refused before its first scan: its whole-picture buffer alone would take more than the
    // screen allows (or, on a larger screen, after its allowance of scans).
    EXPECT_TRUE(show.Err().find("Skipping item 0 (.jpg): JPEG: too many progressive scans") !=
                    std::string::npos ||
                show.Err().find("Skipping item 0 (.jpg): JPEG: a progressive picture this large") !=
                    std::string::npos)
        << show.Err();
    std::printf("scan-heavy JPEG and broken PNG skipped after %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    // The good picture follows; by then neither failed item has a file left.
    std::vector<std::string> left;
    ASSERT_TRUE(WaitUntil([&] {
        left.clear();
        for (const auto& folder : fs::directory_iterator(dir / "tmp"))
            for (const auto& f : fs::directory_iterator(folder))
                if (f.path().filename().string().rfind("SSIMG", 0) == 0)
                    left.push_back(f.path().filename());
        return left.empty();
    })) << "left: "
        << (left.empty() ? "" : left.front());
    EXPECT_TRUE(show.Running()) << show.Err();
    x.Key("Escape");
    EXPECT_TRUE(show.WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

// Pictures of a few bytes to a few hundred kilobytes whose headers claim 10000 x 10000 pixels.
namespace huge {

constexpr int kSide = 10000;

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFFu);
    Put16(b, v >> 16);
}
void Put32Be(std::vector<uint8_t>& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>(v >> shift));
}

// 35 bytes: a logical screen of side x side and one black 1 x 1 frame.
std::vector<uint8_t> GifOf(uint32_t side) {
    std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(b, side);
    Put16(b, side);
    const uint8_t rest[] = {0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x2C, 0, 0,   0,
                            0,    1, 0, 1, 0, 0, 2,    2,    0x44, 0x01, 0, 0x3B};
    b.insert(b.end(), std::begin(rest), std::end(rest));
    return b;
}

// An RGB TIFF of side x side whose strips of 16 rows all point at one deflated run of zeros.
std::vector<uint8_t> TiffOf(uint32_t side) {
    constexpr uint32_t kRows = 16;
    const uint32_t kStrips = side / kRows;
    std::vector<uint8_t> zeros(size_t{kRows} * side * 3, 0);
    uLongf packedSize = compressBound(zeros.size());
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, zeros.data(), zeros.size(), 9);
    packed.resize(packedSize);
    const uint32_t ifd = 8, entries = 10, bps = ifd + 2 + entries * 12 + 4;
    const uint32_t offsets = bps + 6, counts = offsets + 4 * kStrips, data = counts + 4 * kStrips;
    std::vector<uint8_t> b = {'I', 'I', 42, 0};
    Put32(b, ifd);
    Put16(b, entries);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        Put16(b, tag);
        Put16(b, type);
        Put32(b, count);
        Put32(b, value);
    };
    entry(256, 4, 1, side); // width
    entry(257, 4, 1, side); // height
    entry(258, 3, 3, bps);  // 8 bits a sample
    entry(259, 3, 1, 8);    // deflate
    entry(262, 3, 1, 2);    // RGB
    entry(273, 4, kStrips, offsets);
    entry(277, 3, 1, 3);     // samples a pixel
    entry(278, 4, 1, kRows); // rows a strip
    entry(279, 4, kStrips, counts);
    entry(284, 3, 1, 1); // contiguous
    Put32(b, 0);
    for (int k = 0; k < 3; ++k)
        Put16(b, 8);
    for (uint32_t k = 0; k < kStrips; ++k)
        Put32(b, data);
    for (uint32_t k = 0; k < kStrips; ++k)
        Put32(b, static_cast<uint32_t>(packed.size()));
    b.insert(b.end(), packed.begin(), packed.end());
    return b;
}

// A kSide x kSide RGBA PNG of zeros (transparent black): about 390 KB.
std::vector<uint8_t> Png() {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, const std::vector<uint8_t>& body) {
        Put32Be(b, static_cast<uint32_t>(body.size()));
        const size_t start = b.size();
        b.insert(b.end(), type, type + 4);
        b.insert(b.end(), body.begin(), body.end());
        Put32Be(b, static_cast<uint32_t>(
                       crc32(0, b.data() + start, static_cast<uInt>(b.size() - start))));
    };
    std::vector<uint8_t> header;
    Put32Be(header, kSide);
    Put32Be(header, kSide);
    const uint8_t depthAndType[] = {8, 6, 0, 0, 0}; // 8-bit RGBA, not interlaced
    header.insert(header.end(), std::begin(depthAndType), std::end(depthAndType));
    chunk("IHDR", header);
    chunk("IDAT", DeflateWithZeros({}, uint64_t{kSide} * (1 + 4 * kSide)));
    chunk("IEND", {});
    return b;
}

// A JPEG of a few hundred bytes: an 8 x 8 picture whose frame header says kSide x kSide.
std::vector<uint8_t> Jpeg() {
    QImage tiny(8, 8, QImage::Format_RGB32);
    tiny.fill(QColor(10, 20, 30));
    std::vector<uint8_t> b = EncodedBytes(tiny, "jpeg");
    for (size_t i = 0; i + 8 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xC0) {
            b[i + 5] = b[i + 7] = static_cast<uint8_t>(kSide >> 8);
            b[i + 6] = b[i + 8] = static_cast<uint8_t>(kSide & 0xFF);
            break;
        }
    return b;
}

std::vector<uint8_t> Encoded(const char* format) {
    QImage small(64, 48, QImage::Format_ARGB32);
    small.fill(QColor(10, 20, 30));
    return EncodedBytes(small, format);
}
std::vector<uint8_t> Gif() {
    return GifOf(kSide);
}
std::vector<uint8_t> Tiff() {
    return TiffOf(kSide);
}
std::vector<uint8_t> HonestGif() {
    return GifOf(64);
}
std::vector<uint8_t> HonestTiff() {
    return TiffOf(64);
}
std::vector<uint8_t> HonestPng() {
    return Encoded("png");
}
std::vector<uint8_t> HonestJpeg() {
    return Encoded("jpeg");
}

struct Case {
    const char* ext;
    std::vector<uint8_t> (*make)();
    std::vector<uint8_t> (*honest)();
    int width, height;
    int64_t addedMiB; // the most the hostile header may add to the honest picture's peak
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.ext << " at " << c.width << "x" << c.height;
}

std::string Name(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.ext + 1) + "At" + std::to_string(info.param.height);
}

} // namespace huge

class HugeHeaders : public PlayerOnDisplay, public ::testing::WithParamInterface<huge::Case> {
protected:
    HugeHeaders() : PlayerOnDisplay(GetParam().width, GetParam().height) {}

    // Plays a green picture, the given one, then a red one, and returns the player's peak once
    // the red one is on screen.
    int64_t PeakAround(const char* ext, std::vector<uint8_t> picture) {
        const huge::Case& p = GetParam();
        PackageContent c = ShowContent();
        c.Header.Seconds = 1;
        c.Items.push_back(SolidPictureItem(QColor(0, 200, 0)));
        PackageEntry<ItemRecord> middle;
        middle.Record.Ext = ext;
        middle.Data = std::move(picture);
        c.Items.push_back(std::move(middle));
        c.Items.push_back(SolidPictureItem(QColor(200, 0, 0)));
        Process show(MakeShow(c), {"/s"}, Env());
        const bool reachedRed = WaitUntil(
            [&] {
                const Rgb centre = x.Pixel(p.width / 2, p.height / 2);
                return centre.r > 150 && centre.g < 50;
            },
            60000);
        const int64_t peak = PeakKiB(show.Pid());
        EXPECT_TRUE(reachedRed) << show.Err();
        EXPECT_EQ(show.Err().find("Skipping item 1"), std::string::npos) << show.Err();
        x.Key("Escape");
        EXPECT_TRUE(show.WaitExit(kExitTimeoutMs));
        EXPECT_EQ(show.Status(), 0) << show.Err();
        return peak;
    }
};

// Shown between a green and a red picture, the picture is decoded no larger than twice the
// screen: the show goes on to the red one, and the player's peak stays under 150 MB at
// 1920 x 1080 and 250 MB at 3840 x 2160, and near that of the same show with an honest
// 64 x 48 picture of the same format.
TEST_P(HugeHeaders, ArePlayedWithinTheirMemoryGoal) {
    const huge::Case& p = GetParam();
    const int64_t peak = PeakAround(p.ext, p.make());
    const int64_t honest = PeakAround(p.ext, p.honest());
    EXPECT_GT(peak, 0);
    const int64_t goalKiB = (p.height <= 1080 ? 150 : 250) * int64_t{1000000} / 1024;
    EXPECT_LT(peak, goalKiB);
    EXPECT_LT(peak - honest, p.addedMiB * 1024) << "honest " << honest;
    std::printf("%s of %zu bytes claiming %d x %d at %d x %d: peak %lld KiB (honest %lld)\n", p.ext,
                p.make().size(), huge::kSide, huge::kSide, p.width, p.height,
                static_cast<long long>(peak), static_cast<long long>(honest));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, HugeHeaders,
    ::testing::Values(huge::Case{".gif", huge::Gif, huge::HonestGif, 1920, 1080, 40},
                      huge::Case{".tif", huge::Tiff, huge::HonestTiff, 1920, 1080, 40},
                      huge::Case{".png", huge::Png, huge::HonestPng, 1920, 1080, 40},
                      huge::Case{".jpg", huge::Jpeg, huge::HonestJpeg, 1920, 1080, 40},
                      huge::Case{".gif", huge::Gif, huge::HonestGif, 3840, 2160, 48},
                      huge::Case{".tif", huge::Tiff, huge::HonestTiff, 3840, 2160, 48},
                      huge::Case{".png", huge::Png, huge::HonestPng, 3840, 2160, 48},
                      huge::Case{".jpg", huge::Jpeg, huge::HonestJpeg, 3840, 2160, 48}),
    huge::Name);

// Pictures whose cost hides outside their pixels: a side chunk, marker, tag or comment that
// claims, repeats or points at far more than the picture needs.
namespace side {

// Found by fuzzing: a 23 x 17 PNG header, a background chunk, then a text chunk declaring
// 0x6C0DA580 bytes in a file of 79.
std::vector<uint8_t> Png() {
    const QByteArray bytes = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAABcAAAAREAIAAADpgXypAAAABmJLR0T///////8JWPfKbA2lgHRFWHRkYXRlOm0"
        "FMPB2vh5JRU5ErkJggg==");
    return {bytes.begin(), bytes.end()};
}

// A 64 x 48 JPEG behind the longest chain of colour-profile pieces a file can number (255
// markers of 64 KiB, four times the profile cap) and a hundred EXIF markers as large.
std::vector<uint8_t> Jpeg() {
    std::vector<uint8_t> b = huge::HonestJpeg();
    std::vector<uint8_t> chain;
    auto marker = [&chain](uint8_t code, const std::string& tag, size_t size) {
        const size_t length = 2 + tag.size() + size;
        chain.insert(chain.end(),
                     {0xFF, code, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        chain.insert(chain.end(), tag.begin(), tag.end());
        chain.resize(chain.size() + size, 0x5A);
    };
    for (int k = 1; k <= 255; ++k)
        marker(0xE2, std::string("ICC_PROFILE\0", 12) + char(k) + char(255), 65519);
    for (int k = 0; k < 100; ++k)
        marker(0xE1, std::string("Exif\0\0", 6), 65527);
    b.insert(b.begin() + 2, chain.begin(), chain.end());
    return b;
}

// A 1 x 1 grey TIFF whose directory has 400 unknown tags, each pointing at the same 1 MiB
// stretch of the file: libtiff would read that stretch 400 times.
std::vector<uint8_t> Tiff() {
    constexpr uint32_t kTags = 400, kBlob = 1 << 20;
    std::vector<uint8_t> b = {'I', 'I', 42, 0};
    huge::Put32(b, 8);
    const uint32_t entries = 9 + kTags, pixel = 8 + 2 + 12 * entries + 4;
    huge::Put16(b, entries);
    auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        huge::Put16(b, tag);
        huge::Put16(b, type);
        huge::Put32(b, count);
        huge::Put32(b, value);
    };
    entry(256, 4, 1, 1);     // width
    entry(257, 4, 1, 1);     // height
    entry(258, 3, 1, 8);     // 8 bits
    entry(259, 3, 1, 1);     // not compressed
    entry(262, 3, 1, 1);     // grey
    entry(273, 4, 1, pixel); // the strip
    entry(277, 3, 1, 1);     // one sample
    entry(278, 4, 1, 1);     // one row a strip
    entry(279, 4, 1, 1);     // one byte in it
    for (uint32_t k = 0; k < kTags; ++k)
        entry(static_cast<uint16_t>(40000 + k), 7, kBlob, pixel + 4);
    huge::Put32(b, 0);
    huge::Put32(b, 0x80);
    b.resize(b.size() + kBlob, 0);
    return b;
}

// A 64 x 48 GIF with a comment of 24 MB before its picture.
std::vector<uint8_t> Gif() {
    std::vector<uint8_t> b = huge::HonestGif();
    std::vector<uint8_t> comment = {0x21, 0xFE};
    for (int k = 0; k < 24 * 1000 * 1000 / 255; ++k) {
        comment.push_back(255);
        comment.resize(comment.size() + 255, 'c');
    }
    comment.push_back(0);
    b.insert(b.begin() + 19, comment.begin(), comment.end()); // after the colour table
    return b;
}

struct Case {
    const char* ext;
    std::vector<uint8_t> (*make)();
    bool skipped; // passed over (the picture cannot be had without what it claims) or shown
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.ext;
}

std::string Name(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.ext + 1);
}

} // namespace side

class SideBombs : public HostileOnDisplay, public ::testing::WithParamInterface<side::Case> {};

// Each hostile picture as the first item of a show, a broken one next: the show gets past
// both, the hostile one shown without what it claims or passed over with one line, within the
// memory goal of the huge headers above.
TEST_P(SideBombs, AreShownOrPassedOverWithinTheMemoryGoal) {
    const side::Case& p = GetParam();
    PackageContent c = ShowContent();
    c.Header.Seconds = 1;
    PackageEntry<ItemRecord> hostile = GoodItem();
    hostile.Record.Ext = p.ext;
    hostile.Data = p.make();
    const size_t bytes = hostile.Data.size();
    c.Items.push_back(std::move(hostile));
    c.Items.push_back(GoodItem());
    c.Items[1].Data.resize(10); // broken: its skip says the hostile one is behind us
    c.Items.push_back(GoodItem());
    std::vector<std::string> skips = {"Skipping item 1"};
    if (p.skipped) skips.push_back("Skipping item 0");
    Process show(MakeShow(c), {"/s"}, Env());
    const bool passed = WaitUntil(
        [&] {
            for (const auto& s : skips)
                if (show.Err().find(s) == std::string::npos) return false;
            return true;
        },
        60000);
    const int64_t peak = PeakKiB(show.Pid());
    EXPECT_TRUE(passed) << show.Err();
    const std::string err = show.Err();
    const size_t first = err.find("Skipping item 0");
    if (p.skipped)
        EXPECT_EQ(err.find("Skipping item 0", first + 1), std::string::npos) << err;
    else
        EXPECT_EQ(first, std::string::npos) << err;
    EXPECT_TRUE(show.Running()) << err;
    EXPECT_LT(peak, 150 * int64_t{1000000} / 1024);
    std::printf("%s of %zu bytes: peak %lld KiB\n", p.ext, bytes, static_cast<long long>(peak));
    x.Key("Escape");
    EXPECT_TRUE(show.WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show.Status(), 0) << show.Err();
}

INSTANTIATE_TEST_SUITE_P(Pictures, SideBombs,
                         ::testing::Values(side::Case{".png", side::Png, true},
                                           side::Case{".jpg", side::Jpeg, false},
                                           side::Case{".tif", side::Tiff, true},
                                           side::Case{".gif", side::Gif, false}),
                         side::Name);

// The threads of a process by name.
bool HasThread(int pid, const std::string& name) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : fs::directory_iterator(tasks, error)) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) return true;
    }
    return false;
}

// Esc while a large picture is still being decoded (its loader thread is there) ends the show
// at once; the abandoned picture leaves nothing behind and is not reported as broken.
TEST_F(HostileOnDisplay, EscEndsTheShowWhileAPictureDecodes) {
    PackageContent c = ShowContent();
    c.Header.Seconds = 1;
    c.Items.push_back(GoodItem());
    PackageEntry<ItemRecord> heavy = GoodItem();
    heavy.Data = huge::Png();
    c.Items.push_back(std::move(heavy));
    Process show(MakeShow(c), {"/s"}, Env());
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show.Err();
    // The first picture stays a second; then the large one decodes for a good while.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!HasThread(show.Pid(), "picture-loader") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(HasThread(show.Pid(), "picture-loader")) << show.Err();
    x.Key("Escape");
    const auto sent = std::chrono::steady_clock::now();
    bool gone = false;
    while (!(gone = x.FindWindows(kTitleRegex).empty()) &&
           std::chrono::steady_clock::now() - sent < std::chrono::seconds(5)) {
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - sent)
                        .count();
    EXPECT_TRUE(gone);
    EXPECT_LT(ms, 200) << "the show's window stayed " << ms << " ms after Esc";
    std::printf("Esc during a picture's decoding: window gone after %lld ms\n",
                static_cast<long long>(ms));
    ASSERT_TRUE(show.WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show.Status(), 0) << show.Err();
    EXPECT_EQ(show.Err().find("Skipping item 1"), std::string::npos) << show.Err();
    EXPECT_TRUE(TempFoldersGone());
}

// An entry that would inflate to 4 GB stops at its stated size, quickly, and its
// partial file goes; one claiming more than the cap is refused before a byte is written.
TEST_F(HostileOnDisplay, AFourGigabyteItemFailsQuicklyAndLeavesNoFile) {
    PackageContent c = ShowContent();
    // Picture items: a video item would also start the video player, whose own memory is not
    // what this measures.
    AddBomb(c, ".bmp", uint64_t{4} << 30, std::numeric_limits<int32_t>::max());
    AddBomb(c, ".bmp", uint64_t{4} << 30, 200 << 20);
    c.Items.push_back(GoodItem());
    const auto start = std::chrono::steady_clock::now();
    const int64_t peak = RunUntilSkipped(c, {"Skipping item 0", "Skipping item 1"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_LT(peak, kPeakGoalKiB);
    EXPECT_TRUE(TempFoldersGone());
    std::printf("4 GB items: peak %lld KiB\n", static_cast<long long>(peak));
}

// On a temporary file system too small for an entry, the entry is refused before anything is
// written, so the file system never fills. Needs the right to mount a small tmpfs.
TEST_F(HostileOnDisplay, AnItemLargerThanTheFreeSpaceIsRefusedUpFront) {
    const std::string small = dir / "small-tmp";
    fs::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=160m,mode=0700") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{small};

    PackageContent c = ShowContent();
    AddBomb(c, ".avi", uint64_t{4} << 30, 150 << 20);
    c.Items.push_back(GoodItem());
    std::vector<std::string> env = Env();
    for (auto& e : env)
        if (e.rfind("TMPDIR=", 0) == 0) e = "TMPDIR=" + small;
    // Watch the file system while the show runs: it must never come near full.
    std::atomic<bool> running{true};
    std::atomic<uint64_t> leastFree{~uint64_t{0}};
    std::thread watch([&] {
        while (running) {
            struct statvfs info {};
            if (::statvfs(small.c_str(), &info) == 0)
                leastFree = std::min<uint64_t>(leastFree, uint64_t{info.f_bavail} * info.f_frsize);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const int64_t peak = RunUntilSkipped(c, {"Skipping item 0"}, env);
    running = false;
    watch.join();
    EXPECT_GT(leastFree.load(), uint64_t{150} << 20);
    EXPECT_LT(peak, kPeakGoalKiB);
    EXPECT_TRUE(fs::is_empty(small));
}

} // namespace
} // namespace pictorelle::test

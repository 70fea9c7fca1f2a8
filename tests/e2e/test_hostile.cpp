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
    EXPECT_NE(show.Err().find("Skipping item 0: JPEG: too many progressive scans"),
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

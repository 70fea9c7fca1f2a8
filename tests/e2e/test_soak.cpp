// A long presentation: 1000 clicks through 50 different pictures, sampling the player's
// resident memory every 100 items. Memory must stay flat: what one item takes, the next gives
// back. About two minutes, so it runs only on request: PICTORELLE_SOAK=1 ctest -R Soak -V
#include "PlayerFixture.h"

#include <QBuffer>
#include <QImage>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace pictorelle::test {
namespace {

int64_t ResidentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
    return -1;
}

std::vector<uint8_t> Picture(int i) {
    // Sizes and colours differ so that no two items decode alike.
    QImage image(400 + 23 * i, 300 + 17 * (i % 13), QImage::Format_RGB32);
    image.fill(QColor((i * 53) % 256, (i * 97) % 256, (i * 29) % 256));
    for (int y = 0; y < image.height(); y += 10)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, 0xFFFFFFFFu - uint32_t(i));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, i % 2 ? "PNG" : "JPG");
    return {bytes.begin(), bytes.end()};
}

class SoakOnDisplay : public PlayerOnDisplay {
protected:
    SoakOnDisplay() : PlayerOnDisplay(1920, 1080) {}
};

TEST_F(SoakOnDisplay, SoakAThousandClicksThroughFiftyPicturesKeepMemoryFlat) {
    if (!std::getenv("PICTORELLE_SOAK")) GTEST_SKIP() << "set PICTORELLE_SOAK=1 to run the soak";
    PackageContent c = ShowContent();
    c.Header.Seconds = 60;
    c.Header.EffectSpeed = 10;
    c.Strings[StringId::Effect] = "\x01\x45";
    for (int i = 0; i < 50; ++i) {
        PackageEntry<ItemRecord> item;
        item.Record.Ext = i % 2 ? ".png" : ".jpg";
        item.Record.CaptionText = "Picture " + std::to_string(i);
        item.Data = Picture(i);
        c.Items.push_back(std::move(item));
    }
    auto show = Start(MakeShow(c, "show.exe"), {});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
    x.MoveMouse(1500, 500);
    std::this_thread::sleep_for(std::chrono::seconds(3)); // the panel hides again
    std::vector<int64_t> samples = {ResidentKiB(show->Pid())};
    for (int click = 1; click <= 1000; ++click) {
        x.Click(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        if (click % 100 == 0) samples.push_back(ResidentKiB(show->Pid()));
    }
    ASSERT_TRUE(show->Running()) << show->Err();
    std::string line;
    for (int64_t s : samples)
        line += " " + std::to_string(s);
    std::printf("resident KiB at 0, 100, ..., 1000 clicks:%s\n", line.c_str());
    // The first hundred items warm the caches; from there on memory must stay flat.
    EXPECT_LT(samples.back(), samples[1] * 11 / 10);
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

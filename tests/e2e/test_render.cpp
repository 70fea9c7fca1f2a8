#include "Run.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>

namespace pictorelle::test {
namespace {

TEST(Render, WritesEveryFrameAndEndsOnTheNewPicture) {
    ScratchDir dir;
    QImage a(40, 30, QImage::Format_ARGB32), b(40, 30, QImage::Format_ARGB32);
    a.fill(QColor(10, 20, 30));
    b.fill(QColor(200, 100, 50));
    ASSERT_TRUE(a.save(QString::fromStdString(dir / "a.png")));
    ASSERT_TRUE(b.save(QString::fromStdString(dir / "b.png")));
    // Box Out, 40 wide in 10 steps: half widths 4, 8, ..., 20, then the final paint.
    const auto r = RunProgram(BinPath("pictorelle-render"),
                              {"--effect", "69", "--steps", "10", "--old", dir / "a.png", "--new",
                               dir / "b.png", "--out", dir / "frames"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "frames/frame-0006.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "frames/frame-0007.png"));
    const QImage first(QString::fromStdString(dir / "frames/frame-0001.png"));
    EXPECT_EQ(first.pixelColor(0, 0), QColor(10, 20, 30));
    EXPECT_EQ(first.pixelColor(20, 15), QColor(200, 100, 50));
    const QImage last(QString::fromStdString(dir / "frames/frame-0006.png"));
    EXPECT_EQ(last.pixelColor(0, 0), QColor(200, 100, 50));
}

TEST(Render, TimesFramesAndRejectsBadArguments) {
    const auto timed = RunProgram(BinPath("pictorelle-render"),
                                  {"--time", "--effect", "70", "--steps", "16", "--size", "64x48"});
    ASSERT_EQ(timed.status, 0) << timed.err;
    EXPECT_NE(timed.out.find("median"), std::string::npos) << timed.out;
    EXPECT_EQ(RunProgram(BinPath("pictorelle-render"), {"--effect", "69"}).status, 2);
    ScratchDir dir;
    const auto missing = RunProgram(BinPath("pictorelle-render"),
                                    {"--old", dir / "none.png", "--new", dir / "none.png", "--out",
                                     dir / "out"});
    EXPECT_EQ(missing.status, 1);
}

} // namespace
} // namespace pictorelle::test

#include "Run.h"
#include "XServer.h"

#include <QImage>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

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

// A GIF's frames as the animator composes them on its whole screen: what no frame covers is
// fully transparent, a restored rectangle too; the JSON names every frame with its delay.
TEST(Render, APictureIsWrittenFrameByFrameAsThePlayerComposesIt) {
    ScratchDir dir;
    ASSERT_EQ(RunProgram("convert", {"-delay", "20",     "-loop",    "0",          "-size",
                                     "6x4",    "xc:red", "-dispose", "Background", "-page",
                                     "+1+1",   "-size",  "2x2",      "xc:blue",    "-page",
                                     "+4+0",   "-size",  "2x2",      "xc:lime",    dir / "a.gif"})
                  .status,
              0);
    const auto r = RunProgram(BinPath("pictorelle-render"),
                              {"--picture", dir / "a.gif", "--out", dir / "frames"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"width\": 6, \"height\": 4, \"loop\": true, \"frames\": ["
                     "{\"file\": \"frame-0000.png\", \"delay_ms\": 200}, "
                     "{\"file\": \"frame-0001.png\", \"delay_ms\": 200}, "
                     "{\"file\": \"frame-0002.png\", \"delay_ms\": 200}]}\n");
    const QImage second(QString::fromStdString(dir / "frames/frame-0001.png"));
    ASSERT_TRUE(second.hasAlphaChannel());
    EXPECT_EQ(second.pixelColor(1, 1), QColor(0, 0, 255));
    // The blue frame is disposed to the background: its rectangle is uncovered again.
    const QImage third(QString::fromStdString(dir / "frames/frame-0002.png"));
    EXPECT_EQ(third.pixelColor(0, 3), QColor(255, 0, 0));
    EXPECT_EQ(third.pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(third.pixelColor(4, 0), QColor(0, 255, 0));

    // A still SVG at its natural size; a damaged picture is one line and status 1.
    std::FILE* svg = std::fopen((dir / "s.svg").c_str(), "w");
    std::fputs("<svg xmlns='http://www.w3.org/2000/svg' width='30' height='20'>"
               "<rect width='30' height='20' fill='#ff0000'/></svg>",
               svg);
    std::fclose(svg);
    const auto still =
        RunProgram(BinPath("pictorelle-render"), {"--picture", dir / "s.svg", "--out", dir / "s"});
    ASSERT_EQ(still.status, 0) << still.err;
    EXPECT_NE(still.out.find("\"width\": 30, \"height\": 20, \"loop\": false"), std::string::npos)
        << still.out;
    EXPECT_EQ(QImage(QString::fromStdString(dir / "s/frame-0000.png")).pixelColor(15, 10),
              QColor(255, 0, 0));
    const auto broken = RunProgram(BinPath("pictorelle-render"),
                                   {"--picture", dir / "a.gif.webp", "--out", dir / "b"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 1) << broken.err;
}

TEST(Render, TimesFramesAndRejectsBadArguments) {
    const auto timed = RunProgram(BinPath("pictorelle-render"),
                                  {"--time", "--effect", "70", "--steps", "16", "--size", "64x48"});
    ASSERT_EQ(timed.status, 0) << timed.err;
    EXPECT_NE(timed.out.find("median"), std::string::npos) << timed.out;
    EXPECT_EQ(RunProgram(BinPath("pictorelle-render"), {"--effect", "69"}).status, 2);
    ScratchDir dir;
    const auto missing =
        RunProgram(BinPath("pictorelle-render"),
                   {"--old", dir / "none.png", "--new", dir / "none.png", "--out", dir / "out"});
    EXPECT_EQ(missing.status, 1);
}

TEST(Render, OnScreenTimingPlaysEveryFrameAtLeastItsFrameDelay) {
    XServer x(320, 240);
    // Crossfade and Box In: a full-frame family and one that repaints a shrinking box.
    for (const char* effect : {"115", "70"}) {
        const auto r = x.Tool(BinPath("pictorelle-onscreen"),
                              {"--effect", effect, "--size", "320x240", "--steps", "12"});
        ASSERT_EQ(r.status, 0) << r.err;
        int frames = 0;
        double ms = 0, ratio = 0;
        const auto at = r.out.find("frames, on screen");
        ASSERT_NE(at, std::string::npos) << r.out;
        ASSERT_EQ(std::sscanf(r.out.c_str() + r.out.rfind(':', at) + 1, "%d frames, on screen %lf",
                              &frames, &ms),
                  2)
            << r.out;
        ASSERT_EQ(
            std::sscanf(r.out.c_str() + r.out.find("ratio median"), "ratio median %lf", &ratio), 1);
        EXPECT_GT(frames, 0) << r.out;
        // No frame may end before its 9 ms are over.
        EXPECT_GE(ms, frames * 9.0) << r.out;
        EXPECT_GE(ratio, 1.0) << r.out;
    }
    EXPECT_EQ(x.Tool(BinPath("pictorelle-onscreen"), {"--effect", "121"}).status, 2);
}

} // namespace
} // namespace pictorelle::test

#include "core/Bitmap32.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace pictorelle;

namespace {

// A bitmap whose pixel (x, y) holds its own index + 1 (never zero) with alpha 255.
TBitmap32 numbered(int w, int h) {
    TBitmap32 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(y * w + x + 1));
    return b;
}

std::vector<uint32_t> row(const TBitmap32& b, int y) {
    return {b.ScanLine(y), b.ScanLine(y) + b.Width()};
}

using Row = std::vector<uint32_t>;

} // namespace

TEST(Bitmap32, NewAndResizedBitmapsAreZero) {
    TBitmap32 b(3, 2);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.BytesPerLine(), 12);
    EXPECT_EQ(b.ScanLine(1), b.Bits() + 3);
    b.Clear(0xFFFFFFFFu);
    b.SetSize(3, 2); // same size still clears
    b.SetSizeFrom(b);
    EXPECT_EQ(row(b, 1), Row(3, 0u));
    b.Clear(0x12345678u);
    b.SetSize(5, 4);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(row(b, y), Row(5, 0u));
    b.SetSize(-4, 7);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    b.Clear(1); // nothing to fill, no crash
}

TEST(Bitmap32, BytesAreBlueGreenRedAlphaFromTheLowestAddress) {
    TBitmap32 b(1, 1);
    b.SetPixel(0, 0, 0x80112233u);
    unsigned char bytes[4];
    std::memcpy(bytes, b.Bits(), 4);
    EXPECT_EQ(bytes[0], 0x33);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(bytes[2], 0x11);
    EXPECT_EQ(bytes[3], 0x80);
}

TEST(Bitmap32, CopiesAreDeepAndMovesLeaveTheSourceEmpty) {
    TBitmap32 a = numbered(3, 2);
    TBitmap32 copy(a);
    copy.SetPixel(0, 0, 7);
    EXPECT_EQ(a.Pixel(0, 0), 0xFF000001u);
    TBitmap32 assigned;
    assigned.Assign(a);
    EXPECT_EQ(row(assigned, 1), row(a, 1));
    TBitmap32 moved(std::move(a));
    EXPECT_EQ(moved.Pixel(2, 1), 0xFF000006u);
    EXPECT_TRUE(a.Empty()); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(a.Width(), 0);
    copy = std::move(moved);
    EXPECT_EQ(copy.Pixel(2, 1), 0xFF000006u);
}

TEST(Bitmap32, CheckedPixelAccessIgnoresOutsideCoordinates) {
    TBitmap32 b(2, 2);
    b.SetPixelS(-1, 0, 5);
    b.SetPixelS(2, 1, 5);
    b.SetPixelS(1, 1, 9);
    EXPECT_EQ(b.PixelS(1, 1), 9u);
    EXPECT_EQ(b.PixelS(0, -1), 0u);
    EXPECT_EQ(b.PixelS(INT_MAX, INT_MIN), 0u);
    EXPECT_EQ(row(b, 0), Row(2, 0u));
}

TEST(Bitmap32, MirrorFlipAndResetAlpha) {
    TBitmap32 b = numbered(3, 3);
    b.Mirror();
    EXPECT_EQ(row(b, 0), (Row{0xFF000003u, 0xFF000002u, 0xFF000001u}));
    b.Flip();
    EXPECT_EQ(row(b, 0), (Row{0xFF000009u, 0xFF000008u, 0xFF000007u}));
    EXPECT_EQ(row(b, 1), (Row{0xFF000006u, 0xFF000005u, 0xFF000004u}));
    TBitmap32 even = numbered(2, 2);
    even.Flip();
    EXPECT_EQ(row(even, 0), (Row{0xFF000003u, 0xFF000004u}));

    TBitmap32 c(2, 1);
    c.SetPixel(0, 0, 0x00123456u);
    c.SetPixel(1, 0, 0x7F000000u);
    c.ResetAlpha();
    EXPECT_EQ(row(c, 0), (Row{0xFF123456u, 0xFF000000u}));
}

TEST(Bitmap32, FillRectClipsToTheBitmap) {
    TBitmap32 b(4, 3);
    b.FillRect({-5, 1, 2, 99}, 0xAu);
    b.FillRect({3, 0, 3, 3}, 0xBu); // empty
    b.FillRect({INT_MIN, INT_MIN, INT_MIN + 1, INT_MAX}, 0xCu);
    EXPECT_EQ(row(b, 0), Row(4, 0u));
    EXPECT_EQ(row(b, 1), (Row{0xA, 0xA, 0, 0}));
    EXPECT_EQ(row(b, 2), (Row{0xA, 0xA, 0, 0}));
}

TEST(Rect, IntersectionAndTranslation) {
    const TRect r = TRect::fromXYWH(2, 3, 4, 5);
    EXPECT_EQ(r, (TRect{2, 3, 6, 8}));
    EXPECT_EQ(r.width(), 4);
    EXPECT_TRUE(r.contains(2, 3));
    EXPECT_FALSE(r.contains(6, 3));
    EXPECT_EQ(r.intersected({4, 0, 10, 4}), (TRect{4, 3, 6, 4}));
    EXPECT_EQ(r.intersected({6, 3, 9, 9}), TRect{});
    EXPECT_EQ(r.translated(-2, 1), (TRect{0, 4, 4, 9}));
    EXPECT_TRUE((TRect{5, 0, 5, 9}).isEmpty());
}

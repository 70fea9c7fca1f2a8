#include "imaging/Label.h"

#include "ImagingFixtures.h"
#include "core/Color.h"
#include "package/PackageLayout.h"

#include <gtest/gtest.h>
#include <set>

using namespace pictorelle;
using namespace pictorelle::test;

namespace {

constexpr uint32_t kGround = 0xFF00FF00u; // the frame before the label
constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr uint32_t kRedPixel = 0xFFFF0000u;
constexpr uint32_t kBluePixel = 0xFF0000FFu;

class Label : public ::testing::Test {
protected:
    void SetUp() override { GuiApp(); }

    static TLabelStyle style() {
        TLabelStyle s;
        s.textColor = kRed;
        s.backColor = kBlue;
        s.fontSize = 12;
        s.marginX = 20;
        s.marginY = 30;
        return s;
    }

    static TBitmap32 draw(std::string_view text, const TLabelStyle& s) {
        TBitmap32 frame = SolidBitmap(400, 300, kGround);
        DrawLabel(frame, text, s);
        return frame;
    }

    // The bounding box of the pixels that are not the ground.
    static TRect changed(const TBitmap32& b) {
        TRect r{b.Width(), b.Height(), 0, 0};
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                if (b.Pixel(x, y) != kGround) {
                    r.left = std::min(r.left, x);
                    r.top = std::min(r.top, y);
                    r.right = std::max(r.right, x + 1);
                    r.bottom = std::max(r.bottom, y + 1);
                }
        return r;
    }

    static int count(const TBitmap32& b, uint32_t pixel) {
        int n = 0;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                n += b.Pixel(x, y) == pixel;
        return n;
    }

    static std::set<uint32_t> colours(const TBitmap32& b) {
        std::set<uint32_t> seen;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                seen.insert(b.Pixel(x, y));
        return seen;
    }
};

} // namespace

TEST_F(Label, BoxReachesFivePixelsAroundTheText) {
    const TBitmap32 frame = draw("Hello", style());
    const TRect box = changed(frame);
    EXPECT_EQ(box.left, 15);
    EXPECT_EQ(box.top, 25);
    EXPECT_EQ(frame.Pixel(15, 25), kBluePixel);
    EXPECT_GT(box.width(), 20);
    EXPECT_GT(count(frame, kRedPixel), 10);

    // Placement code 4 measures from the bottom-right corner.
    TLabelStyle s = style();
    s.code = 4;
    const TRect corner = changed(draw("Hello", s));
    EXPECT_EQ(corner.right, 400 - 20 + 5);
    EXPECT_EQ(corner.bottom, 300 - 30 + 5);
    EXPECT_EQ(corner.size(), box.size());
}

TEST_F(Label, LinesAreOneFontHeightApart) {
    const TRect one = changed(draw("Hello", style()));
    const TRect two = changed(draw("Hello\r\nWorld", style()));
    const TRect three = changed(draw("a\rb\nc\r\n", style()));
    const int lineHeight = one.height() - 10;
    EXPECT_EQ(two.height() - 10, 2 * lineHeight);
    EXPECT_EQ(three.height() - 10, 3 * lineHeight);
}

TEST_F(Label, TransparentLabelsDrawOnlyTheText) {
    TLabelStyle s = style();
    s.transparent = true;
    const TBitmap32 frame = draw("Hello", s);
    EXPECT_EQ(count(frame, kBluePixel), 0);
    EXPECT_GT(count(frame, kRedPixel), 10);
    EXPECT_GE(changed(frame).left, 20);
}

TEST_F(Label, PlainTextHasOnlyItsColoursSmoothTextBlends) {
    TLabelStyle s = style();
    s.shadow = true;
    const std::set<uint32_t> plain = colours(draw("Shadowed", s));
    EXPECT_EQ(plain, (std::set<uint32_t>{kGround, kBluePixel, kRedPixel, 0xFF000000u}));

    s.smooth = true;
    const TBitmap32 smooth = draw("Shadowed", s);
    EXPECT_GT(colours(smooth).size(), 4u);
    EXPECT_GT(count(smooth, 0xFF000000u), 0);
}

TEST_F(Label, FontStylesAndTheDefaultFace) {
    TLabelStyle s = style();
    s.transparent = true;
    const int regular = count(draw("Sample", s), kRedPixel);
    s.style = kStyleUnderline;
    EXPECT_GT(count(draw("Sample", s), kRedPixel), regular);
    s.style = kStyleBold;
    EXPECT_GT(count(draw("Sample", s), kRedPixel), regular);
    s.style = 0;
    s.fontName = "No Such Font Face";
    EXPECT_GT(count(draw("Sample", s), kRedPixel), 0);
    s.fontSize = 0;
    EXPECT_GT(count(draw("Sample", s), kRedPixel), 0);
}

TEST_F(Label, CaptionFromTheItemRecord) {
    ItemRecord item;
    item.CaptionText = "Caf\u00e9"; // UTF-8, as the package reader gives it
    item.CaptionColor = kRed;
    item.CaptionBackColor = kBlue;
    item.CaptionSize = 10;
    item.CaptionPlacement = 0;
    item.CaptionX = 20;
    item.CaptionY = 30;
    TBitmap32 frame = SolidBitmap(400, 300, kGround);
    DrawCaption(item, frame);
    EXPECT_EQ(frame.Pixel(15, 25), kBluePixel);

    item.CaptionTransparent = 1;
    TBitmap32 transparent = SolidBitmap(400, 300, kGround);
    DrawCaption(item, transparent);
    EXPECT_EQ(transparent.Pixel(15, 25), kGround);

    item.CaptionText.clear();
    TBitmap32 none = SolidBitmap(400, 300, kGround);
    DrawCaption(item, none);
    EXPECT_EQ(count(none, kGround), 400 * 300);
}

#include "core/Color.h"

#include <gtest/gtest.h>

using namespace pictorelle;

TEST(Color, PlainValuesSwapRedAndBlueAndBecomeOpaque) {
    EXPECT_EQ(ColorToPixel(0x00332211), 0xFF112233u);
    EXPECT_EQ(ColorToPixel(0x000000FF), 0xFFFF0000u); // pure red
    EXPECT_EQ(ColorToPixel(0), 0xFF000000u);
    EXPECT_EQ(ColorToPixel(0x02332211), 0xFF112233u); // stray top byte ignored
    EXPECT_EQ(PixelToColor(0x80112233u), 0x00332211);
    EXPECT_EQ(PixelToColor(ColorToPixel(0x00ABCDEF)), 0x00ABCDEF);
}

TEST(Color, SystemColoursResolveFromTheTable) {
    EXPECT_EQ(ColorToPixel(SystemColor(TSystemColor::BtnFace)), 0xFFF0F0F0u);
    EXPECT_EQ(ColorToPixel(SystemColor(TSystemColor::Window)), 0xFFFFFFFFu);
    EXPECT_EQ(ColorToPixel(SystemColor(TSystemColor::Highlight)), 0xFF0078D7u);
    EXPECT_EQ(ColorToPixel(SystemColor(TSystemColor::InfoBk)), 0xFFFFFFE1u);
    // Either high-byte form names the same colour.
    EXPECT_EQ(ColorToPixel(static_cast<TColor>(0xFF00000Fu)), 0xFFF0F0F0u);
    EXPECT_EQ(ResolveColor(static_cast<TColor>(0x80000018u)), 0x00E1FFFF);
    EXPECT_EQ(ColorToPixel(SystemColor(25)), 0xFF000000u);
    EXPECT_EQ(ColorToPixel(SystemColor(99)), 0xFF000000u);
}

TEST(Color, NoColorIsRecognised) {
    EXPECT_TRUE(IsNoColor(kNoColor));
    EXPECT_FALSE(IsNoColor(0x00FFFFFF));
    EXPECT_FALSE(IsSystemColor(kNoColor));
}

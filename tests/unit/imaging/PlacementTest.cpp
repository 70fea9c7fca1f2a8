#include "imaging/Placement.h"

#include "core/Random.h"

#include <gtest/gtest.h>
#include <random>

using namespace pictorelle;

TEST(FitRect, KeepsTheAspectRatioCentredInTheBox) {
    EXPECT_EQ(FitRect(1024, 768, 1000, 1000), (TRect{128, 0, 896, 768}));
    EXPECT_EQ(FitRect(1024, 768, 2000, 500), (TRect{0, 256, 1024, 512}));
    // Equal ratios take the full width.
    EXPECT_EQ(FitRect(1024, 768, 512, 384), (TRect{0, 0, 1024, 768}));
    // Halves round to even: 3 * 5 / 2 = 7.5 -> 8, and 5 * 5 / 2 = 12.5 -> 12.
    EXPECT_EQ(FitRect(5, 10, 2, 3).height(), 8);
    EXPECT_EQ(FitRect(5, 20, 2, 5).height(), 12);
    // Any zero gives the whole box.
    EXPECT_EQ(FitRect(800, 600, 0, 10), (TRect{0, 0, 800, 600}));
    EXPECT_EQ(FitRect(0, 600, 10, 10), (TRect{0, 0, 0, 600}));
}

TEST(FitRect, LargeSizesDoNotOverflow) {
    const TRect r = FitRect(32767, 32767, 32767, 1);
    EXPECT_EQ(r.width(), 32767);
    EXPECT_EQ(r.height(), 1);
    EXPECT_EQ(r.top, 16383);
}

TEST(PlacePicture, ModeZeroFitsAndDropsTheOddPixel) {
    // Height limits: n = 1000 * 768 / 1000 = 768.
    EXPECT_EQ(PlacePicture(0, 1024, 768, 1000, 1000), (TRect{128, 0, 896, 768}));
    // Width limits: n = 500 * 1024 div 2000 = 256.
    EXPECT_EQ(PlacePicture(0, 1024, 768, 2000, 500), (TRect{0, 256, 1024, 512}));
    // Same aspect ratio: the full-width branch.
    EXPECT_EQ(PlacePicture(0, 1024, 768, 4, 3), (TRect{0, 0, 1024, 768}));
    // n = 3 * 100 / 4 = 75 is odd: the picture gets 74 pixels.
    EXPECT_EQ(PlacePicture(0, 100, 100, 3, 4), (TRect{13, 0, 87, 100}));
}

TEST(PlacePicture, StretchAndCentreModes) {
    EXPECT_EQ(PlacePicture(1, 640, 480, 10, 2000), (TRect{0, 0, 640, 480}));
    EXPECT_EQ(PlacePicture(2, 640, 480, 100, 50), (TRect{270, 215, 370, 265}));
    // A larger picture is cut on both sides.
    EXPECT_EQ(PlacePicture(2, 640, 480, 1000, 481), (TRect{-180, 0, 820, 481}));
    // Mode 4: natural size when it fits exactly, fitted when one pixel larger.
    EXPECT_EQ(PlacePicture(4, 640, 480, 640, 480), (TRect{0, 0, 640, 480}));
    EXPECT_EQ(PlacePicture(4, 640, 480, 641, 480), FitRect(640, 480, 641, 480));
    EXPECT_EQ(PlacePicture(4, 640, 480, 640, 481), FitRect(640, 480, 640, 481));
}

TEST(PlacePicture, RandomModesStayWithinTheirRange) {
    RandomSeed(42);
    for (int k = 0; k < 200; ++k) {
        // Mode 3, smaller picture: inside the frame.
        const TRect small = PlacePicture(3, 640, 480, 100, 50);
        EXPECT_GE(small.left, 0);
        EXPECT_LT(small.left, 540);
        EXPECT_GE(small.top, 0);
        EXPECT_LT(small.top, 430);
        EXPECT_EQ(small.size(), (TSize{100, 50}));
        // Mode 3, larger picture: a random part of it fills the frame.
        const TRect big = PlacePicture(3, 640, 480, 1000, 600);
        EXPECT_LE(big.left, 0);
        EXPECT_GT(big.left, -360);
        EXPECT_LE(big.top, 0);
        EXPECT_GT(big.top, -120);
        EXPECT_GE(big.right, 640);
        EXPECT_GE(big.bottom, 480);
        // Mode 5 with a larger picture and unknown modes: fitted, then shifted.
        for (int mode : {5, 9, -3}) {
            const TRect fitted = FitRect(640, 480, 300, 600);
            const TRect r = PlacePicture(mode, 640, 480, 300, 600);
            EXPECT_EQ(r.size(), fitted.size()) << mode;
            EXPECT_EQ(r.top, 0) << mode;
            EXPECT_GE(r.left, 0) << mode;
            EXPECT_LT(r.left, 2 * fitted.left) << mode;
        }
    }
    // Mode 5 with a picture that fits behaves as mode 3: same draws, same place.
    RandomSeed(7);
    const TRect a = PlacePicture(5, 640, 480, 100, 50);
    RandomSeed(7);
    EXPECT_EQ(PlacePicture(3, 640, 480, 100, 50), a);
}

TEST(PlacePicture, PlacedSizeAgreesWithPlacementInEveryMode) {
    std::mt19937 gen(3);
    std::uniform_int_distribution<int> size(1, 3000);
    for (int k = 0; k < 2000; ++k) {
        const int W = size(gen), H = size(gen), w = size(gen), h = size(gen);
        for (int mode = -1; mode <= 7; ++mode)
            ASSERT_EQ(PlacedPictureSize(mode, W, H, w, h), PlacePicture(mode, W, H, w, h).size())
                << mode << ": " << W << "x" << H << " " << w << "x" << h;
    }
}

TEST(PlaceOverlay, EveryCodeWithItsMargins) {
    const int W = 1024, H = 768, w = 100, h = 50;
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 0, 10, 20), TRect::fromXYWH(10, 20, w, h));
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 1, 10, 20), TRect::fromXYWH(914, 20, w, h));
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 2, 10, 20), TRect::fromXYWH(472, 20, w, h));
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 3, 10, 20), TRect::fromXYWH(10, 698, w, h));
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 4, 10, 10), (TRect{914, 708, 1014, 758}));
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 5, 10, 20), TRect::fromXYWH(472, 698, w, h));
    for (int code : {6, 7, 100})
        EXPECT_EQ(PlaceOverlay(W, H, w, h, code, 10, 20), TRect::fromXYWH(472, 379, w, h));
    // Division toward zero when the overlay is wider than the frame: (10 - 13) div 2 = -1.
    EXPECT_EQ(PlaceOverlay(10, 10, 13, 2, 2, 0, 0).left, -1);
    // Absurd margins saturate instead of overflowing.
    EXPECT_EQ(PlaceOverlay(W, H, w, h, 1, INT_MIN, 0).left, INT_MAX);
}

TEST(PlaceMoviePanel, SizesThePanelByMode) {
    const int SW = 1024, SH = 768;
    EXPECT_EQ(PlaceMoviePanel(1, {0, 0, 320, 240}, SW, SH), (TRect{0, 0, SW, SH}));
    // Fitted with the extra pixel of the natural rectangle.
    const TRect f = FitRect(SW, SH, 321, 241);
    EXPECT_EQ(PlaceMoviePanel(0, {0, 0, 320, 240}, SW, SH),
              (TRect{f.left, f.top, f.left + f.width() + 1, f.top + f.height() + 1}));
    // Natural size plus one, centred, while it fits; fitted once it does not.
    for (int mode : {2, 4}) {
        EXPECT_EQ(PlaceMoviePanel(mode, {0, 0, 320, 240}, SW, SH), (TRect{352, 264, 673, 505}));
        EXPECT_EQ(PlaceMoviePanel(mode, {0, 0, 2000, 240}, SW, SH),
                  PlaceMoviePanel(0, {0, 0, 2000, 240}, SW, SH));
    }
    RandomSeed(5);
    for (int k = 0; k < 100; ++k) {
        const TRect r = PlaceMoviePanel(3, {0, 0, 320, 240}, SW, SH);
        EXPECT_EQ(r.size(), (TSize{321, 241}));
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, SW);
        EXPECT_LE(r.bottom, SH);
        // Too large: fitted first, so the panel stays on the screen.
        const TRect big = PlaceMoviePanel(5, {0, 0, 4000, 1000}, SW, SH);
        EXPECT_EQ(big.size(), FitRect(SW, SH, 4000, 1000).size());
        EXPECT_EQ(big.left, 0);
        EXPECT_GE(big.top, 0);
        EXPECT_LE(big.bottom, SH);
    }
}

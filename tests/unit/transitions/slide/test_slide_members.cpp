// TSlide and frames of slide members checked against pixels worked out by hand from the
// members' bands, on a 40 x 30 picture unless said otherwise.
#include "transitions/EffectHarness.h"
#include "transitions/slide/Slide.h"

#include <gtest/gtest.h>

namespace pictorelle::testing {
namespace {

const TBitmap32& Frame(const EffectRun& run, int k) {
    return run.frames.at(static_cast<size_t>(k - 1));
}

// Whether target pixel (x, y) shows `picture(x - dx, y - dy)` throughout `r`.
bool ShiftedIn(const TBitmap32& frame, const TRect& r, uint32_t (*picture)(int, int), int dx,
               int dy) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (frame.Pixel(x, y) != picture(x - dx, y - dy)) return false;
    return true;
}

TEST(Slide, ShowsTheShiftedContentCutToItsBand) {
    // A band of columns 10 .. 19 whose content comes in from the right, 2.5 a step.
    TSlide slide(TSlidePicture::New, {10, 0, 20, 5}, 12.5, 0, -2.5, 0, 6);
    EXPECT_TRUE(slide.Step());
    EXPECT_EQ(slide.DestRect(), (TRect{20, 0, 20, 5})) << "at offset 10 an empty edge shows";
    EXPECT_TRUE(slide.Step());
    EXPECT_EQ(slide.DestRect(), (TRect{18, 0, 20, 5})) << "17.5 rounds to 18";
    EXPECT_EQ(slide.SourceRect(), (TRect{10, 0, 12, 5}));
    slide.Step();
    slide.Step();
    EXPECT_EQ(slide.DestRect(), (TRect{12, 0, 20, 5})) << "12.5 rounds to 12";
    slide.Step();
    EXPECT_FALSE(slide.Step());
    EXPECT_EQ(slide.DestRect(), (TRect{10, 0, 18, 5})) << "offset -2.5: the band's right end";
    EXPECT_EQ(slide.SourceRect(), (TRect{12, 0, 20, 5}));
    EXPECT_FALSE(slide.Step());

    TSlide outside(TSlidePicture::Old, {10, 0, 20, 5}, -20, 0, 1, 0, 1);
    outside.Step();
    EXPECT_EQ(outside.DestRect(), TRect{});
    EXPECT_EQ(outside.SourceRect(), TRect{});
}

TEST(SlideMembers, SlideFromLeftShowsTheRightPartOfTheNewPictureGrowing) {
    // After frame k of 16, columns 0 .. round(2.5 k) - 1 show the new picture's last columns.
    const EffectRun run = RunCodedEffect(5, 40, 30, 16);
    ASSERT_EQ(run.FrameCount(), 16);
    // round(2.5 k), halves to even
    const int shown[16] = {2, 5, 8, 10, 12, 15, 18, 20, 22, 25, 28, 30, 32, 35, 38, 40};
    for (int k = 1; k <= 16; ++k) {
        const int c = shown[k - 1];
        const TBitmap32& f = Frame(run, k);
        EXPECT_TRUE(ShiftedIn(f, {0, 0, c, 30}, NewPixel, c - 40, 0)) << "frame " << k;
        EXPECT_TRUE(ShiftedIn(f, {c, 0, 40, 30}, OldPixel, 0, 0)) << "frame " << k;
    }
    const EffectRun once = RunCodedEffect(5, 40, 30, 1);
    ASSERT_EQ(once.FrameCount(), 1);
    EXPECT_TRUE(SamePixels(Frame(once, 1), Coded(40, 30, true)));
}

TEST(SlideMembers, BlindsMoveEachTenthWithinItsOwnStrip) {
    for (const int effect : {21, 22}) {
        const EffectRun run = RunCodedEffect(effect, 47, 5, 8);
        ASSERT_GT(run.paints.size(), 1u);
        for (size_t i = 0; i + 1 < run.paints.size(); ++i) { // the last is the final paint
            const PaintRecord& p = run.paints[i];
            int strip = 0;
            while (47 * (strip + 1) / 10 <= p.dest.left)
                ++strip;
            const int left = 47 * strip / 10, right = 47 * (strip + 1) / 10;
            EXPECT_TRUE(p.dest.left >= left && p.dest.right <= right) << effect;
            EXPECT_TRUE(p.source.left >= left && p.source.right <= right) << effect;
            EXPECT_EQ(p.dest.size(), p.source.size());
            EXPECT_EQ(p.from, From::New);
        }
    }
    // Strip 1 (columns 4 .. 8) of Blinds Slide Right after frame 4: offset -5 + 4 * 4.7 / 8
    // = -2.65, so columns 4 and 5 (up to round(6.35)) show the new picture's columns 7 and 8
    // and the rest of the strip is still old.
    const EffectRun right = RunCodedEffect(21, 47, 5, 8);
    EXPECT_TRUE(ShiftedIn(Frame(right, 4), {4, 0, 6, 5}, NewPixel, -3, 0));
    EXPECT_TRUE(ShiftedIn(Frame(right, 4), {6, 0, 9, 5}, OldPixel, 0, 0));
}

TEST(SlideMembers, FallingColumnsWithStepsNotAMultipleOfFourStopShort) {
    // s = 10: column 9 starts at round(0.75 * 40 * 9 - 10 * 40) = -130 and runs 9 * 2 + 10
    // steps of 4, ending 18 rows (0.45 h) above its place; the final paint puts it there.
    const EffectRun run = RunCodedEffect(14, 40, 40, 10);
    ASSERT_EQ(run.FrameCount(), 28);
    const TBitmap32& last = Frame(run, 28);
    EXPECT_TRUE(ShiftedIn(last, {36, 0, 40, 22}, NewPixel, 0, -18));
    EXPECT_TRUE(ShiftedIn(last, {36, 22, 40, 40}, OldPixel, 0, 0));
    EXPECT_TRUE(ShiftedIn(last, {0, 0, 4, 40}, NewPixel, 0, 0)) << "column 0 stands in place";
    EXPECT_TRUE(SamePixels(run.result, Coded(40, 40, true)));
    // With a multiple of four every column lands in place on its own.
    const EffectRun exact = RunCodedEffect(14, 40, 40, 12);
    EXPECT_TRUE(SamePixels(Frame(exact, exact.FrameCount()), Coded(40, 40, true)));
}

TEST(SlideMembers, CloseFromCornersMovesQuartersInDiagonally) {
    // After 4 of 16 steps the top-left quarter is offset by (-15, -11.25) and the bottom-right
    // one by (15, 11.25).
    const TBitmap32 f4 = Frame(RunCodedEffect(11, 40, 30, 16), 4);
    EXPECT_TRUE(ShiftedIn(f4, {0, 0, 5, 4}, NewPixel, -15, -11));
    EXPECT_TRUE(ShiftedIn(f4, {35, 26, 40, 30}, NewPixel, 15, 11));
    EXPECT_TRUE(ShiftedIn(f4, {5, 4, 35, 26}, OldPixel, 0, 0));
}

TEST(SlideMembers, SlidingColumnsFromSidesSplitEachRow) {
    // Row 9 (y 27 .. 29) is split at x = 4: its right piece, band 4 .. 39, comes first from
    // the right (offset 40 - 2.5 k); its left piece waits 9 * 4 more steps.
    const EffectRun run = RunCodedEffect(19, 40, 30, 16);
    const TBitmap32& f8 = Frame(run, 8);
    EXPECT_TRUE(ShiftedIn(f8, {24, 27, 40, 30}, NewPixel, 20, 0));
    EXPECT_TRUE(ShiftedIn(f8, {0, 27, 24, 30}, OldPixel, 0, 0));
    EXPECT_TRUE(ShiftedIn(Frame(run, 16), {4, 27, 40, 30}, NewPixel, 0, 0));
    EXPECT_TRUE(ShiftedIn(Frame(run, 16), {0, 27, 4, 30}, OldPixel, 0, 0));
    EXPECT_TRUE(SamePixels(Frame(run, 52), Coded(40, 30, true)));
}

TEST(SlideMembers, DoorOpenMovesTheOldHalvesApartOverTheNewPicture) {
    const EffectRun run = RunCodedEffect(10, 40, 30, 16);
    // Frame 1: the halves start round(1.25) = 1 out and step 1.25 back, standing in place;
    // both windows uncover columns 19 and 20.
    const TBitmap32& f1 = Frame(run, 1);
    EXPECT_TRUE(ShiftedIn(f1, {0, 0, 19, 30}, OldPixel, 0, 0));
    EXPECT_TRUE(ShiftedIn(f1, {19, 0, 21, 30}, NewPixel, 0, 0));
    EXPECT_TRUE(ShiftedIn(f1, {21, 0, 40, 30}, OldPixel, 0, 0));
    // Frame 2: offsets -1.5 and 1.5 (halves of 18.5 and 21.5 round to even); the windows
    // stand at 20.25 .. 22.25 and 17.75 .. 19.75.
    const TBitmap32& f2 = Frame(run, 2);
    EXPECT_TRUE(ShiftedIn(f2, {0, 0, 18, 30}, OldPixel, -2, 0));
    EXPECT_TRUE(ShiftedIn(f2, {18, 0, 22, 30}, NewPixel, 0, 0));
    EXPECT_TRUE(ShiftedIn(f2, {22, 0, 40, 30}, OldPixel, 2, 0));
    for (const PaintRecord& p : run.PaintsOfFrame(2))
        EXPECT_EQ(p.from, p.source == p.dest ? From::New : From::Old);
}

} // namespace
} // namespace pictorelle::testing

// Frames of reveal and line-drop members checked against pixels worked out by hand from the
// members' windows, on a 40 x 30 picture unless said otherwise.
#include "transitions/EffectHarness.h"
#include "transitions/reveal/RevealFamily.h"

#include <gtest/gtest.h>

namespace pictorelle::testing {
namespace {

// Whether every pixel of `r` shows the new picture in place.
bool NewIn(const TBitmap32& frame, const TRect& r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (frame.Pixel(x, y) != NewPixel(x, y)) return false;
    return true;
}

int CountNew(const TBitmap32& frame) {
    int n = 0;
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            n += frame.Pixel(x, y) == NewPixel(x, y);
    return n;
}

const TBitmap32& Frame(const EffectRun& run, int k) {
    return run.frames.at(static_cast<size_t>(k - 1));
}

TEST(RevealMembers, UnfoldFromLeftAndFromRightInOneStep) {
    const EffectRun left = RunCodedEffect(23, 40, 30, 1);
    ASSERT_EQ(left.FrameCount(), 1);
    EXPECT_EQ(CountNew(Frame(left, 1)), 40 * 30);

    const EffectRun right = RunCodedEffect(24, 40, 30, 1);
    ASSERT_EQ(right.FrameCount(), 2);
    EXPECT_EQ(CountNew(Frame(right, 1)), 40 * 30);
    EXPECT_TRUE(right.PaintsOfFrame(2).empty()) << "the second step's window is empty";
}

TEST(RevealMembers, VerticalJawsAlternateDownAndUp) {
    // Column i at round(4 (i-1)), 4 wide, ch = 2 rows: odd columns from the top, even ones
    // from the bottom.
    const EffectRun run = RunCodedEffect(35, 40, 30, 16);
    const TBitmap32& f1 = Frame(run, 1);
    for (int i = 0; i < 10; ++i) {
        const TRect expected =
            i % 2 == 0 ? TRect{4 * i, 0, 4 * i + 4, 2} : TRect{4 * i, 28, 4 * i + 4, 30};
        EXPECT_TRUE(NewIn(f1, expected)) << "column " << i;
    }
    EXPECT_EQ(CountNew(f1), 10 * 4 * 2);
}

TEST(RevealMembers, ColumnsHorizontallyArriveFromBothEndsStaggered) {
    // Row 1 (y 3..5) from the left: x starts at round(0.75 * 40 - 40) = -10, 4 wide, 2.5 a
    // step. After 3 steps it stands at -2.5 .. 1.5, which rounds to 0 .. 2; after 4 at 0 .. 4.
    const EffectRun run = RunCodedEffect(41, 40, 30, 16);
    EXPECT_TRUE(NewIn(Frame(run, 4), {0, 3, 2, 6}));
    EXPECT_FALSE(NewIn(Frame(run, 4), {2, 3, 3, 4}));
    EXPECT_TRUE(NewIn(Frame(run, 5), {0, 3, 4, 6}));
    // Row 0's window from the far end starts at y = 30 and never uncovers anything; row 0 is
    // the left window's alone: it runs 16 steps of 2.5 from 0, the last covering 37.5 .. 41.5.
    const TBitmap32& last = Frame(run, run.FrameCount());
    EXPECT_TRUE(NewIn(last, {0, 0, 40, 3}));
    EXPECT_EQ(run.FrameCount(), 38) << "round(0.15 * 16 * 9 + 16)";
}

TEST(RevealMembers, LinesAndBackFillTheOtherRowsOnlyAfterTheFirstPass) {
    // Rows one pixel high. Odd rows (y even) run 16 steps from the left and are complete after
    // frame 16; even rows start at 2w and first touch the picture at frame 17, covering
    // round(40 - 3) .. 40.
    const EffectRun run = RunCodedEffect(49, 40, 30, 16);
    const TBitmap32& f16 = Frame(run, 16);
    for (int y = 0; y < 30; y += 2)
        EXPECT_TRUE(NewIn(f16, {0, y, 40, y + 1})) << y;
    EXPECT_EQ(CountNew(f16), 15 * 40);
    const TBitmap32& f17 = Frame(run, 17);
    for (int y = 1; y < 30; y += 2)
        EXPECT_TRUE(NewIn(f17, {37, y, 40, y + 1})) << y;
    EXPECT_EQ(CountNew(f17), 15 * 40 + 15 * 3);
}

TEST(RevealMembers, CrossLinesLeaveStripesOnTheirFirstPass) {
    // Cross Lines From Bottom Left, n = min(16, 15) = 15: a column 2 wide moving 8/3 a step and
    // a row 1 high moving up 2 a step from y = 29; the passes back are still outside.
    const EffectRun run = RunCodedEffect(57, 40, 30, 16);
    const TBitmap32& f1 = Frame(run, 1);
    EXPECT_TRUE(NewIn(f1, {0, 0, 2, 30}));
    EXPECT_TRUE(NewIn(f1, {0, 28, 40, 29}));
    EXPECT_EQ(CountNew(f1), 2 * 30 + 38);
    const TBitmap32& f2 = Frame(run, 2);
    EXPECT_TRUE(NewIn(f2, {3, 0, 5, 30})) << "8/3 .. 14/3 rounds to 3 .. 5";
    EXPECT_TRUE(NewIn(f2, {0, 26, 40, 27}));
    EXPECT_EQ(f2.Pixel(2, 0), OldPixel(2, 0)) << "a stripe left for the pass back";
    EXPECT_EQ(CountNew(f2), 4 * 30 + 2 * 36);
}

TEST(RevealMembers, SweepColumnsFollowOneAnother) {
    // n = max(4, 16 div 3) = 5 steps a column. Column 1 (x 0..3) runs down 6 rows a step;
    // column 2 starts at y = 60 running up and reaches the picture at frame 6.
    const EffectRun run = RunCodedEffect(61, 40, 30, 16);
    EXPECT_TRUE(NewIn(Frame(run, 5), {0, 0, 4, 30}));
    EXPECT_EQ(CountNew(Frame(run, 5)), 4 * 30);
    EXPECT_TRUE(NewIn(Frame(run, 6), {4, 24, 8, 30}));
    EXPECT_EQ(CountNew(Frame(run, 6)), 4 * 30 + 4 * 6);
    EXPECT_EQ(run.FrameCount(), 51) << "the tenth column, running up, has 10 * 5 + 1 steps";
}

TEST(RevealMembers, DownloadRevealsAQuarterOfEveryPeriodPerPass) {
    // m = min(4, 7) = 4 steps a pass, q = ceil(40 / 16) = 3, a period of 10.
    const EffectRun run = RunCodedEffect(63, 40, 30, 16);
    const TBitmap32& f4 = Frame(run, 4);
    for (int x0 = 0; x0 < 40; x0 += 10)
        EXPECT_TRUE(NewIn(f4, {x0, 0, x0 + 3, 30})) << x0;
    EXPECT_EQ(CountNew(f4), 4 * 3 * 30);
    EXPECT_TRUE(NewIn(Frame(run, 5), {3, 0, 6, 30})) << "the second pass starts at 3 - 40 + 40";
}

TEST(RevealMembers, DownloadWithTooFewStepsOrRowsShowsTheNewPictureAtOnce) {
    // min(s div 4, h div 4) is 0: no pass can run, and nothing divides by it.
    for (const int effect : {63, 64}) {
        for (const int steps : {1, 2, 3}) {
            const EffectRun run = RunCodedEffect(effect, 40, 30, steps);
            EXPECT_EQ(run.FrameCount(), 0) << effect << " " << steps;
            EXPECT_TRUE(SamePixels(run.result, Coded(40, 30, true)));
        }
        EXPECT_EQ(RunCodedEffect(effect, 40, 3, 16).FrameCount(), 0) << effect;
        EXPECT_EQ(RunCodedEffect(effect, 40, 4, 16).FrameCount(), 4) << effect << ": m = 1";
    }
    TFoldArray folds;
    EXPECT_EQ(RevealWindows(41, 40, 30, 3, folds), 0);
    EXPECT_EQ(RevealWindows(21, 1, 30, 16, folds), 0) << "min(s, w div 2) is 0";
    EXPECT_EQ(RevealWindows(21, 2, 30, 16, folds), 2);
}

TEST(LineDrop, FromRightStretchesTheEdgeColumnOverTheRest) {
    // 100 steps on 800 columns: after frame k columns 0 .. 8k - 1 are uncovered and the rest
    // carries the colours of column 8k.
    const EffectRun run = RunCodedEffect(65, 800, 3, 100);
    ASSERT_EQ(run.FrameCount(), 99) << "the last step is left to the final paint";
    for (int k = 1; k <= 99; ++k) {
        const TBitmap32& frame = Frame(run, k);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 800; ++x) {
                const uint32_t expected = x < 8 * k ? NewPixel(x, y) : NewPixel(8 * k, y);
                ASSERT_EQ(frame.Pixel(x, y), expected) << "frame " << k << " at " << x << "," << y;
            }
    }
}

TEST(LineDrop, TheOtherDirectionsSmearTheirEdgeLine) {
    // From left: the window at 37 .. 40 moves to 37.5; round(37.5) = 38 is the line.
    const TBitmap32 left = Frame(RunCodedEffect(66, 40, 30, 16), 1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(left.Pixel(x, y), x < 38 ? NewPixel(38, y) : NewPixel(x, y)) << x << "," << y;
    // From bottom, frame 2: rows 0 .. 3 uncovered, the line at round(3.75) = 4 below.
    const TBitmap32 bottom = Frame(RunCodedEffect(67, 40, 30, 16), 2);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(bottom.Pixel(x, y), y < 4 ? NewPixel(x, y) : NewPixel(x, 4)) << x << "," << y;
    // From up, frame 1: the window at 28 .. 30 moves to 28.125, the line is row 28.
    const TBitmap32 up = Frame(RunCodedEffect(68, 40, 30, 16), 1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(up.Pixel(x, y), y < 28 ? NewPixel(x, 28) : NewPixel(x, y)) << x << "," << y;
}

TEST(LineDrop, StepsFarAboveThePictureSizeNeverReadBeyondIt) {
    // 0.1 pixel a step: the first steps' line rounds to the picture's far edge, which has no
    // pixels; those frames uncover without a smear.
    const EffectRun run = RunCodedEffect(66, 4, 3, 40);
    EXPECT_EQ(run.FrameCount(), 39);
    for (const PaintRecord& p : run.paints) {
        EXPECT_LE(p.source.right, 4);
        EXPECT_FALSE(p.dest.isEmpty());
    }
    EXPECT_TRUE(SamePixels(run.result, Coded(4, 3, true)));
}

} // namespace
} // namespace pictorelle::testing

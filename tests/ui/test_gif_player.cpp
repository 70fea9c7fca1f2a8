// The GIF player's timer on a real event loop: frames reach only the display that received the
// item and only its rectangle, a non-looping GIF stops on its last frame, a still GIF never
// starts the timer, and StopGif lets the frames go.
#include "UiTest.h"
#include "media/GifPlayer.h"
#include "media/ShowMedia.h"
#include "package/PackageLayout.h"

namespace pictorelle::test {
namespace {

constexpr uint32_t kBack = 0xFF203040u;
const uint32_t kColours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};

// Frames of one colour each on a 4 x 4 screen.
std::unique_ptr<TGifAnimator> SolidGif(const std::vector<int>& delaysMs, bool loops) {
    TGifImage gif;
    gif.screen = {4, 4};
    gif.loops = loops;
    for (size_t k = 0; k < delaysMs.size(); ++k) {
        TGifFrame f;
        f.rect = {0, 0, 4, 4};
        f.indices.assign(16, static_cast<uint8_t>(k));
        for (size_t i = 0; i < 3; ++i)
            f.palette[i] = kColours[i];
        f.delayMs = delaysMs[k];
        gif.frames.push_back(std::move(f));
    }
    return std::make_unique<TGifAnimator>(std::move(gif));
}

class GifPlayerTest : public UiTest {
protected:
    GifPlayerTest() {
        state.GifBackground = TFramePart{TBitmap32(40, 30)};
        state.GifBackground->bitmap.Clear(kBack);
        shown.SetSize(40, 30);
        state.DisplayBitmap = &shown;
        state.ItemRect = {10, 5, 30, 25};
        state.RepaintDisplay = [this](const TRect& r) { repainted.push_back(r); };
    }

    TShowMediaState state;
    PackageHeader header;
    TBitmap32 shown;
    TBitmap32 other; // the display that did not receive the item
    std::vector<TRect> repainted;
};

TEST_F(GifPlayerTest, ANonLoopingGifPlaysOnceAndStaysOnItsLastFrame) {
    state.Gif = SolidGif({10, 20, 30}, false);
    TGifPlayer player(state, header);
    player.AnimateGif();
    EXPECT_TRUE(player.GifTimer.isActive());
    EXPECT_EQ(player.GifTimer.interval(), 1);

    ASSERT_TRUE(ProcessEventsUntil([&] { return repainted.size() == 3; }));
    ProcessEventsUntil([] { return false; }, 200); // nothing more comes
    EXPECT_EQ(repainted.size(), 3u);
    EXPECT_FALSE(player.GifTimer.isActive());
    for (const TRect& r : repainted)
        EXPECT_EQ(r, state.ItemRect);
    EXPECT_EQ(shown.Pixel(10, 5), kColours[2]);
    EXPECT_EQ(shown.Pixel(29, 24), kColours[2]);
    EXPECT_EQ(shown.Pixel(9, 5), 0u) << "outside the item's rectangle nothing is drawn";
    EXPECT_EQ(shown.Pixel(30, 24), 0u);
    EXPECT_TRUE(other.Empty());
    EXPECT_TRUE(state.Gif) << "the frames stay until StopGif";
}

TEST_F(GifPlayerTest, ALoopingGifGoesRoundUntilStopped) {
    state.Gif = SolidGif({5, 5, 5}, true);
    TGifPlayer player(state, header);
    player.AnimateGif();
    ASSERT_TRUE(ProcessEventsUntil([&] { return repainted.size() >= 7; }));
    EXPECT_TRUE(player.GifTimer.isActive());
    player.StopGif();
    EXPECT_FALSE(player.GifTimer.isActive());
    EXPECT_FALSE(state.Gif);
    const size_t drawn = repainted.size();
    ProcessEventsUntil([] { return false; }, 100);
    EXPECT_EQ(repainted.size(), drawn);
    EXPECT_EQ(player.GifFrameIndex, 0) << "the next GIF starts with its first frame";
}

TEST_F(GifPlayerTest, StillGifsAndZeroDelaysLeaveTheTimerOff) {
    TGifPlayer player(state, header);
    player.AnimateGif(); // no GIF at all
    EXPECT_FALSE(player.GifTimer.isActive());
    state.Gif = SolidGif({100}, true);
    player.AnimateGif();
    EXPECT_FALSE(player.GifTimer.isActive());

    // Frame 1's delay of 0 keeps frame 0 on screen.
    state.Gif = SolidGif({10, 0, 10}, true);
    player.AnimateGif();
    ASSERT_TRUE(ProcessEventsUntil([&] { return repainted.size() == 1; }));
    ProcessEventsUntil([] { return false; }, 150);
    EXPECT_EQ(repainted.size(), 1u);
    EXPECT_FALSE(player.GifTimer.isActive());
    EXPECT_EQ(shown.Pixel(20, 15), kColours[0]);
}

} // namespace
} // namespace pictorelle::test

// Animated GIF items on a private X server: the frames follow one another with their delays,
// round and round for a looping GIF, and a transparent GIF lets the background through. The
// screen is read through Xlib, which is fast enough to time frames a few hundred milliseconds
// long.
#include "PlayerFixture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <gif_lib.h>
#include <map>
#include <thread>

// Xlib's Status macro would shadow Process::Status.
#undef Status

namespace pictorelle::test {
namespace {

using Clock = std::chrono::steady_clock;

// A frame of the GIF: one colour with, when hole > 0, a transparent square of that side in
// its middle.
struct GifFrameSpec {
    Rgb colour;
    int delayCs = 10;
    int hole = 0;
};

int gifWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

std::vector<uint8_t> EncodeGif(int side, const std::vector<GifFrameSpec>& frames, bool loops) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gifWrite, &error);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, side, side, 8, 0, nullptr);
    if (loops) {
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
        const uint8_t loopForever[] = {1, 0, 0};
        EGifPutExtensionBlock(gif, 3, loopForever);
        EGifPutExtensionTrailer(gif);
    }
    for (const GifFrameSpec& f : frames) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.DelayTime = f.delayCs;
        gcb.TransparentColor = f.hole > 0 ? 1 : NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t length = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), ext);
        GifColorType colours[2] = {{static_cast<GifByteType>(f.colour.r),
                                    static_cast<GifByteType>(f.colour.g),
                                    static_cast<GifByteType>(f.colour.b)},
                                   {0, 0, 0}};
        ColorMapObject* map = GifMakeMapObject(2, colours);
        EGifPutImageDesc(gif, 0, 0, side, side, false, map);
        const int from = (side - f.hole) / 2, to = from + f.hole;
        std::vector<GifPixelType> line(static_cast<size_t>(side));
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x)
                line[static_cast<size_t>(x)] = x >= from && x < to && y >= from && y < to ? 1 : 0;
            EGifPutLine(gif, line.data(), side);
        }
        GifFreeMapObject(map);
    }
    EGifCloseFile(gif, &error);
    return out;
}

PackageEntry<ItemRecord> GifItem(std::vector<uint8_t> data, int seconds) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".gif";
    entry.Record.ItemSeconds = seconds;
    entry.Record.ItemStretch = 0; // fitted: the 100 x 100 GIF covers (128, 0, 896, 768)
    entry.Data = std::move(data);
    return entry;
}

// Reads single pixels of the root window straight from the server.
class ScreenReader {
public:
    explicit ScreenReader(const std::string& display) : x_(XOpenDisplay(display.c_str())) {}
    ~ScreenReader() {
        if (x_) XCloseDisplay(x_);
    }
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    Rgb Pixel(int px, int py) const {
        if (!x_) return {};
        XImage* image = XGetImage(x_, DefaultRootWindow(x_), px, py, 1, 1, AllPlanes, ZPixmap);
        if (!image) return {};
        const unsigned long p = XGetPixel(image, 0, 0);
        const Rgb out{channel(p, image->red_mask), channel(p, image->green_mask),
                      channel(p, image->blue_mask)};
        XDestroyImage(image);
        return out;
    }

private:
    static int channel(unsigned long pixel, unsigned long mask) {
        if (mask == 0) return 0;
        int shift = 0;
        while (((mask >> shift) & 1) == 0)
            ++shift;
        return static_cast<int>((pixel & mask) >> shift) & 0xFF;
    }

    Display* x_;
};

class GifOnDisplay : public PlayerOnDisplay {};

const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

TEST_F(GifOnDisplay, ALoopingGifChangesFramesWithTheirDelays) {
    // Frame k stays on screen for the delay of frame k + 1.
    const std::vector<GifFrameSpec> frames{{kRed, 30}, {kGreen, 60}, {kBlue, 90}};
    const std::map<int, int> shownMs{{0, 600}, {1, 900}, {2, 300}};
    PackageContent c = ShowContent();
    c.Header.Seconds = 120;
    c.Items.push_back(GifItem(EncodeGif(100, frames, true), 120));
    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    ScreenReader screen(x.Display());

    // Record when the centre changes colour, over a little more than two rounds.
    std::vector<std::pair<int, Clock::time_point>> changes; // frame index, first seen
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (changes.size() < 8 && Clock::now() < deadline) {
        const Rgb p = screen.Pixel(512, 384);
        int k = -1;
        for (int i = 0; i < 3; ++i)
            if (p == frames[static_cast<size_t>(i)].colour) k = i;
        if (k >= 0 && (changes.empty() || changes.back().first != k))
            changes.emplace_back(k, Clock::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(changes.size(), 8u) << "the GIF did not animate: " << show->Err();

    // Round and round in order, each frame about as long as its wait; the first sighting may
    // have come late, so timing starts at the first change seen.
    std::map<int, int> shortest{{0, 1 << 30}, {1, 1 << 30}, {2, 1 << 30}};
    for (size_t i = 1; i < changes.size(); ++i) {
        EXPECT_EQ(changes[i].first, (changes[i - 1].first + 1) % 3) << "change " << i;
        if (i + 1 == changes.size()) continue;
        const int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            changes[i + 1].second - changes[i].second)
                                            .count());
        int& s = shortest[changes[i].first];
        s = std::min(s, ms);
    }
    // A loaded machine may draw a frame late, which lengthens the frame before it but never
    // shortens one; the shortest sighting is thus the closest to the delay.
    for (const auto& [k, ms] : shownMs) {
        EXPECT_GE(shortest[k], ms - 120) << "frame " << k;
        EXPECT_LE(shortest[k], ms + 400) << "frame " << k;
    }

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(GifOnDisplay, ATransparentGifShowsTheBackgroundThrough) {
    PackageContent c = ShowContent();
    c.Header.Seconds = 120;
    c.Header.BackColor = c.Header.BackColor2 = 0x00603020; // one flat colour
    const Rgb background{0x20, 0x30, 0x60};
    // The hole is a third of the GIF: (384, 256) to (640, 512) on the screen.
    const std::vector<GifFrameSpec> frames{{kRed, 40, 34}, {kGreen, 40, 34}};
    c.Items.push_back(GifItem(EncodeGif(100, frames, true), 120));
    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    ScreenReader screen(x.Display());

    // Green comes only from the GIF's timer; red from both the first picture and the timer.
    for (const Rgb& colour : {kGreen, kRed, kGreen}) {
        ASSERT_TRUE(WaitUntil([&] { return screen.Pixel(200, 100) == colour; })) << show->Err();
        EXPECT_EQ(screen.Pixel(512, 384), background);
        EXPECT_EQ(screen.Pixel(400, 300), background);
        EXPECT_EQ(screen.Pixel(50, 384), background) << "outside the GIF";
    }

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

} // namespace
} // namespace pictorelle::test

// Shows playing on a private X server: pictures, background and logo where they belong, items
// changing on their seconds, broken items passed over, the presentation panel's buttons, and
// transitions between pictures, checked on screenshots.
#include "PlayerFixture.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace pictorelle::test {
namespace {

using Clock = std::chrono::steady_clock;

Rgb RgbOf(QColor c) {
    return {c.red(), c.green(), c.blue()};
}

QImage Solid(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

PackageEntry<ItemRecord> Item(const QImage& image, int seconds, int stretch = -1) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Record.ItemSeconds = seconds;
    entry.Record.ItemStretch = stretch;
    entry.Data = PngBytes(image);
    return entry;
}

PackageEntry<ItemRecord> Broken(int seconds) {
    PackageEntry<ItemRecord> entry;
    entry.Record.Ext = ".png";
    entry.Record.ItemSeconds = seconds;
    entry.Data.assign(500, 0x33);
    return entry;
}

// The grey of column x on a 1024-wide black-to-white gradient from left to right: 256 bands
// of 4 columns, band i in grey i.
Rgb GradientAt(int x) {
    return {x / 4, x / 4, x / 4};
}

const QColor kTopLeft(255, 0, 0), kTopRight(0, 255, 0), kBottomLeft(0, 0, 255),
    kBottomRight(255, 255, 0), kWide(0, 200, 200), kLogo(16, 192, 112);

class ShowOnDisplay : public PlayerOnDisplay {
protected:
    // Polls the screen's centre until it shows one of the colours, returning its index.
    int WaitForCentre(const std::vector<Rgb>& colours, int timeoutMs = 20000) {
        int found = -1;
        WaitUntil(
            [&] {
                const Rgb p = x.Pixel(512, 384);
                for (size_t i = 0; i < colours.size(); ++i)
                    if (p == colours[i]) found = static_cast<int>(i);
                return found >= 0;
            },
            timeoutMs);
        return found;
    }
};

TEST_F(ShowOnDisplay, PicturesBackgroundAndLogoLandOnTheirPixels) {
    PackageContent c = ShowContent();
    PackageHeader& h = c.Header;
    h.BackColor = 0x00000000;
    h.BackColor2 = 0x00FFFFFF;
    h.GradientStyle = 2; // left to right
    h.Seconds = 30;
    h.LogoPlacement = 4; // bottom right
    h.LogoX = 10;
    h.LogoY = 10;
    h.LogoExt = ".png";
    c.Logo = PngBytes(Solid(40, 20, kLogo));
    QImage quarters(200, 100, QImage::Format_RGB32);
    for (int row = 0; row < 100; ++row)
        for (int col = 0; col < 200; ++col)
            quarters.setPixelColor(col, row,
                                   row < 50 ? (col < 100 ? kTopLeft : kTopRight)
                                            : (col < 100 ? kBottomLeft : kBottomRight));
    c.Items.push_back(Item(quarters, 2, 2));                 // natural size, centred
    c.Items.push_back(Item(Solid(2000, 500, kWide), 30, 0)); // fitted: the width limits

    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    ASSERT_TRUE(WaitUntil([&] { return x.Pixel(412, 334) == RgbOf(kTopLeft); })) << show->Err();
    QImage shot = x.Screenshot();
    ASSERT_FALSE(shot.isNull());
    // The picture at (412, 334, 612, 434), exactly.
    EXPECT_EQ(PixelOf(shot, 412, 334), RgbOf(kTopLeft));
    EXPECT_EQ(PixelOf(shot, 611, 334), RgbOf(kTopRight));
    EXPECT_EQ(PixelOf(shot, 412, 433), RgbOf(kBottomLeft));
    EXPECT_EQ(PixelOf(shot, 611, 433), RgbOf(kBottomRight));
    EXPECT_EQ(PixelOf(shot, 511, 383), RgbOf(kTopLeft));
    EXPECT_EQ(PixelOf(shot, 512, 384), RgbOf(kBottomRight));
    EXPECT_EQ(PixelOf(shot, 411, 334), GradientAt(411));
    EXPECT_EQ(PixelOf(shot, 612, 433), GradientAt(612));
    EXPECT_EQ(PixelOf(shot, 500, 333), GradientAt(500));
    EXPECT_EQ(PixelOf(shot, 500, 434), GradientAt(500));
    // The background, band by band.
    for (int col : {0, 3, 4, 7, 8, 255, 256, 511, 512, 1019, 1023})
        EXPECT_EQ(PixelOf(shot, col, 5), GradientAt(col)) << "column " << col;
    // The logo at (974, 738, 1014, 758).
    EXPECT_EQ(PixelOf(shot, 974, 738), RgbOf(kLogo));
    EXPECT_EQ(PixelOf(shot, 1013, 757), RgbOf(kLogo));
    EXPECT_EQ(PixelOf(shot, 973, 738), GradientAt(973));
    EXPECT_EQ(PixelOf(shot, 1014, 757), GradientAt(1014));
    EXPECT_EQ(PixelOf(shot, 990, 737), GradientAt(990));
    EXPECT_EQ(PixelOf(shot, 990, 758), GradientAt(990));

    // After its two seconds the wide picture follows, fitted into (0, 256, 1024, 512).
    ASSERT_TRUE(WaitUntil([&] { return x.Pixel(0, 256) == RgbOf(kWide); })) << show->Err();
    shot = x.Screenshot();
    EXPECT_EQ(PixelOf(shot, 0, 256), RgbOf(kWide));
    EXPECT_EQ(PixelOf(shot, 1023, 511), RgbOf(kWide));
    EXPECT_EQ(PixelOf(shot, 600, 384), RgbOf(kWide));
    EXPECT_EQ(PixelOf(shot, 600, 255), GradientAt(600));
    EXPECT_EQ(PixelOf(shot, 600, 512), GradientAt(600));
    EXPECT_EQ(PixelOf(shot, 974, 738), RgbOf(kLogo));

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

TEST_F(ShowOnDisplay, ItemsChangeOnTheirOwnSecondsAndABrokenOneIsPassedOver) {
    const QColor a(220, 40, 40), b(40, 200, 40), d(40, 40, 220);
    PackageContent c = ShowContent();
    c.Header.Seconds = 30; // never reached: every item has its own time
    c.Items.push_back(Item(Solid(64, 48, a), 1));
    c.Items.push_back(Broken(1));
    c.Items.push_back(Item(Solid(64, 48, b), 3));
    c.Items.push_back(Item(Solid(64, 48, d), 1));
    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    const std::vector<Rgb> colours = {RgbOf(a), RgbOf(b), RgbOf(d)};
    ASSERT_EQ(WaitForCentre({colours[0]}), 0) << show->Err();

    // Follow the centre through a whole round and back to the first picture.
    std::vector<int> seen = {0};
    std::vector<Clock::time_point> since = {Clock::now()};
    const auto deadline = Clock::now() + std::chrono::seconds(40);
    while (seen.size() < 4 && Clock::now() < deadline) {
        const Rgb p = x.Pixel(512, 384);
        int index = -1;
        for (size_t i = 0; i < colours.size(); ++i)
            if (p == colours[i]) index = static_cast<int>(i);
        ASSERT_GE(index, 0) << "the screen showed " << p.r << "," << p.g << "," << p.b;
        if (index != seen.back()) {
            seen.push_back(index);
            since.push_back(Clock::now());
        }
    }
    ASSERT_EQ(seen, (std::vector<int>{0, 1, 2, 0}));
    const auto shown = [&](size_t k) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(since[k + 1] - since[k])
            .count();
    };
    // The three-second picture stays about three seconds, far less than the show's thirty.
    EXPECT_GE(shown(1), 1800);
    EXPECT_LT(shown(1), 15000);
    EXPECT_LT(shown(2), 15000);

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

// WCAG's contrast ratio of two colours.
double Contrast(Rgb a, Rgb b) {
    auto luminance = [](Rgb c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// On a dark and on a light show the panel's enabled buttons stand out from the panel, and the
// disabled Play button is clearly the dimmest.
TEST_F(ShowOnDisplay, ThePresentationButtonsReadOnAnyBackground) {
    for (const QColor background :
         {QColor(16, 16, 24), QColor(240, 240, 232), QColor(128, 128, 128)}) {
        PackageContent c = ShowContent();
        c.Items.push_back(Item(Solid(64, 48, background), 0, 1));
        x.MoveMouse(300, 300);
        auto show = Start(MakeShow(c, "show.exe"), {});
        ASSERT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) == RgbOf(background); }))
            << show->Err();
        x.MoveMouse(320, 320);
        const int panelX = (1024 - 193) / 2, panelY = 768 - 41 - 20;
        ASSERT_TRUE(
            WaitUntil([&] { return x.Pixel(panelX + 2, panelY + 20) != RgbOf(background); }));
        const QImage shot = x.Screenshot();
        const Rgb face = PixelOf(shot, panelX + 3, panelY + 3);
        // The strongest contrast of a button's picture against the panel's face.
        auto strongest = [&](int k) {
            double best = 1;
            for (int y = panelY + 8; y < panelY + 34; ++y)
                for (int px = panelX + 5 + k * 37 + 4; px < panelX + 5 + k * 37 + 30; ++px)
                    best = std::max(best, Contrast(PixelOf(shot, px, y), face));
            return best;
        };
        const double play = strongest(0);
        for (int k = 1; k < 5; ++k) {
            EXPECT_GE(strongest(k), 4.5)
                << "button " << k << " on " << background.name().toStdString();
            EXPECT_GT(strongest(k), 2 * play) << "button " << k;
        }
        EXPECT_LT(play, 2.0) << "the disabled Play button looks pressable";
        x.Key("Escape");
        ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    }
}

TEST_F(ShowOnDisplay, ThePresentationPanelComesWithASixPixelMoveAndItsButtonsWork) {
    const QColor colours[] = {QColor(220, 40, 40), QColor(40, 200, 40), QColor(40, 40, 220)};
    PackageContent c = ShowContent();
    c.Header.Seconds = 1;
    for (QColor colour : colours)
        c.Items.push_back(Item(Solid(64, 48, colour), 0));
    const std::vector<Rgb> rgb = {RgbOf(colours[0]), RgbOf(colours[1]), RgbOf(colours[2])};

    x.MoveMouse(300, 300);
    auto show = Start(MakeShow(c, "show.exe"), {});
    ASSERT_GE(WaitForCentre(rgb), 0) << show->Err();
    // The panel: 193 x 41, centred, 20 pixels above the bottom; its five buttons 34 wide,
    // 3 apart, from 5 pixels in.
    const int panelX = (1024 - 193) / 2, panelY = 768 - 41 - 20;
    auto button = [&](int k) { return std::pair{panelX + 5 + k * 37 + 17, panelY + 20}; };
    // Inside the panel but off its buttons: a picture's colour until the panel shows.
    auto panelShown = [&] {
        const Rgb p = x.Pixel(panelX + 2, panelY + 20);
        return std::find(rgb.begin(), rgb.end(), p) == rgb.end();
    };
    ASSERT_FALSE(panelShown());
    x.MoveMouse(305, 305);
    EXPECT_FALSE(WaitUntil(panelShown, 1500)) << "a move of 5 pixels showed the panel";
    x.MoveMouse(306, 305);
    EXPECT_TRUE(WaitUntil(panelShown)) << "a move of 6 pixels did not show the panel";

    // Pause: the picture stays well beyond its second.
    const auto [pauseX, pauseY] = button(1);
    x.MoveMouse(pauseX, pauseY);
    x.Click(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const int paused = WaitForCentre(rgb);
    ASSERT_GE(paused, 0);
    EXPECT_FALSE(WaitUntil([&] { return x.Pixel(512, 384) != rgb[paused]; }, 3000))
        << "the show went on while paused";

    // Next: the following picture, and the show stays paused.
    const auto [nextX, nextY] = button(3);
    x.MoveMouse(nextX, nextY);
    x.Click(1);
    const int afterNext = (paused + 1) % 3;
    EXPECT_EQ(WaitForCentre({rgb[afterNext]}), 0);
    EXPECT_FALSE(WaitUntil([&] { return x.Pixel(512, 384) != rgb[afterNext]; }, 3000));

    // Play: the next picture at once, then on by itself again.
    const auto [playX, playY] = button(0);
    x.MoveMouse(playX, playY);
    x.Click(1);
    EXPECT_EQ(WaitForCentre({rgb[(afterNext + 1) % 3]}), 0);
    EXPECT_EQ(WaitForCentre({rgb[(afterNext + 2) % 3]}), 0);
    EXPECT_TRUE(show->Running());

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

// Where the old picture still shows and where the new one already does, at a few points.
struct Sample {
    std::vector<Rgb> centre, corners;
};

Sample Take(const QImage& shot) {
    Sample s;
    for (auto [px, py] : {std::pair{512, 384}, {500, 370}, {524, 398}})
        s.centre.push_back(PixelOf(shot, px, py));
    for (auto [px, py] : {std::pair{4, 764}, {1019, 764}, {4, 700}})
        s.corners.push_back(PixelOf(shot, px, py));
    return s;
}

TEST_F(ShowOnDisplay, TheDemoShowChangesPicturesThroughATransition) {
    x.MoveMouse(5, 5);
    auto show = Start(PICTORELLE_DEMO_SHOW, {"/s"});
    ASSERT_FALSE(WaitForWindow("^Pictorelle Demo$").empty()) << show->Err();
    // The first picture is drawn at once; wait until the screen holds still on it.
    QImage first;
    ASSERT_TRUE(WaitUntil([&] {
        const QImage a = x.Screenshot();
        const QImage b = x.Screenshot();
        first = b;
        return !a.isNull() && a == b && PixelOf(b, 512, 384) != Rgb{0x10, 0x18, 0x30};
    }));
    const Sample old = Take(first);

    // Box Out shows the new picture in the centre first, Box In at the edges first.
    bool between = false, changed = false;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!changed && Clock::now() < deadline) {
        const Sample now = Take(x.Screenshot());
        const bool centreNew = now.centre != old.centre;
        const bool cornersNew = now.corners != old.corners;
        between = between || (centreNew != cornersNew);
        changed = centreNew && cornersNew;
    }
    EXPECT_TRUE(changed) << "the demo did not move on to its second picture";
    EXPECT_TRUE(between) << "no screenshot caught the change half done";

    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
}

TEST_F(ShowOnDisplay, AKeyDuringATransitionEndsTheShowWithoutWaitingForIt) {
    const QColor a(220, 40, 40), b(40, 200, 40);
    PackageContent c = ShowContent();
    c.Strings[StringId::Effect] = std::string(1, static_cast<char>(69)); // Box Out
    c.Header.EffectSpeed = 1; // 1024 frames of at least 9 ms
    c.Items.push_back(Item(Solid(64, 48, a), 1));
    c.Items.push_back(Item(Solid(64, 48, b), 1));
    x.MoveMouse(5, 5);
    auto show = Start(MakeShow(c), {"/s"});
    ASSERT_EQ(WaitForCentre({RgbOf(a)}), 0) << show->Err();
    // The new picture's box has reached the centre but not yet the corners.
    ASSERT_EQ(WaitForCentre({RgbOf(b)}), 0);
    ASSERT_EQ(x.Pixel(2, 2), RgbOf(a));
    const auto pressed = Clock::now();
    x.Key("space");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0);
    EXPECT_LT(Clock::now() - pressed, std::chrono::seconds(6))
        << "the show waited for the transition";
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

// The end of a show with an exit banner, and F2's wallpaper, on a private X server: the banner
// comes up centred at its size above everything, a click on it opens its address and the
// program ends; F2 writes the wallpaper file and sets the root window's background on a bare
// server, or asks the desktop's own tool on GNOME.
#include "PlayerFixture.h"

#include <QBuffer>
#include <QColor>
#include <QImage>

namespace pictorelle::test {
namespace {

const QColor kBanner(20, 180, 60), kLeft(230, 30, 30), kRight(30, 30, 230);

// 300 x 200, the left half one colour and the right half another.
QImage Halves() {
    QImage image(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            image.setPixelColor(x, y, x < 150 ? kLeft : kRight);
    return image;
}

Rgb RgbOf(QColor c) {
    return {c.red(), c.green(), c.blue()};
}

class BannerAndWallpaper : public PlayerOnDisplay {
protected:
    PackageContent OnePicture() {
        PackageContent c = ShowContent();
        c.Header.Seconds = 60;
        c.Header.Stretch = 2; // natural size: the wallpaper is centred
        PackageEntry<ItemRecord> item;
        item.Record.Ext = ".png";
        item.Record.PictureFlags = 0xFF; // shown mirrored and grey, stored as it is
        item.Data = PngBytes(Halves());
        c.Items.push_back(item);
        return c;
    }

    std::unique_ptr<Process> StartShow(const PackageContent& c, std::vector<std::string> env) {
        std::vector<std::string> all = Env();
        all.insert(all.end(), env.begin(), env.end());
        x.MoveMouse(5, 5);
        auto show = std::make_unique<Process>(MakeShow(c), std::vector<std::string>{"/s"}, all);
        EXPECT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
        return show;
    }

    // A show with an exit banner of the given size, ended with Esc: the banner's window
    // once it is up.
    std::string EndWithBanner(std::unique_ptr<Process>& show, int width, int height,
                              const std::string& link) {
        PackageContent c = OnePicture();
        c.Header.ExitBannerExt = ".png";
        c.ExitBanner = SolidPng(kBanner, width, height);
        c.Strings[StringId::ExitBannerLinkAddress] = link;
        show = StartShow(c, {});
        x.Key("Escape");
        return WaitForWindow("^Exit Banner$");
    }

    std::string RootProperty(const std::string& name) const {
        return x.Tool("xprop", {"-root", name}).out;
    }
};

TEST_F(BannerAndWallpaper, TheBannerComesUpCentredAndItsClickOpensTheAddressThenTheShowEnds) {
    std::unique_ptr<Process> show;
    const std::string window = EndWithBanner(show, 400, 300, "https://banner.example/page?a=1&b=2");
    ASSERT_FALSE(window.empty()) << show->Err();
    const std::optional<WindowInfo> info = x.Info(window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->x, 312);
    EXPECT_EQ(info->y, 234);
    EXPECT_EQ(info->width, 400);
    EXPECT_EQ(info->height, 300);
    EXPECT_TRUE(info->overrideRedirect); // no frame from a window manager
    ASSERT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) == RgbOf(kBanner); }));
    EXPECT_TRUE(KeepsRunning(*show)); // the program waits for the banner
    EXPECT_EQ(Opened(), "");

    x.MoveMouse(450, 400);
    x.Click(1);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << show->Err();
    EXPECT_EQ(show->Status(), 0);
    EXPECT_EQ(Opened(), "https://banner.example/page?a=1&b=2\n");
    EXPECT_TRUE(TempFoldersGone());
}

TEST_F(BannerAndWallpaper, EscClosesTheBannerWithoutOpeningAnything) {
    std::unique_ptr<Process> show;
    // Larger than the screen.
    const std::string window = EndWithBanner(show, 1100, 900, "https://banner.example/");
    ASSERT_FALSE(window.empty()) << show->Err();
    const std::optional<WindowInfo> info = x.Info(window);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->x, -38);
    EXPECT_EQ(info->y, -66);
    EXPECT_TRUE(KeepsRunning(*show));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << show->Err();
    EXPECT_EQ(show->Status(), 0);
    EXPECT_EQ(Opened(), "");
}

TEST_F(BannerAndWallpaper, F2OnABareServerWritesTheBitmapAndSetsTheRootBackground) {
    const std::string wallpaper = dir / ".local/share/pictorelle/Screen Saver Wallpaper.bmp";
    auto show = StartShow(OnePicture(), {"XDG_DATA_HOME=", "XDG_CURRENT_DESKTOP="});
    ASSERT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) != Rgb{}; }));

    x.Key("F2");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(wallpaper); })) << show->Err();
    // The notice, black on white, over the picture on screen.
    ASSERT_TRUE(WaitUntil([&] { return x.Pixel(100, 200) == Rgb{255, 255, 255}; })) << show->Err();
    EXPECT_TRUE(KeepsRunning(*show));
    x.Key("F2"); // a second time: the same file, overwritten
    EXPECT_TRUE(KeepsRunning(*show));
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << show->Err();
    EXPECT_EQ(show->Status(), 0);

    const QImage written(QString::fromStdString(wallpaper), "BMP");
    ASSERT_EQ(written.size(), QSize(300, 200));
    EXPECT_EQ(written.pixelColor(10, 10), kLeft); // as stored: not mirrored, in colour
    EXPECT_EQ(written.pixelColor(290, 190), kRight);
    EXPECT_EQ(ReadText(wallpaper).substr(0, 2), "BM");

    // The root window keeps the picture, centred on black, after the show has gone.
    EXPECT_NE(RootProperty("_XROOTPMAP_ID").find("pixmap id # 0x"), std::string::npos);
    EXPECT_NE(RootProperty("ESETROOT_PMAP_ID").find("pixmap id # 0x"), std::string::npos);
    EXPECT_EQ(x.Pixel(362 + 10, 284 + 10), RgbOf(kLeft));
    EXPECT_EQ(x.Pixel(362 + 290, 284 + 190), RgbOf(kRight));
    EXPECT_EQ(x.Pixel(20, 20), (Rgb{0, 0, 0}));
}

TEST_F(BannerAndWallpaper, F2OnGnomeAsksGsettingsForTheDesignedKeys) {
    ASSERT_EQ(dir.path().find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/-._~"),
              std::string::npos);
    WriteText(dir / "bin/gsettings",
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done >> '" +
                  (dir / "gsettings.txt") + "'\necho >> '" + (dir / "gsettings.txt") + "'\n");
    fs::permissions(dir / "bin/gsettings", fs::perms::owner_all);
    PackageContent c = OnePicture();
    c.Header.Stretch = 1;
    auto show =
        StartShow(c, {"XDG_DATA_HOME=" + (dir / "my data"), "XDG_CURRENT_DESKTOP=ubuntu:GNOME"});
    ASSERT_TRUE(WaitUntil([&] { return x.Pixel(512, 384) != Rgb{}; }));

    x.Key("F2");
    ASSERT_TRUE(WaitUntil([&] {
        return fs::exists(dir / "gsettings.txt") &&
               ReadText(dir / "gsettings.txt").find("picture-options") != std::string::npos;
    })) << show->Err();
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs)) << show->Err();

    const std::string uri =
        "'file://" + dir.path() + "/my%20data/pictorelle/Screen%20Saver%20Wallpaper.bmp'";
    EXPECT_EQ(ReadText(dir / "gsettings.txt"),
              "set|org.gnome.desktop.background|picture-uri|" + uri +
                  "|\n"
                  "set|org.gnome.desktop.background|picture-uri-dark|" +
                  uri +
                  "|\n"
                  "set|org.gnome.desktop.background|picture-options|'stretched'|\n");
    EXPECT_TRUE(fs::exists(dir / "my data/pictorelle/Screen Saver Wallpaper.bmp"));
    EXPECT_EQ(RootProperty("_XROOTPMAP_ID").find("pixmap id"), std::string::npos);
}

} // namespace
} // namespace pictorelle::test

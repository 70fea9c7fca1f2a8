// Applying the wallpaper file: which desktop XDG_CURRENT_DESKTOP names, the argument vectors its
// tools get (no shell in between, any character in the path), and what counts as a failure.
#include "platform/Wallpaper.h"

#include <gtest/gtest.h>
#include <map>

namespace pictorelle {
namespace {

using Argv = std::vector<std::string>;

// Records each run; tools listed in fail exit non-zero, and outputs give what a tool prints.
struct FakeTools {
    std::vector<Argv> runs;
    std::vector<std::string> fail; // "program key" or "program"
    std::map<std::string, std::string> outputs;

    TToolRunner Runner() {
        return [this](const Argv& argv) {
            runs.push_back(argv);
            for (const std::string& f : fail)
                if (f == argv[0] || (argv.size() > 3 && f == argv[0] + " " + argv[3]))
                    return TToolResult{};
            const auto out = outputs.find(argv[0]);
            return TToolResult{true, out == outputs.end() ? std::string() : out->second};
        };
    }
};

const std::string kFile = "/home/me/.local/share/pictorelle/Screen Saver Wallpaper.bmp";
const std::string kUri = "'file:///home/me/.local/share/pictorelle/Screen%20Saver%20Wallpaper.bmp'";

TEST(WallpaperDesktops, GnomeAndItsKinGetBothUrisAndTheStyle) {
    for (const char* desktop : {"GNOME", "ubuntu:GNOME", "Unity", "Budgie:GNOME", "gnome"}) {
        FakeTools tools;
        EXPECT_EQ(ApplyDesktopWallpaper(desktop, kFile, TWallpaperStyle::Stretched, tools.Runner()),
                  TDesktopOutcome::Applied);
        const std::vector<Argv> expected = {
            {"gsettings", "set", "org.gnome.desktop.background", "picture-uri", kUri},
            {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", kUri},
            {"gsettings", "set", "org.gnome.desktop.background", "picture-options", "'stretched'"},
        };
        EXPECT_EQ(tools.runs, expected) << desktop;
    }
    FakeTools tools;
    ApplyDesktopWallpaper("GNOME", kFile, TWallpaperStyle::Centred, tools.Runner());
    ASSERT_EQ(tools.runs.size(), 3u);
    EXPECT_EQ(tools.runs[2].back(), "'centered'");
}

TEST(WallpaperDesktops, OnlyTheKeysThatMatterFailTheStep) {
    FakeTools older; // a GNOME before the dark-style key
    older.fail = {"gsettings picture-uri-dark"};
    EXPECT_EQ(ApplyDesktopWallpaper("GNOME", kFile, TWallpaperStyle::Centred, older.Runner()),
              TDesktopOutcome::Applied);
    FakeTools missing;
    missing.fail = {"gsettings"};
    EXPECT_EQ(ApplyDesktopWallpaper("GNOME", kFile, TWallpaperStyle::Centred, missing.Runner()),
              TDesktopOutcome::Failed);
    EXPECT_EQ(missing.runs.size(), 3u); // every step is tried
}

TEST(WallpaperDesktops, EachKnownDesktopHasItsOwnToolAndUnknownOnesNone) {
    struct Case {
        const char* desktop;
        TWallpaperStyle style;
        std::vector<Argv> expected;
    };
    const Case cases[] = {
        {"X-Cinnamon",
         TWallpaperStyle::Centred,
         {{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", kUri},
          {"gsettings", "set", "org.cinnamon.desktop.background", "picture-options",
           "'centered'"}}},
        {"MATE",
         TWallpaperStyle::Stretched,
         {{"gsettings", "set", "org.mate.background", "picture-filename", "'" + kFile + "'"},
          {"gsettings", "set", "org.mate.background", "picture-options", "'stretched'"}}},
        {"KDE", TWallpaperStyle::Stretched, {{"plasma-apply-wallpaperimage", kFile}}},
        {"LXQt",
         TWallpaperStyle::Centred,
         {{"pcmanfm-qt", "--set-wallpaper", kFile, "--wallpaper-mode", "center"}}},
        {"LXDE",
         TWallpaperStyle::Stretched,
         {{"pcmanfm", "--set-wallpaper", kFile, "--wallpaper-mode", "stretch"}}},
        {"sway",
         TWallpaperStyle::Stretched,
         {{"swaymsg", "output", "*", "bg", "\"" + kFile + "\"", "fill"}}},
        {"i3", TWallpaperStyle::Centred, {}},
        {"", TWallpaperStyle::Centred, {}},
        {"::", TWallpaperStyle::Centred, {}},
    };
    for (const Case& k : cases) {
        FakeTools tools;
        const TDesktopOutcome outcome =
            ApplyDesktopWallpaper(k.desktop, kFile, k.style, tools.Runner());
        EXPECT_EQ(outcome,
                  k.expected.empty() ? TDesktopOutcome::NotKnown : TDesktopOutcome::Applied)
            << k.desktop;
        EXPECT_EQ(tools.runs, k.expected) << k.desktop;
    }
}

TEST(WallpaperDesktops, XfceSetsEveryBackdropThatShowedAPicture) {
    FakeTools tools;
    tools.outputs["xfconf-query"] = "/backdrop/screen0/monitorVirtual1/workspace0/color-style\n"
                                    "/backdrop/screen0/monitorVirtual1/workspace0/last-image\n"
                                    "/backdrop/screen0/monitor1/workspace1/last-image  \n"
                                    "/desktop-icons/last-image-x\n";
    EXPECT_EQ(ApplyDesktopWallpaper("XFCE", kFile, TWallpaperStyle::Stretched, tools.Runner()),
              TDesktopOutcome::Applied);
    const std::string a = "/backdrop/screen0/monitorVirtual1/workspace0/";
    const std::string b = "/backdrop/screen0/monitor1/workspace1/";
    const std::vector<Argv> expected = {
        {"xfconf-query", "-c", "xfce4-desktop", "-l"},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", a + "last-image", "-s", kFile},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", a + "image-style", "-n", "-t", "int", "-s",
         "3"},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", b + "last-image", "-s", kFile},
        {"xfconf-query", "-c", "xfce4-desktop", "-p", b + "image-style", "-n", "-t", "int", "-s",
         "3"},
    };
    EXPECT_EQ(tools.runs, expected);

    FakeTools none; // nothing listed, or the tool missing
    EXPECT_EQ(ApplyDesktopWallpaper("XFCE", kFile, TWallpaperStyle::Centred, none.Runner()),
              TDesktopOutcome::Failed);
    none.fail = {"xfconf-query"};
    EXPECT_EQ(ApplyDesktopWallpaper("XFCE", kFile, TWallpaperStyle::Centred, none.Runner()),
              TDesktopOutcome::Failed);
}

TEST(WallpaperDesktops, AnyCharacterInThePathReachesTheToolIntact) {
    const std::string odd = "/tmp/it's a \"test\" $(touch x) \\ %;&|*?\xC3\xA9.bmp";
    EXPECT_EQ(FileUri(odd), "file:///tmp/it%27s%20a%20%22test%22%20%24%28touch%20x%29%20%5C%20"
                            "%25%3B%26%7C%2A%3F%C3%A9.bmp");
    EXPECT_EQ(GVariantString("it's \\ x"), "'it\\'s \\\\ x'");

    // The real runner: no shell between us and the program.
    const TToolResult echoed = RunDesktopTool({"printf", "%s", odd});
    EXPECT_TRUE(echoed.ok);
    EXPECT_EQ(echoed.out, odd);
    EXPECT_FALSE(RunDesktopTool({"false"}).ok);
    EXPECT_FALSE(RunDesktopTool({"pictorelle-no-such-tool"}).ok);
}

// sway parses its command line itself: a name stays one word in its quotes, whatever ';' or ','
// it holds, and a name that would end the quotes early is never handed over.
TEST(WallpaperDesktops, SwayGetsTheNameAsOneQuotedWordOrNotAtAll) {
    EXPECT_EQ(SwayQuoted("/tmp/a b;exec x,y.bmp"), "\"/tmp/a b;exec x,y.bmp\"");
    for (const std::string bad : {"/tmp/a\"; exec x\".bmp", "/tmp/a\\\".bmp", "/tmp/a\nb.bmp"}) {
        EXPECT_FALSE(SwayQuoted(bad).has_value()) << bad;
        FakeTools tools;
        EXPECT_EQ(ApplyDesktopWallpaper("sway", bad, TWallpaperStyle::Centred, tools.Runner()),
                  TDesktopOutcome::Failed);
        EXPECT_TRUE(tools.runs.empty());
    }
}

} // namespace
} // namespace pictorelle

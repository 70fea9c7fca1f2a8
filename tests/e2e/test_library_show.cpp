// Library shows on a private X server: the pictures of a folder tree come in path order, one
// added while the show runs comes in a later pass and one deleted is passed over with one
// line; the deck's place survives a restart; a caption shows the date a JPEG's EXIF block
// gives; and a hostile folder (a link loop, a folder that cannot be read, a name that is not
// UTF-8, damaged pictures, a picture replaced while it is read) neither stops the show nor
// gets written to.
#include "PixelReader.h"
#include "package/LibraryShow.h"

#include <QImage>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <map>
#include <set>
#include <thread>
#include <unistd.h>

namespace pictorelle::test {
namespace {

bool Near(Rgb a, Rgb b) {
    return std::abs(a.r - b.r) < 24 && std::abs(a.g - b.g) < 24 && std::abs(a.b - b.b) < 24;
}

const Rgb kBackground{0x20, 0x30, 0x60}; // ShowContent's BackColor

struct Colour {
    const char* name;
    Rgb rgb;
};

const Colour kColours[] = {
    {"red", {255, 0, 0}},       {"green", {0, 255, 0}},     {"blue", {0, 0, 255}},
    {"yellow", {255, 255, 0}},  {"magenta", {255, 0, 255}}, {"cyan", {0, 255, 255}},
    {"white", {255, 255, 255}}, {"orange", {255, 128, 0}},
};

QColor ToQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

// The colour's name when the pixel is one of the pictures' colours, else "".
std::string NameOf(Rgb pixel) {
    for (const Colour& c : kColours)
        if (Near(pixel, c.rgb)) return c.name;
    return {};
}

Rgb RgbOf(const std::string& name) {
    for (const Colour& c : kColours)
        if (name == c.name) return c.rgb;
    return {};
}

// A JPEG of one colour whose EXIF block says it was taken on 14 July 2019 at 10:20:30: IFD 0
// points at an Exif IFD holding DateTimeOriginal, big-endian.
std::vector<uint8_t> JpegTakenIn2019(Rgb colour) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(ToQColor(colour));
    std::vector<uint8_t> jpeg = EncodedBytes(image, "JPEG");
    std::vector<uint8_t> app1 = {0xFF, 0xE1, 0x00, 0x48, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0x00,
                                 0x2A, 0x00, 0x00, 0x00, 0x08,
                                 // IFD 0: one entry, the Exif IFD at 26
                                 0x00, 0x01, 0x87, 0x69, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00,
                                 0x00, 0x00, 0x1A, 0x00, 0x00, 0x00, 0x00,
                                 // Exif IFD: DateTimeOriginal, 20 ASCII bytes at 44
                                 0x00, 0x01, 0x90, 0x03, 0x00, 0x02, 0x00, 0x00, 0x00, 0x14, 0x00,
                                 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00};
    const char* taken = "2019:07:14 10:20:30";
    app1.insert(app1.end(), taken, taken + 20); // with its NUL
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}

// Every entry below root with its size and modification time, links not followed.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Tree(const std::string& root) {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        if (it->is_symlink(ec)) {
            tree[p.string()] = {fs::read_symlink(p, ec).string().size(), {}};
            continue;
        }
        const bool file = it->is_regular_file(ec);
        tree[p.string()] = {file ? fs::file_size(p, ec) : 0, fs::last_write_time(p, ec)};
    }
    return tree;
}

// The lines of text that hold what.
size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0, start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (std::string_view(text).substr(start, end - start).find(what) != std::string::npos) ++n;
        start = end + 1;
    }
    return n;
}

class LibraryShow : public PlayerOnDisplay {
protected:
    void SetUp() override {
        PlayerOnDisplay::SetUp();
        fs::create_directory(dir / "lib");
    }

    std::vector<std::string> LibraryEnv() const {
        std::vector<std::string> env = Env();
        env.push_back("XDG_CACHE_HOME=" + (dir / "cache"));
        env.push_back("LC_ALL=C");
        return env;
    }

    std::unique_ptr<Process> Play(const std::string& show) {
        return std::make_unique<Process>(show, std::vector<std::string>{"/s"}, LibraryEnv());
    }

    void Picture(const std::string& relative, const std::string& colour) {
        fs::create_directories(fs::path(dir / ("lib/" + relative)).parent_path());
        WriteBytes(dir / ("lib/" + relative), SolidPng(ToQColor(RgbOf(colour))));
    }

    // A library show of the folder lib, one second a picture, no transitions.
    std::string MakeLibraryShow(int order, const std::string& captions = {},
                                const std::string& name = "library.scr",
                                const std::string& fixedCaption = {}) {
        PackageContent c = ShowContent();
        c.Header.Seconds = 1;
        c.Header.DisplayOrder = order;
        c.Header.BackColor2 = c.Header.BackColor; // one flat colour
        TLibraryShow show;
        show.Folder = dir / "lib";
        show.Recursive = true;
        show.CaptionTemplate = captions;
        show.Template.CaptionText = fixedCaption;
        show.Template.CaptionSize = 28;
        show.Template.CaptionColor = 0x00FFFFFF;
        show.Template.CaptionPlacement = 0;
        show.Template.CaptionX = show.Template.CaptionY = 10;
        StoreLibraryShow(show, c.Strings);
        return MakeShow(c, name);
    }

    // The pictures' colours at the screen's centre as they change, until done says enough
    // or the time is up; repeats and other colours are left out.
    std::vector<std::string>
    Watch(const std::function<bool(const std::vector<std::string>&)>& done, int timeoutMs = 30000,
          const std::function<void(const std::vector<std::string>&)>& each = {}) {
        PixelReader pixels(x.Display());
        std::vector<std::string> seen;
        WaitUntil(
            [&] {
                const std::string name = NameOf(pixels.At(512, 384));
                if (!name.empty() && (seen.empty() || seen.back() != name)) {
                    seen.push_back(name);
                    if (each) each(seen);
                }
                return done(seen);
            },
            timeoutMs);
        return seen;
    }

    void Quit(Process& player) {
        x.Key("Escape");
        EXPECT_TRUE(player.WaitExit(kExitTimeoutMs)) << player.Err();
        EXPECT_EQ(player.Status(), 0) << player.Err();
    }
};

// Path order through the tree; a picture deleted before its turn is passed over at once with
// one line, and one added while the show runs takes its place in path order in a later pass.
TEST_F(LibraryShow, PlaysTheTreeInPathOrderAndFollowsPicturesAddedAndDeleted) {
    Picture("a/1.png", "red");
    Picture("a/2.png", "green");
    Picture("b/3.png", "blue");
    Picture("c.png", "yellow");
    auto player = Play(MakeLibraryShow(0));
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << player->Err();

    bool changed = false;
    const std::vector<std::string> seen = Watch(
        [](const std::vector<std::string>& s) {
            // magenta seen, and a whole pass after it
            const auto m = std::find(s.begin(), s.end(), "magenta");
            return m != s.end() && s.end() - m >= 4;
        },
        60000,
        [&](const std::vector<std::string>& s) {
            if (changed || s.size() != 1) return;
            // Red is on screen: green goes before its turn, magenta comes.
            fs::remove(dir / "lib/a/2.png");
            Picture("b/4.png", "magenta");
            changed = true;
        });
    std::string order;
    for (const std::string& s : seen)
        order += s + " ";
    ASSERT_GE(seen.size(), 5u) << order << player->Err();
    EXPECT_EQ(seen[0], "red") << order;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "green"), 0) << order;
    // Each picture is followed by the next in path order.
    const std::map<std::string, std::vector<std::string>> next = {{"red", {"blue"}},
                                                                  {"blue", {"magenta", "yellow"}},
                                                                  {"magenta", {"yellow"}},
                                                                  {"yellow", {"red"}}};
    for (size_t i = 0; i + 1 < seen.size(); ++i) {
        const auto& allowed = next.at(seen[i]);
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), seen[i + 1]), allowed.end())
            << seen[i] << " then " << seen[i + 1] << " in " << order;
    }
    EXPECT_NE(std::find(seen.begin(), seen.end(), "magenta"), seen.end()) << order;
    Quit(*player);
    EXPECT_EQ(Count(player->Err(), "2.png"), 1u) << player->Err();
    EXPECT_TRUE(TempFoldersGone()) << "pictures are read where they lie";
    EXPECT_FALSE(fs::is_empty(dir / "cache/pictorelle")) << "the listing is cached";
}

// What the packer makes of a library plays it: the folder's pictures where they lie, in path
// order, through a transition, round again.
TEST_F(LibraryShow, AShowPackedFromALibraryPlaysItsFolder) {
    Picture("x/1.png", "red");
    Picture("x/2.png", "green");
    Picture("y.png", "blue");
    const RunResult packed = RunProgram(
        BinPath("pictorelle-pack"), {"--library", dir / "lib", "--recursive", "--seconds", "1",
                                     "--effects", "1", "-o", dir / "packed.scr"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    auto player = Play(dir / "packed.scr");
    ASSERT_FALSE(WaitForWindow("^lib$").empty()) << player->Err(); // titled by its folder
    const std::vector<std::string> seen =
        Watch([](const std::vector<std::string>& s) { return s.size() >= 4; });
    EXPECT_EQ(seen, (std::vector<std::string>{"red", "green", "blue", "red"})) << player->Err();
    Quit(*player);
    EXPECT_TRUE(TempFoldersGone());
}

// A presentation of a library: Back and Next go through the deck, a step each, while paused.
TEST_F(LibraryShow, ThePresentationsBackAndNextGoThroughTheDeck) {
    Picture("1.png", "red");
    Picture("2.png", "green");
    Picture("3.png", "blue");
    const std::vector<std::string> cycle = {"red", "green", "blue"};
    const auto after = [&](const std::string& c, int step) {
        const auto at = std::find(cycle.begin(), cycle.end(), c) - cycle.begin();
        return cycle[static_cast<size_t>((at + step + 3) % 3)];
    };
    x.MoveMouse(300, 300);
    auto show = std::make_unique<Process>(MakeLibraryShow(0, "", "library.exe"),
                                          std::vector<std::string>{}, LibraryEnv());
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
    ASSERT_TRUE(WaitUntil([&] { return !NameOf(x.Pixel(512, 384)).empty(); })) << show->Err();
    x.MoveMouse(320, 320); // shows the panel
    const int panelX = (1024 - 193) / 2, panelY = 768 - 41 - 20;
    const auto press = [&](int k) {
        x.MoveMouse(panelX + 5 + k * 37 + 17, panelY + 20);
        x.Click(1);
    };
    press(1); // Pause
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::string paused = NameOf(x.Pixel(512, 384));
    ASSERT_FALSE(paused.empty());
    press(2); // Back
    EXPECT_TRUE(WaitUntil([&] { return NameOf(x.Pixel(512, 384)) == after(paused, -1); }))
        << paused << " then " << NameOf(x.Pixel(512, 384));
    press(3); // Next
    EXPECT_TRUE(WaitUntil([&] { return NameOf(x.Pixel(512, 384)) == paused; }));
    press(3);
    EXPECT_TRUE(WaitUntil([&] { return NameOf(x.Pixel(512, 384)) == after(paused, 1); }));
    EXPECT_FALSE(WaitUntil([&] { return NameOf(x.Pixel(512, 384)) != after(paused, 1); }, 2500))
        << "the show went on while paused";
    Quit(*show);
}

// As another screen saver's hack the library's pictures take turns in the window it gives.
TEST_F(LibraryShow, PlaysInAHostWindowAsAHack) {
    Picture("1.png", "red");
    Picture("2.png", "green");
    const auto [host, hostId] = HostWindow("400x300+100+50", "e2ehost");
    ASSERT_FALSE(hostId.empty());
    auto show = std::make_unique<Process>(
        MakeLibraryShow(0), std::vector<std::string>{"-window-id", hostId}, LibraryEnv());
    PixelReader pixels(x.Display());
    std::set<std::string> seen;
    EXPECT_TRUE(WaitUntil([&] {
        seen.insert(NameOf(pixels.At(300, 200)));
        return seen.count("red") && seen.count("green");
    })) << show->Err();
    EXPECT_TRUE(NameOf(x.Pixel(700, 600)).empty()) << "drawn outside the host window";
    show->Kill(SIGTERM);
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

// A library of one picture keeps it on screen, yet finds the pictures added to its folder.
TEST_F(LibraryShow, ALibraryOfOnePictureFindsThePicturesAddedLater) {
    Picture("only.png", "red");
    auto player = Play(MakeLibraryShow(0));
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << player->Err();
    bool added = false;
    const std::vector<std::string> seen = Watch(
        [](const std::vector<std::string>& s) { return s.size() >= 2; }, 60000,
        [&](const std::vector<std::string>&) {
            if (added) return;
            Picture("other.png", "green");
            added = true;
        });
    EXPECT_EQ(seen, (std::vector<std::string>{"red", "green"})) << player->Err();
    Quit(*player);
    EXPECT_EQ(player->Err(), "");
}

// Random order: the second run goes on with the deck the first one dealt from, so nothing the
// first run showed comes again before the deck is used up.
TEST_F(LibraryShow, TheDecksPlaceSurvivesARestart) {
    int i = 0;
    for (const Colour& c : kColours)
        Picture(std::to_string(i++) + ".png", c.name);
    const std::string show = MakeLibraryShow(1);
    const auto distinct = [](const std::vector<std::string>& s) {
        std::vector<std::string> d = s;
        std::sort(d.begin(), d.end());
        d.erase(std::unique(d.begin(), d.end()), d.end());
        return d;
    };

    auto first = Play(show);
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << first->Err();
    const std::vector<std::string> one =
        Watch([](const std::vector<std::string>& s) { return s.size() >= 3; });
    Quit(*first);
    ASSERT_EQ(one.size(), 3u);
    EXPECT_EQ(distinct(one).size(), 3u) << "a deck deals each picture once";

    // Eight pictures: three seen, at most one more dealt unseen as the first run ended; the
    // next three are still from the same deck.
    auto second = Play(show);
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << second->Err();
    const std::vector<std::string> two =
        Watch([](const std::vector<std::string>& s) { return s.size() >= 3; });
    Quit(*second);
    ASSERT_EQ(two.size(), 3u) << second->Err();
    for (const std::string& c : two)
        EXPECT_EQ(std::count(one.begin(), one.end(), c), 0)
            << c << " came again before the deck was used up";
    EXPECT_EQ(distinct(two).size(), 3u);
}

// The caption made from "{taken:%e %B %Y}" for a JPEG taken in 2019 (whose file is from today)
// draws exactly what the fixed caption " 14 July 2019" draws.
TEST_F(LibraryShow, ACaptionShowsTheDateTheExifBlockGives) {
    WriteBytes(dir / "lib/photo.jpg", JpegTakenIn2019({0, 0, 255}));
    const auto shot = [&](const std::string& show) {
        auto player = Play(show);
        EXPECT_FALSE(WaitForWindow(kTitleRegex).empty()) << player->Err();
        QImage last, now;
        WaitUntil([&] {
            now = x.Screenshot();
            const bool steady =
                !now.isNull() && now == last && Near(PixelOf(now, 512, 384), {0, 0, 255});
            last = now;
            return steady;
        });
        Quit(*player);
        return now.copy(0, 0, 1024, 120);
    };
    const QImage fromExif = shot(MakeLibraryShow(0, "{taken:%e %B %Y}", "exif.scr"));
    const QImage fixed = shot(MakeLibraryShow(0, "", "fixed.scr", "14 July 2019"));
    const QImage otherDate = shot(MakeLibraryShow(0, "", "other.scr", "14 July 2020"));
    EXPECT_FALSE(fromExif.isNull());
    EXPECT_TRUE(fromExif == fixed) << "the caption is not the EXIF date";
    EXPECT_FALSE(fixed == otherDate) << "the caption does not show at all";
}

// An empty folder and a missing one: the background, one line that says why, and the show
// still ends by its exit rules.
TEST_F(LibraryShow, AnEmptyOrMissingFolderShowsTheBackgroundAndSaysWhyOnce) {
    for (const bool missing : {false, true}) {
        if (missing) fs::remove_all(dir / "lib");
        auto player = Play(MakeLibraryShow(0));
        ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << player->Err();
        EXPECT_TRUE(WaitUntil([&] { return Near(x.Pixel(512, 384), kBackground); }))
            << player->Err();
        EXPECT_TRUE(KeepsRunning(*player));
        Quit(*player);
        const std::string why = missing ? "does not exist" : "holds no pictures";
        EXPECT_EQ(Count(player->Err(), why), 1u) << player->Err();
    }
}

// A hostile library. Everything but the trouble still comes on screen; each trouble is told
// once however many passes the show makes; nothing inside the library changes.
TEST_F(LibraryShow, AHostileLibraryNeitherStopsTheShowNorIsWrittenTo) {
    Picture("a.png", "red");
    Picture(std::string("b-\xff\xfe.png"), "green"); // not UTF-8
    Picture("locked/c.png", "yellow");
    fs::create_directory_symlink(dir / "lib", dir / "lib/loop");
    WriteText(dir / "lib/broken.png", "not a picture at all");
    WriteText(dir / "lib/empty.jpg", "");
    fs::create_directory(dir / "lib/folder.png"); // a folder named like a picture
    Picture("swap.png", "blue");
    fs::permissions(dir / "lib/locked", fs::perms::none);

    // Root reads any folder: the show then runs as root without its capabilities, so that
    // the folder's mode counts.
    const bool root = geteuid() == 0;
    if (root && RunProgram("setpriv", {"--inh-caps=-all", "--ambient-caps=-all",
                                       "--bounding-set=-all", "--", "ls", dir / "lib/locked"})
                        .status == 0)
        GTEST_SKIP() << "cannot drop root's capabilities here: an unreadable folder cannot be made";
    const auto before = Tree(dir / "lib");

    // swap.png is replaced again and again while the show reads it: a whole picture, a
    // truncated one, garbage.
    const std::vector<uint8_t> whole = SolidPng(Qt::blue, 1600, 1200);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const std::vector<uint8_t> half(whole.begin(), whole.begin() + whole.size() / 2);
        int k = 0;
        while (!stop) {
            const std::string tmp = dir / "swap.tmp";
            WriteBytes(tmp, k % 3 == 0 ? whole : k % 3 == 1 ? half : std::vector<uint8_t>(5000, 7));
            fs::rename(tmp, dir / "lib/swap.png");
            ++k;
            std::this_thread::sleep_for(std::chrono::milliseconds(7));
        }
        WriteBytes(dir / "swap.tmp", whole);
        fs::rename(dir / "swap.tmp", dir / "lib/swap.png");
    });

    const std::string show = MakeLibraryShow(0);
    std::unique_ptr<Process> player;
    if (root)
        player = std::make_unique<Process>(
            "setpriv",
            std::vector<std::string>{"--inh-caps=-all", "--ambient-caps=-all",
                                     "--bounding-set=-all", "--", show, "/s"},
            LibraryEnv());
    else
        player = Play(show);
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << player->Err();
    // Three passes at least, red and green three times each: long enough for the show to
    // list the folder again, whose troubles must not be told again.
    const std::vector<std::string> seen = Watch(
        [](const std::vector<std::string>& s) {
            return std::count(s.begin(), s.end(), "red") >= 3 &&
                   std::count(s.begin(), s.end(), "green") >= 3;
        },
        90000);
    stop = true;
    swapper.join();
    EXPECT_TRUE(player->Running()) << player->Err();
    Quit(*player);
    fs::permissions(dir / "lib/locked", fs::perms::owner_all);

    const std::string err = player->Err();
    EXPECT_GE(std::count(seen.begin(), seen.end(), "green"), 3) << err;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "yellow"), 0) << "the locked folder was read";
    EXPECT_EQ(Count(err, "broken.png"), 1u) << err;
    EXPECT_EQ(Count(err, "empty.jpg"), 1u) << err;
    EXPECT_EQ(Count(err, "locked"), 1u) << err;
    EXPECT_LE(Count(err, "loop"), 1u) << err;
    EXPECT_LE(Count(err, "swap.png"), 1u) << err;
    // One line per trouble: nothing else on standard error but the lines above.
    EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 7) << err;
    fs::permissions(dir / "lib/locked", fs::perms::none);
    auto after = Tree(dir / "lib");
    after.erase(dir / "lib/swap.png");
    auto expected = before;
    expected.erase(dir / "lib/swap.png");
    std::string changes;
    for (const auto& [path, facts] : after)
        if (!expected.count(path) || expected.at(path) != facts) changes += path + " ";
    for (const auto& [path, facts] : expected)
        if (!after.count(path)) changes += "-" + path + " ";
    EXPECT_TRUE(changes.empty()) << "changed inside the library: " << changes;
    fs::permissions(dir / "lib/locked", fs::perms::owner_all);
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

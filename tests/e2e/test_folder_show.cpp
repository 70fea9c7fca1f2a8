// A show made from a folder in one command: a photo stored turned stands upright on screen, a
// stray file is named and skipped, and the manifest written on the way packs the same show; a
// folder and a picture named in another script keep their letters from the packer to the
// screen and the user's settings.
#include "PlayerFixture.h"
#include "package/CodePage.h"
#include "platform/store/SqliteRegistry.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <nlohmann/json.hpp>

namespace pictorelle::test {
namespace {

std::vector<uint8_t> Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return {bytes.begin(), bytes.end()};
}

// A JPEG whose EXIF block says "turn me 90 degrees clockwise" (orientation 6), as cameras
// store portrait photos: an APP1 segment with a one-entry directory, right after SOI.
std::vector<uint8_t> WithOrientation6(std::vector<uint8_t> jpeg) {
    const std::vector<uint8_t> app1 = {
        0xFF, 0xE1, 0x00, 0x22, 'E',  'x',  'i',  'f',  0,    0,                // marker, length 34
        'M',  'M',  0x00, 0x2A, 0x00, 0x00, 0x00, 0x08,                         // big-endian TIFF
        0x00, 0x01,                                                             // one entry
        0x01, 0x12, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00, // orientation 6
        0x00, 0x00, 0x00, 0x00};                                                // no next directory
    jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
    return jpeg;
}

bool Near(Rgb a, Rgb b) {
    return std::abs(a.r - b.r) < 40 && std::abs(a.g - b.g) < 40 && std::abs(a.b - b.b) < 40;
}

// The box around the bright pixels of the strip along the screen's bottom, where a caption
// sits by default; the pictures under it are plain blue.
QRect CaptionBox(const QImage& shot) {
    QRect box;
    for (int y = shot.height() - 168; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QRgb p = shot.pixel(x, y);
            if (qRed(p) > 160 && qGreen(p) > 160 && qBlue(p) > 160) box |= QRect(x, y, 1, 1);
        }
    return box;
}

class FolderShow : public PlayerOnDisplay {
protected:
    // Plays the show and returns its caption's box once the picture stands still.
    QRect ShownCaption(const std::string& show, const std::string& titleRegex) {
        auto player = Start(show, {"/s"});
        EXPECT_FALSE(WaitForWindow(titleRegex).empty()) << player->Err();
        QRect last, now;
        const bool steady = WaitUntil([&] {
            const QImage shot = x.Screenshot();
            if (shot.isNull()) return false;
            now = CaptionBox(shot);
            const bool same = now == last && Near(PixelOf(shot, 512, 300), {0, 0, 255});
            last = now;
            return same;
        });
        EXPECT_TRUE(steady) << player->Err();
        x.Key("Escape");
        EXPECT_TRUE(player->WaitExit(kExitTimeoutMs));
        return now;
    }
};

TEST_F(FolderShow, ATurnedPhotoStandsUprightAndTheManifestPacksTheSameShowAgain) {
    fs::create_directory(dir / "pics");
    // Stored turned: red on the left, blue on the right; upright it is a tall picture with
    // red on top.
    QImage stored(96, 48, QImage::Format_RGB32);
    QPainter p(&stored);
    p.fillRect(0, 0, 48, 48, Qt::red);
    p.fillRect(48, 0, 48, 48, Qt::blue);
    p.end();
    WriteBytes(dir / "pics/a-photo.jpg", WithOrientation6(Encoded(stored, "JPEG")));
    QImage green(32, 32, QImage::Format_RGB32);
    green.fill(Qt::green);
    WriteBytes(dir / "pics/b.png", Encoded(green, "PNG"));
    ASSERT_EQ(RunProgram("convert", {"-size", "32x32", "xc:green", dir / "pics/c.gif"}).status, 0);
    WriteText(dir / "pics/notes.txt", "not a picture\n");

    const RunResult packed =
        RunProgram(BinPath("pictorelle-pack"),
                   {"--pictures", dir / "pics", "--title", kTitle, "--seconds", "30",
                    "--write-manifest", dir / "show.json", "-o", dir / "show.scr"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_NE(packed.err.find("notes.txt: not a picture"), std::string::npos) << packed.err;
    const std::string dumped =
        RunProgram(BinPath("pictorelle-pack"), {"--dump", dir / "show.scr"}).out;
    EXPECT_NE(dumped.find("\"ItemCount\": 3"), std::string::npos) << dumped;

    // The written manifest packs to the very same show.
    ASSERT_EQ(
        RunProgram(BinPath("pictorelle-pack"), {dir / "show.json", "-o", dir / "again.scr"}).status,
        0);
    EXPECT_EQ(ReadWholeFile(dir / "show.scr"), ReadWholeFile(dir / "again.scr"));

    // Fitted on the 1024 x 768 screen the upright picture (48 x 96) is 384 x 768, centred:
    // red at its top, blue at its bottom; turned, nothing would be drawn there.
    auto show = Start(dir / "show.scr", {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty());
    EXPECT_TRUE(WaitUntil([&] {
        return Near(x.Pixel(512, 60), {255, 0, 0});
    })) << "top "
        << x.Pixel(512, 60).r << "," << x.Pixel(512, 60).g << "," << x.Pixel(512, 60).b;
    EXPECT_TRUE(Near(x.Pixel(512, 708), {0, 0, 255}));
    x.Key("Escape");
    EXPECT_TRUE(show->WaitExit(kExitTimeoutMs));

    // An empty folder is refused by name.
    fs::create_directory(dir / "empty");
    const RunResult empty =
        RunProgram(BinPath("pictorelle-pack"), {"--pictures", dir / "empty", "-o", dir / "e.scr"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("no pictures"), std::string::npos) << empty.err;
}

TEST_F(FolderShow, AFolderNamedInRussianKeepsItsLettersFromPackerToStore) {
    const std::string trip = "\u041F\u043E\u0435\u0437\u0434\u043A\u0430";
    const std::string sea = "\u043C\u043E\u0440\u0435";
    fs::create_directory(dir / trip);
    QImage blue(64, 48, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    const std::string picture = dir / (trip + "/" + sea + ".jpg");
    WriteBytes(picture, Encoded(blue, "JPEG"));

    const RunResult packed =
        RunProgram(BinPath("pictorelle-pack"), {"--pictures", dir / trip, "--captions", "--seconds",
                                                "60", "-o", dir / "trip.scr"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    const RunResult dumped = RunProgram(BinPath("pictorelle-pack"), {"--dump", dir / "trip.scr"});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const auto dump = nlohmann::json::parse(dumped.out);
    EXPECT_EQ(dump["Header"]["TextCodePage"], 65001);
    EXPECT_EQ(dump["Strings"]["SaverTitle"], trip);
    EXPECT_EQ(dump["Items"][0]["CaptionText"], sea);

    // The same picture with the caption a reader blind to the mark would draw: each UTF-8 byte
    // read as a Windows-1252 letter, twice as many letters.
    nlohmann::json garbledShow;
    garbledShow["Header"]["Seconds"] = 60;
    garbledShow["Strings"]["SaverTitle"] = "Garbled";
    garbledShow["Items"] = nlohmann::json::array(
        {nlohmann::json{{"File", picture}, {"CaptionText", Cp1252ToUtf8(sea)}}});
    WriteText(dir / "garbled.json", garbledShow.dump());
    ASSERT_EQ(
        RunProgram(BinPath("pictorelle-pack"), {dir / "garbled.json", "-o", dir / "g.scr"}).status,
        0);

    const QRect caption = ShownCaption(dir / "trip.scr", "^" + trip + "$");
    const QRect garbled = ShownCaption(dir / "g.scr", "^Garbled$");
    EXPECT_FALSE(caption.isEmpty()) << "the plain blue picture shows no caption";
    EXPECT_FALSE(garbled.isEmpty());
    EXPECT_LT(caption.width() * 4, garbled.width() * 3)
        << "four letters drawn " << caption.width() << " wide, the eight garbled ones "
        << garbled.width();
    EXPECT_NEAR(caption.center().x(), 512, 4) << "centred at the bottom";

    // Closing the options panel keeps the user's settings under the title in its own letters.
    auto options = Start(dir / "trip.scr", {"/c"});
    const std::string window = WaitForWindow("^" + trip + "$");
    ASSERT_FALSE(window.empty()) << options->Err();
    const auto info = x.Info(window);
    ASSERT_TRUE(info);
    x.MoveMouse(info->x + 418 + 40, info->y + 263 + 12); // "Close"
    x.Click(1);
    ASSERT_TRUE(options->WaitExit(kExitTimeoutMs)) << options->Err();
    SqliteRegistry store(dir / "config/pictorelle/registry.db");
    EXPECT_EQ(store.ReadAllValues("Software\\Pictorelle\\" + trip).size(), 16u);
    EXPECT_TRUE(TempFoldersGone());
}

// One picture of each of the newer formats, each a flat colour, made by Debian's encoders:
// packed from a folder, every one comes on screen in its colour.
TEST_F(FolderShow, TodaysFormatsArePackedFromAFolderAndShown) {
    const fs::path pics = dir / "formats";
    fs::create_directory(pics);
    struct Picture {
        const char* name;
        const char* colour;
        Rgb rgb;
        std::vector<std::string> encode; // program and arguments; IN and OUT stand for files
    };
    const std::vector<Picture> pictures = {
        {"a.heic", "#ff0000", {255, 0, 0}, {"heif-enc", "-q", "90", "IN", "-o", "OUT"}},
        {"b.avif", "#00ff00", {0, 255, 0}, {"avifenc", "IN", "OUT"}},
        {"c.webp", "#0000ff", {0, 0, 255}, {"cwebp", "-quiet", "IN", "-o", "OUT"}},
        {"d.jxl", "#ffff00", {255, 255, 0}, {"cjxl", "IN", "OUT"}},
    };
    for (const Picture& p : pictures) {
        // Eight-bit RGB, not the one-bit palette ImageMagick writes for a single colour:
        // heif-enc misreads that one, and a red picture comes out half red and half
        // blue with a green seam down its middle.
        const fs::path in = dir / (std::string(p.name) + ".png");
        ASSERT_EQ(RunProgram("convert", {"-size", "64x48", std::string("xc:") + p.colour,
                                         "PNG24:" + in.string()})
                      .status,
                  0);
        std::vector<std::string> args(p.encode.begin() + 1, p.encode.end());
        for (std::string& a : args)
            a = a == "IN" ? in.string() : a == "OUT" ? (pics / p.name).string() : a;
        const RunResult made = RunProgram(p.encode.front(), args);
        ASSERT_EQ(made.status, 0) << p.name << ": " << made.err;
    }
    // A plain picture first: the formats under test all come on screen by the show's own
    // sequence, none of them only at its start.
    ASSERT_EQ(RunProgram("convert", {"-size", "64x48", "xc:gray", pics / "0-start.png"}).status, 0);
    WriteText(pics / "e.svg", "<?xml version='1.0'?>\n<svg xmlns='http://www.w3.org/2000/svg' "
                              "width='64' height='48'><rect width='64' height='48' "
                              "fill='#ff00ff'/></svg>\n");
    const RunResult packed =
        RunProgram(BinPath("pictorelle-pack"), {"--pictures", pics, "--title", kTitle, "--seconds",
                                                "2", "--effects", "69", "-o", dir / "formats.scr"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(packed.err.find("not a picture"), std::string::npos) << packed.err;

    EXPECT_NE(RunProgram(BinPath("pictorelle-pack"), {"--dump", dir / "formats.scr"})
                  .out.find("\"ItemCount\": 6"),
              std::string::npos);

    std::vector<Rgb> colours;
    for (const Picture& p : pictures)
        colours.push_back(p.rgb);
    colours.push_back({255, 0, 255});
    std::vector<bool> seen(colours.size(), false);
    auto show = Start(dir / "formats.scr", {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty());
    WaitUntil(
        [&] {
            const Rgb centre = x.Pixel(512, 384);
            for (size_t i = 0; i < colours.size(); ++i)
                if (Near(centre, colours[i])) seen[i] = true;
            return std::find(seen.begin(), seen.end(), false) == seen.end();
        },
        60000);
    const char* names[] = {"HEIC", "AVIF", "WebP", "JPEG XL", "SVG"};
    for (size_t i = 0; i < colours.size(); ++i)
        EXPECT_TRUE(seen[i]) << names[i] << " never came on screen";
    x.Key("Escape");
    EXPECT_TRUE(show->WaitExit(kExitTimeoutMs));
}

} // namespace
} // namespace pictorelle::test

#include "Run.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace pictorelle::test {
namespace {

using nlohmann::json;

std::vector<unsigned char> Bytes(size_t n, unsigned seed) {
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>((i * seed) ^ (i >> 3));
    return v;
}

// Every setting an author can give, each away from the packer's default.
const char* kFullManifest = R"({
  "Header": {
    "Seconds": 12, "DisplayOrder": 2, "BackColor": "0x00112233", "BackColor2": 4456448,
    "GradientStyle": 7, "BackPictureMode": 2, "DesktopSnapshot": true, "RandomColors": true,
    "RandomGradient": true, "RepaintBackgroundPerItem": true, "Stretch": 5, "Loop": false,
    "Mute": true, "ShuffleMelody": true, "DesktopStart": true, "ShowFirstItemOnce": true,
    "MuteVideo": true, "AllowOwnPlaylist": false, "PlayOneRandom": true, "ExitMouseMove": false,
    "ExitMouseButton": false, "ExitKeyboard": false, "ExitESC": true, "DisableTwoMonitors": true,
    "HideGeneralTab": true, "HidePositionTab": true, "HideEffectsTab": true, "HideSoundTab": true,
    "HideBehaviorTab": true, "EffectSpeed": 9, "LogoPlacement": 6, "LogoX": -7, "LogoY": 33,
    "LogoTransparentColor": "0x80000005", "AllowStandalone": true
  },
  "Strings": {
    "SaverTitle": "Caf\u00e9 \u20ac Show", "AboutText": "About\r\nlines", "WebsiteAddress": "example.org",
    "Reserved4": "r4", "Reserved10": "r10", "F1LinkAddress": "https://f1.example/",
    "ExitLinkAddress": "mailto:a@example.org", "BannerLinkAddress": "https://b.example/",
    "ExitBannerLinkAddress": "https://eb.example/", "Reserved16": "r16", "Effect": [120, 1, 69],
    "InterfaceTexts": "[Screen Saver]\r\nbtnClose=Shut"
  },
  "Sections": {
    "FlashControl": "flash.ocx", "Preview": "preview.bmp", "Banner": "banner.bmp",
    "ExitBanner": "exit.jpeg", "Logo": "logo.png", "Background": "back.gif"
  },
  "Items": [
    { "File": "one.jpg", "CaptionPlacement": 3, "CaptionColor": 255, "CaptionX": 4, "CaptionY": -5,
      "CaptionBackColor": 65280, "CaptionFont": "DejaVu Serif", "CaptionStyle": 15,
      "CaptionSize": 31, "CaptionText": "First\r\nsecond", "CaptionTransparent": 0,
      "CaptionSmooth": 0, "CaptionShadow": 0, "ItemSeconds": -2, "ItemStretch": 4,
      "MaskIndex": 0, "EnterSoundIndex": 0, "PictureFlags": 7, "ItemEffect": [3, 4],
      "ItemEffectSpeed": 10 },
    { "File": "two.bin", "Ext": ".TIFF" }
  ],
  "Masks": [ { "File": "mask.png" }, { "File": "mask2.dat", "MaskType": 9 } ],
  "EnterSounds": [ { "File": "enter.wave" } ],
  "Melodies": [ { "File": "song.mp3" }, { "File": "tune.ogg" } ]
})";

const std::map<std::string, size_t> kFiles = {
    {"flash.ocx", 3000}, {"preview.bmp", 500}, {"banner.bmp", 300},  {"exit.jpeg", 4000},
    {"logo.png", 700},   {"back.gif", 9000},   {"one.jpg", 100000},  {"two.bin", 5},
    {"mask.png", 2000},  {"mask2.dat", 64},    {"enter.wave", 1200}, {"song.mp3", 800000},
    {"tune.ogg", 1},
};

std::string Repeated(const std::string& text, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += text;
    return out;
}

bool FileHolds(const std::string& path, std::string_view text) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return all.find(text) != std::string_view::npos;
}

class PackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsigned seed = 3;
        for (const auto& [name, size] : kFiles)
            WriteBytes(dir / name, Bytes(size, seed += 2));
    }
    RunResult Pack(const std::string& manifest, std::vector<std::string> options = {}) {
        WriteText(dir / "show.json", manifest);
        std::vector<std::string> args = {dir / "show.json", "-o", dir / "show.scr"};
        args.insert(args.end(), options.begin(), options.end());
        return RunProgram(BinPath("pictorelle-pack"), args);
    }
    ScratchDir dir;
};

// Every value of the manifest comes back from the dump, and every entry's bytes come back
// out of the show.
TEST_F(PackerTest, ManifestRoundTripsThroughTheShow) {
    // Its items are made-up bytes: the round trip is what is tried here.
    const auto packed = Pack(kFullManifest, {"--allow-broken"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    const auto dumped = RunProgram(BinPath("pictorelle-pack"), {"--dump", dir / "show.scr"});
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    const json dump = json::parse(dumped.out);
    const json manifest = json::parse(kFullManifest);

    for (const auto& [key, value] : manifest["Header"].items()) {
        json expected = value;
        if (value.is_string())
            expected = static_cast<int32_t>(std::stoul(value.get<std::string>(), nullptr, 16));
        EXPECT_EQ(dump["Header"][key], expected) << key;
    }
    for (const auto& [key, value] : manifest["Strings"].items())
        EXPECT_EQ(dump["Strings"][key], value) << key;
    EXPECT_EQ(dump["Strings"]["Reserved5"], "");
    for (const char* kind : {"Items", "Masks", "EnterSounds", "Melodies"}) {
        ASSERT_EQ(dump[kind].size(), manifest[kind].size()) << kind;
        for (size_t i = 0; i < manifest[kind].size(); ++i)
            for (const auto& [key, value] : manifest[kind][i].items())
                if (key != "File") {
                    EXPECT_EQ(dump[kind][i][key], value) << kind << i << key;
                }
    }
    // Derived from the file names.
    EXPECT_EQ(dump["Header"]["LogoExt"], ".png");
    EXPECT_EQ(dump["Header"]["ExitBannerExt"], ".jpeg");
    EXPECT_EQ(dump["Header"]["BackgroundExt"], ".gif");
    EXPECT_EQ(dump["Items"][0]["Ext"], ".jpg");
    EXPECT_EQ(dump["Masks"][0]["MaskType"], 1);
    EXPECT_EQ(dump["EnterSounds"][0]["Ext"], ".wave");
    EXPECT_EQ(dump["Header"]["ItemCount"], 2);
    EXPECT_EQ(dump["Header"]["PreviewSize"], 500);

    // The show is the player followed by the package.
    const auto player = std::filesystem::file_size(BinPath("pictorelle"));
    EXPECT_EQ(dump["PackageStart"], player);
    const std::string show = dir / "show.scr";
    const Package p = ReadPackage(FileSource(show));
    auto check = [&](const EntryRecord& r, int64_t offset, const std::string& file) {
        const std::string out = dir / "extracted";
        ExtractEntry(show, out, r.Compressed(), offset, r.StoredSize, r.DataSize);
        EXPECT_EQ(ReadWholeFile(out), ReadWholeFile(dir / file)) << file;
    };
    check(p.Items[0], p.EntryOffset(p.Items[0]), "one.jpg");
    check(p.Items[1], p.EntryOffset(p.Items[1]), "two.bin");
    check(p.Masks[1], p.EntryOffset(p.Masks[1]), "mask2.dat");
    check(p.EnterSounds[0], p.EntryOffset(p.EnterSounds[0]), "enter.wave");
    check(p.Melodies[0], p.EntryOffset(p.Melodies[0]), "song.mp3");
    check(p.Melodies[1], p.EntryOffset(p.Melodies[1]), "tune.ogg");
    const auto& h = p.Header;
    EntryRecord logo{{}, h.LogoDataSize, h.LogoStoredSize};
    check(logo, p.SectionStart(SectionId::Logo), "logo.png");
    EntryRecord background{{}, h.BackgroundDataSize, h.BackgroundStoredSize};
    check(background, p.SectionStart(SectionId::Background), "back.gif");
    EntryRecord preview{{}, h.PreviewSize, 0};
    check(preview, p.SectionStart(SectionId::Preview), "preview.bmp");
}

TEST_F(PackerTest, RejectsBadManifestsNamingTheField) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"Header": {"Seconds": 0}})", "Header.Seconds"},
        {R"({"Header": {"Stretch": 6}})", "Header.Stretch"},
        {R"({"Header": {"ItemCount": 3}})", "Header.ItemCount"},
        {R"({"Header": {"Loop": 1}})", "Header.Loop"},
        {R"({"Header": {"Sconds": 5}})", "Header.Sconds"},
        {R"({"Header": {"BackColor": "red"}})", "Header.BackColor"},
        {R"({"Strings": {"Effect": [0]}})", "Strings.Effect"},
        {R"({"Header": {"TextCodePage": 1252}, "Strings": {"SaverTitle": "\u4e2d"}})",
         "Strings.SaverTitle"},
        {R"({"Header": {"TextCodePage": 437}})", "Header.TextCodePage"},
        {R"({"Strings": {"Title": "x"}})", "Strings.Title"},
        {R"({"Sections": {"Logo": "missing.png"}})", "Sections.Logo"},
        {R"({"Items": [{"File": "one.jpg", "CaptionPlacement": 7}]})", "Items[0].CaptionPlacement"},
        {R"({"Items": [{"File": "one.jpg", "MaskIndex": 0}]})", "Items[0].MaskIndex"},
        {R"({"Items": [{"File": "one.jpg", "Ext": "/../x"}]})", "Items[0].Ext"},
        {R"({"Items": [{"File": "one.jpg", "Ext": ".jpeg2"}]})", "Items[0].Ext"},
        {R"({"Items": [{"File": "one.jpg", "Offset": 0}]})", "Items[0].Offset"},
        {R"({"Items": [{"CaptionText": "no file"}]})", "Items[0]"},
        {R"({"Items": [{"File": "one.jpg", "ItemEffectSpeed": 0}]})", "Items[0].ItemEffectSpeed"},
        {R"({"Items": [{"File": "one.jpg", "CaptionText": ")" + std::string(252, 'x') + R"("}]})",
         "Items[0].CaptionText"},
        // 126 Cyrillic letters fit a caption's 251 bytes as Windows-1252 could hold them, but
        // not as the UTF-8 they need.
        {R"({"Items": [{"File": "one.jpg", "CaptionText": ")" + Repeated("\u0436", 126) + R"("}]})",
         "Items[0].CaptionText"},
        {R"({"Masks": [{"File": "two.bin"}]})", "Masks[0].MaskType"},
        {R"({"Melodies": {}})", "Melodies"},
        {R"({"Header": )", "show.json"},
    };
    for (const auto& [manifest, field] : cases) {
        const auto r = Pack(manifest);
        EXPECT_NE(r.status, 0) << manifest;
        EXPECT_NE(r.err.find(field), std::string::npos) << manifest << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "show.scr")) << manifest;
    }
}

// Texts Windows-1252 can hold are stored as before, a single byte each and no mark; any other
// text makes the whole package UTF-8, and says so.
TEST_F(PackerTest, StoresTextsInWindows1252UnlessOneNeedsUtf8) {
    // The fixture's pictures are made-up bytes: only the texts matter here.
    const std::vector<std::string> anyItems = {"--allow-broken", "--allow-empty"};
    const auto dump = [&] {
        const auto r = RunProgram(BinPath("pictorelle-pack"), {"--dump", dir / "show.scr"});
        EXPECT_EQ(r.status, 0) << r.err;
        return json::parse(r.out);
    };
    ASSERT_EQ(Pack(R"({"Strings": {"SaverTitle": "Caf\u00e9 \u20ac"},
                       "Items": [{"File": "one.jpg", "CaptionText": "na\u00efve"}]})",
                   anyItems)
                  .status,
              0);
    EXPECT_EQ(dump()["Header"]["TextCodePage"], 0);
    EXPECT_TRUE(FileHolds(dir / "show.scr", "Caf\xE9 \x80"));
    EXPECT_TRUE(FileHolds(dir / "show.scr", "na\xEFve"));

    const std::string trip = "\u041F\u043E\u0435\u0437\u0434\u043A\u0430";
    const std::string wave = "\U0001F30A \u6D77";
    const auto packed = Pack(R"({"Strings": {"SaverTitle": "Caf\u00e9 )" + trip + R"("},
                                 "Items": [{"File": "one.jpg", "CaptionText": ")" +
                                 wave + R"(", "CaptionFont": "Caf\u00e9"}]})",
                             anyItems);
    ASSERT_EQ(packed.status, 0) << packed.err;
    json d = dump();
    EXPECT_EQ(d["Header"]["TextCodePage"], 65001);
    EXPECT_EQ(d["Strings"]["SaverTitle"], "Caf\u00e9 " + trip);
    EXPECT_EQ(d["Items"][0]["CaptionText"], wave);
    EXPECT_EQ(d["Items"][0]["CaptionFont"], "Caf\u00e9") << "every text follows the mark";
    EXPECT_TRUE(FileHolds(dir / "show.scr", "Caf\xC3\xA9"));

    // An author may ask for UTF-8 even where Windows-1252 would do.
    ASSERT_EQ(Pack(R"({"Header": {"TextCodePage": 65001}, "Strings": {"SaverTitle": "x"},
                       "Items": []})",
                   anyItems)
                  .status,
              0);
    EXPECT_EQ(dump()["Header"]["TextCodePage"], 65001);
}

// The folder's own name is the title, however the folder was written on the command line.
TEST_F(PackerTest, TitlesAFolderShowByTheFoldersName) {
    std::filesystem::create_directories(dir / "Trip to Sea");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(QString::fromStdString(dir / "Trip to Sea/a.png"), "PNG"));
    auto titleOf = [&](const std::string& folder, const std::string& cwd) {
        const std::string manifest = dir / "folder.json";
        const auto r = RunProgram("/bin/sh", {"-c",
                                              "cd \"$0\" && exec \"$1\" --pictures \"$2\" "
                                              "--write-manifest \"$3\"",
                                              cwd, BinPath("pictorelle-pack"), folder, manifest});
        EXPECT_EQ(r.status, 0) << folder << ": " << r.err;
        return json::parse(ReadWholeFile(manifest))["Strings"]["SaverTitle"].get<std::string>();
    };
    EXPECT_EQ(titleOf("Trip to Sea/", dir.path()), "Trip to Sea");
    EXPECT_EQ(titleOf(dir / "Trip to Sea//", "/"), "Trip to Sea");
    EXPECT_EQ(titleOf(".", dir / "Trip to Sea"), "Trip to Sea");
    EXPECT_EQ(titleOf("./", dir / "Trip to Sea"), "Trip to Sea");
    EXPECT_EQ(titleOf("Trip to Sea/../Trip to Sea/.", dir.path()), "Trip to Sea");
}

// What the show would pass over as it plays is refused when it is packed, named by its field,
// unless the author packs it anyway.
TEST_F(PackerTest, ItemsThatAreNotWhatTheirExtensionSaysAreRefusedByName) {
    WriteText(dir / "good.png", std::string("\x89PNG\r\n\x1A\n", 8) + "rest of a picture");
    WriteText(dir / "text.jpg", "just some words\n");
    WriteText(dir / "empty.gif", "");
    WriteText(dir / "clip.mp4", "no video here\n");
    WriteText(dir / "movie.swf", "FWS\x0A rest of a movie");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"([{"File": "good.png"}, {"File": "text.jpg"}])", "Items[1].File: not a JPEG picture"},
        {R"([{"File": "good.png"}, {"File": "empty.gif"}])", "Items[1].File: not a GIF picture"},
        {R"([{"File": "clip.mp4"}])", "Items[0].File: not a video"},
        {R"([{"File": "good.png", "Ext": ".swf"}])", "Items[0].File: not a Flash movie"},
        {R"([{"File": "good.png", "Ext": ".txt"}])", "Items[0].File: \".txt\" is not a picture"},
        {R"([{"File": "text.jpg", "Ext": ".tif"}])", "Items[0].File: not a TIFF picture"},
    };
    for (const auto& [items, message] : cases) {
        const auto r = Pack(R"({"Items": )" + items + "}");
        EXPECT_EQ(r.status, 1) << items;
        EXPECT_NE(r.err.find(message), std::string::npos) << items << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "show.scr")) << items;
    }
    const auto good = Pack(R"({"Items": [{"File": "good.png"}, {"File": "movie.swf"}]})");
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.err, "");

    const auto anyway =
        Pack(R"({"Items": [{"File": "good.png"}, {"File": "text.jpg"}]})", {"--allow-broken"});
    ASSERT_EQ(anyway.status, 0) << anyway.err;
    EXPECT_EQ(anyway.err, "pictorelle-pack: Items[1].File: not a JPEG picture (packed anyway)\n");
    EXPECT_EQ(ReadPackage(FileSource(dir / "show.scr")).Items.size(), 2u);
}

// A background alone is a show only when the manifest says so and the author confirms it.
TEST_F(PackerTest, AShowWithoutItemsMustBeMeantAndAllowed) {
    const auto missing = Pack("{}", {"--allow-empty"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Items: missing"), std::string::npos) << missing.err;
    const auto empty = Pack(R"({"Items": []})");
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("--allow-empty"), std::string::npos) << empty.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "show.scr"));
    const auto meant = Pack(R"({"Items": []})", {"--allow-empty"});
    EXPECT_EQ(meant.status, 0) << meant.err;
    EXPECT_TRUE(ReadPackage(FileSource(dir / "show.scr")).Items.empty());
}

// The folder's music takes every kind of sound file the show plays.
TEST_F(PackerTest, AMusicFolderKeepsEverySoundTheShowPlays) {
    std::filesystem::create_directory(dir / "pics");
    std::filesystem::create_directory(dir / "music");
    WriteText(dir / "pics/a.png", std::string("\x89PNG\r\n\x1A\n", 8) + "rest");
    const std::vector<std::string> sounds = {"a.flac", "b.m4a",  "c.mid", "d.mp3",
                                             "e.ogg",  "f.opus", "g.wav", "h.WMA"};
    for (const auto& name : sounds)
        WriteText(dir / ("music/" + name), "sound");
    WriteText(dir / "music/notes.txt", "not music");
    const auto r = RunProgram(BinPath("pictorelle-pack"),
                              {"--pictures", dir / "pics", "--music", dir / "music",
                               "--write-manifest", dir / "made.json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "pictorelle-pack: skipping " + (dir / "music/notes.txt") + ": not music\n");
    const json made = json::parse(std::ifstream(dir / "made.json"));
    ASSERT_EQ(made["Melodies"].size(), sounds.size()) << made.dump();
    for (size_t i = 0; i < sounds.size(); ++i)
        EXPECT_EQ(std::filesystem::path(made["Melodies"][i]["File"].get<std::string>()).filename(),
                  sounds[i]);
}

// Each wrong command line says in one line what is wrong, then how the packer is used.
TEST(PackerCommandLine, EveryUsageErrorSaysWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "nothing to pack"},
        {{"--pictures", "pics"}, "--pictures needs -o SHOW"},
        {{"show.json"}, "show.json needs -o SHOW"},
        {{"show.json", "-o"}, "-o needs the show to write"},
        {{"show.json", "-o", "x.scr", "--frobnicate"}, "unknown option --frobnicate"},
        {{"show.json", "other.json", "-o", "x.scr"}, "one manifest at a time"},
        {{"show.json", "--music", "m", "-o", "x.scr"}, "--music goes with --pictures DIR"},
        {{"show.json", "--pictures", "p", "-o", "x.scr"}, "--pictures makes its own manifest"},
        {{"show.json", "--write-manifest", "m.json", "-o", "x.scr"},
         "--write-manifest goes with --pictures DIR"},
        {{"--dump", "a.scr", "-o", "x.scr"}, "--dump SHOW takes nothing else"},
        {{"--library", "lib", "--pictures", "p", "-o", "x.scr"},
         "--library and --pictures exclude each other"},
        {{"--library", "lib"}, "--library needs -o SHOW"},
        {{"--library", "lib", "--max-size", "10x10", "-o", "x.scr"},
         "--max-size goes with --pictures DIR"},
        {{"--library", "lib", "-o", "x.scr", "--captions"}, "--captions needs a caption template"},
        {{"--library", "lib", "--captions", "-o", "x.scr"}, "--captions needs a caption template"},
        {{"--library", "lib", "--captions", "caf\xE9", "-o", "x.scr"},
         "--captions: the template is not UTF-8"},
        {{"show.json", "--library", "lib", "-o", "x.scr"}, "--library makes its own manifest"},
        {{"--captions", "{name}", "-o", "x.scr"}, "--captions goes with --pictures DIR"},
    };
    for (const auto& [args, reason] : cases) {
        const auto r = RunProgram(BinPath("pictorelle-pack"), args);
        EXPECT_EQ(r.status, 2) << reason;
        EXPECT_EQ(r.err.rfind("pictorelle-pack: " + reason, 0), 0u) << r.err;
        const size_t eol = r.err.find('\n');
        EXPECT_EQ(r.err.compare(eol + 1, 6, "usage:"), 0) << r.err;
    }
}

// The library's folder as the show stores it: absolute, in normal form, no trailing slash.
std::string StoredFolder(const std::string& folder) {
    std::string path = std::filesystem::absolute(folder).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

json DumpOf(const std::string& show) {
    const auto r = RunProgram(BinPath("pictorelle-pack"), {"--dump", show});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json();
}

std::vector<std::string> FolderListing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A library show packs no picture: its package names the folder, the caption template and the
// one item every picture gets, and carries the settings and music a folder show does.
TEST_F(PackerTest, ALibraryShowCarriesItsFolderInsteadOfItsPictures) {
    std::filesystem::create_directories(dir / "Photos/2019");
    std::filesystem::create_directory(dir / "music");
    WriteText(dir / "Photos/2019/a.png", std::string("\x89PNG\r\n\x1A\n", 8) + "rest");
    WriteText(dir / "music/tune.mp3", "sound");
    const auto before = FolderListing(dir / "Photos");
    const std::string captions = "{taken:%e %B %Y} \u00B7 {folder}";
    // Written relative to the working folder, with a trailing slash and a detour.
    const auto r = RunProgram(
        "/bin/sh", {"-c", "cd \"$0\" && exec \"$@\"", dir.path(), BinPath("pictorelle-pack"),
                    "--library", "Photos/2019/../", "--recursive", "--captions", captions,
                    "--music", "music", "--seconds", "9", "--effects", "1-3", "-o", "show.scr"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(FolderListing(dir / "Photos"), before) << "nothing is written in the library";

    const json d = DumpOf(dir / "show.scr");
    EXPECT_EQ(d["Header"]["ItemCount"], 0);
    EXPECT_EQ(d["Items"].size(), 0u);
    EXPECT_EQ(d["Header"]["Seconds"], 9);
    EXPECT_EQ(d["Header"]["TextCodePage"], 0) << "the template fits Windows-1252";
    EXPECT_EQ(d["Strings"]["SaverTitle"], "Photos");
    EXPECT_EQ(d["Strings"]["Effect"], json({1, 2, 3}));
    EXPECT_EQ(d["Melodies"].size(), 1u);
    ASSERT_TRUE(d.contains("library")) << d.dump(2);
    const json& library = d["library"];
    EXPECT_EQ(library["folder"], StoredFolder(dir / "Photos"));
    EXPECT_FALSE(library.contains("folderBytes"));
    EXPECT_EQ(library["recursive"], true);
    EXPECT_EQ(library["captions"], captions);
    // The item a folder show's pictures get, without what each picture's file gives.
    const json& item = library["item"];
    EXPECT_EQ(item["CaptionPlacement"], 5);
    EXPECT_EQ(item["CaptionSize"], 20);
    EXPECT_EQ(item["CaptionColor"], 0xFFFFFF);
    EXPECT_EQ(item["ItemStretch"], -1);
    EXPECT_EQ(item["ItemEffectSpeed"], -1);
    EXPECT_EQ(item["CaptionText"], "");
    for (const char* own : {"Ext", "Offset", "DataSize", "StoredSize"})
        EXPECT_FALSE(item.contains(own)) << own;

    // An ordinary show has no library.
    ASSERT_EQ(Pack(R"({"Items": []})", {"--allow-empty"}).status, 0);
    EXPECT_FALSE(DumpOf(dir / "show.scr").contains("library"));
}

// The folder must be there when the show is made; otherwise nothing is written at all.
TEST_F(PackerTest, ALibraryThatIsNoFolderIsRefused) {
    WriteText(dir / "file.txt", "not a folder");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir / "missing", "--library: " + (dir / "missing") + ": no such folder"},
        {dir / "file.txt", "--library: " + (dir / "file.txt") + ": not a folder"},
    };
    for (const auto& [folder, message] : cases) {
        const auto r =
            RunProgram(BinPath("pictorelle-pack"), {"--library", folder, "-o", dir / "show.scr",
                                                    "--write-manifest", dir / "made.json"});
        EXPECT_EQ(r.status, 1) << folder;
        EXPECT_EQ(r.err, "pictorelle-pack: " + message + "\n");
        EXPECT_FALSE(std::filesystem::exists(dir / "show.scr"));
        EXPECT_FALSE(std::filesystem::exists(dir / "made.json"));
    }
}

// The manifest's "library" makes the very show the options make, and takes every item field.
TEST_F(PackerTest, AManifestsLibraryMakesTheSameShowAsTheOptions) {
    std::filesystem::create_directory(dir / "lib");
    const auto made =
        RunProgram(BinPath("pictorelle-pack"),
                   {"--library", dir / "lib", "--captions", "{name}", "--title", "Lib", "-o",
                    dir / "options.scr", "--write-manifest", dir / "made.json"});
    ASSERT_EQ(made.status, 0) << made.err;
    const json manifest = json::parse(ReadWholeFile(dir / "made.json"));
    EXPECT_EQ(manifest["library"]["folder"], StoredFolder(dir / "lib"));
    EXPECT_FALSE(manifest.contains("Items"));
    const auto again =
        RunProgram(BinPath("pictorelle-pack"), {dir / "made.json", "-o", dir / "manifest.scr"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(ReadWholeFile(dir / "manifest.scr"), ReadWholeFile(dir / "options.scr"));

    // By hand: a folder relative to the manifest, the template item's fields, UTF-8 texts.
    const std::string sea = "\u043C\u043E\u0440\u0435";
    const json item = {{"CaptionPlacement", 2}, {"CaptionColor", 255},
                       {"CaptionX", -3},        {"CaptionFont", "Caf\u00E9"},
                       {"CaptionSize", 40},     {"CaptionText", sea},
                       {"CaptionShadow", 0},    {"ItemSeconds", 12},
                       {"ItemStretch", 4},      {"MaskIndex", 0},
                       {"PictureFlags", 4},     {"ItemEffect", {7, 8}},
                       {"ItemEffectSpeed", 3}};
    const json byHand = {
        {"Masks", {{{"File", "mask.png"}}}},
        {"library",
         {{"folder", "lib/"}, {"recursive", true}, {"captions", sea + " {path}"}, {"item", item}}},
        {"Items", json::array()}};
    ASSERT_EQ(Pack(byHand.dump()).status, 0);
    const json d = DumpOf(dir / "show.scr");
    EXPECT_EQ(d["Header"]["ItemCount"], 0);
    EXPECT_EQ(d["Header"]["TextCodePage"], 65001) << "the template needs UTF-8";
    EXPECT_EQ(d["library"]["folder"], StoredFolder(dir / "lib"));
    EXPECT_EQ(d["library"]["recursive"], true);
    EXPECT_EQ(d["library"]["captions"], sea + " {path}");
    for (const auto& [key, value] : item.items())
        EXPECT_EQ(d["library"]["item"][key], value) << key;
}

TEST_F(PackerTest, RejectsBadLibraryManifestsNamingTheField) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"library": {"folder": ".", "item": {}}, "Items": [{"File": "one.jpg"}]})",
         "library: a library show plays its folder's pictures"},
        {R"({"library": {"recursive": true}})", "library.folder: missing"},
        {R"({"library": {"folder": "nowhere"}})", "library.folder: "},
        {R"({"library": {"folder": "one.jpg"}})", "library.folder: "},
        {R"({"library": {"folder": 3}})", "library.folder"},
        {R"({"library": {"folder": ".", "recursive": 1}})", "library.recursive"},
        {R"({"library": {"folder": ".", "captions": ["x"]}})", "library.captions"},
        {R"({"library": {"folder": ".", "shuffle": true}})", "library.shuffle: unknown field"},
        {R"({"library": {"folder": ".", "item": {"File": "one.jpg"}}})", "library.item.File"},
        {R"({"library": {"folder": ".", "item": {"Ext": ".jpg"}}})", "library.item.Ext"},
        {R"({"library": {"folder": ".", "item": {"Offset": 0}}})", "library.item.Offset"},
        {R"({"library": {"folder": ".", "item": {"CaptionPlacement": 7}}})",
         "library.item.CaptionPlacement"},
        {R"({"library": {"folder": ".", "item": {"MaskIndex": 0}}})", "library.item.MaskIndex"},
        {R"({"library": {"folder": ".", "item": {"ItemEffectSpeed": 0}}})",
         "library.item.ItemEffectSpeed"},
        {R"({"library": {"folder": ".", "item": {"CaptionText": ")" + Repeated("\u0436", 126) +
             R"("}}})",
         "library.item.CaptionText: longer than 251 bytes of UTF-8"},
        {R"({"library": {"folder": "."}, "Strings": {"Reserved6": "x"}})", "Strings.Reserved6"},
        {R"({"library": "."})", "library: expected an object"},
    };
    for (const auto& [manifest, field] : cases) {
        const auto r = Pack(manifest);
        EXPECT_EQ(r.status, 1) << manifest;
        EXPECT_NE(r.err.find(field), std::string::npos) << manifest << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "show.scr")) << manifest;
    }
}

// A folder's name need not be UTF-8: the show keeps its bytes, the dump shows them escaped,
// and a manifest, which cannot hold them, is not written.
TEST_F(PackerTest, ALibraryFolderThatIsNotUtf8KeepsItsBytes) {
    const std::string folder = dir / "F\xE9te";
    std::filesystem::create_directory(folder);
    const auto r =
        RunProgram(BinPath("pictorelle-pack"), {"--library", folder, "-o", dir / "show.scr"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json d = DumpOf(dir / "show.scr");
    EXPECT_EQ(d["library"]["folder"], StoredFolder(dir / "F\uFFFDte"));
    EXPECT_EQ(d["library"]["folderBytes"].get<std::string>().substr(
                  d["library"]["folderBytes"].get<std::string>().size() - 6),
              "F%E9te");
    EXPECT_EQ(d["Strings"]["SaverTitle"], "F\uFFFDte");

    const auto kept = RunProgram(BinPath("pictorelle-pack"),
                                 {"--library", folder, "--write-manifest", dir / "made.json"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_NE(kept.err.find("not UTF-8"), std::string::npos) << kept.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "made.json"));
}

TEST_F(PackerTest, RefusesToPackAShowIntoAShow) {
    ASSERT_EQ(Pack(R"({"Items": []})", {"--allow-empty"}).status, 0);
    const auto r =
        RunProgram(BinPath("pictorelle-pack"), {dir / "show.json", "-o", dir / "again.scr",
                                                "--player", dir / "show.scr", "--allow-empty"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("already carries a package"), std::string::npos) << r.err;
}

// Without a display the player cannot show its message box; it still says why on standard
// error and ends with a failure.
TEST(Player, BarePlayerReportsACorruptFile) {
    const auto r = RunProgram(BinPath("pictorelle"), {}, {"DISPLAY="});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("The screen saver can not run because of one of the following reasons:"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("* The file is corrupted"), std::string::npos);
}

TEST(Player, TruncatedShowReportsACorruptFile) {
    ScratchDir dir;
    WriteText(dir / "show.json", R"({"Items": []})");
    ASSERT_EQ(RunProgram(BinPath("pictorelle-pack"),
                         {dir / "show.json", "-o", dir / "show.scr", "--allow-empty"})
                  .status,
              0);
    std::filesystem::resize_file(dir / "show.scr",
                                 std::filesystem::file_size(dir / "show.scr") - 1);
    const auto r = RunProgram(dir / "show.scr", {}, {"DISPLAY="});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("* The file is corrupted"), std::string::npos) << r.err;
}

} // namespace
} // namespace pictorelle::test

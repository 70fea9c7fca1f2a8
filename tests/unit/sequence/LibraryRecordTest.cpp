#include "show/sequence/LibraryRecord.h"

#include "library/LibraryFolder.h"
#include "show/sequence/ItemSequence.h"

#include <cstdint>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>
#include <vector>

using namespace pictorelle;

namespace {

// A TIFF-structured EXIF block, little-endian, whose Exif IFD holds DateTimeOriginal.
std::vector<uint8_t> ExifBlock(const char* taken) {
    std::vector<uint8_t> b = {'I', 'I', 0x2A, 0, 8, 0, 0, 0,
                              // IFD 0: the Exif IFD at 26
                              1, 0, 0x69, 0x87, 4, 0, 1, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0,
                              // Exif IFD: DateTimeOriginal, 20 bytes at 44
                              1, 0, 0x03, 0x90, 2, 0, 20, 0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 20; ++i) // with its NUL
        b.push_back(static_cast<uint8_t>(taken[i]));
    return b;
}

// A JPEG head: SOI, the APP1 "Exif" segment, then the start of a picture's data.
std::vector<uint8_t> JpegWithExif(const char* taken) {
    const std::vector<uint8_t> block = ExifBlock(taken);
    const size_t length = 2 + 6 + block.size();
    std::vector<uint8_t> f = {0xFF,
                              0xD8,
                              0xFF,
                              0xE1,
                              static_cast<uint8_t>(length >> 8),
                              static_cast<uint8_t>(length),
                              'E',
                              'x',
                              'i',
                              'f',
                              0,
                              0};
    f.insert(f.end(), block.begin(), block.end());
    f.insert(f.end(), {0xFF, 0xDA, 0x00, 0x02});
    return f;
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Sets the file's modification time to noon of the given local day.
void SetModified(const std::string& path, int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    const utimbuf times{std::mktime(&t), std::mktime(&t)};
    ::utime(path.c_str(), &times);
}

bool Is(const std::optional<TTakenTime>& t, int year, int month, int day) {
    return t && t->year == year && t->month == month && t->day == day;
}

TEST(LibraryTimer, KeepsGoingWhileTheFolderIsListedAndPollsWhenNothingNewIsKnown) {
    TShowTimerState s;
    s.seconds = 5;
    s.itemCount = 1; // one picture known so far

    // Still listing: one picture does not stop the show, which waits its period for more.
    TTimerPlan plan = LibraryTickTimer(s, true, true, 250);
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.interval, 5000);
    // Nothing new to deal: ask again soon.
    plan = LibraryTickTimer(s, true, false, 250);
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.interval, 250);
    // The listing is complete with a single picture: the timer goes on at its period, so that
    // the folder is listed again; with none at all the show waits, as an empty show does.
    plan = LibraryTickTimer(s, false, true, 250);
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.interval, 5000);
    s.itemCount = 0;
    EXPECT_FALSE(LibraryTickTimer(s, false, false, 250).enabled);

    // The designed rules still hold: a paused presentation and a running transition wait.
    s.itemCount = 3;
    s.shownItemSeconds = 12;
    EXPECT_EQ(LibraryTickTimer(s, false, true, 250).interval, 12000);
    s.presentationMode = true;
    s.presentationPlaying = false;
    EXPECT_FALSE(LibraryTickTimer(s, true, false, 250).enabled);
    s.presentationPlaying = true;
    s.transitionRunning = true;
    EXPECT_FALSE(LibraryTickTimer(s, true, true, 250).enabled);
}

TEST(LibraryFailures, DealAgainAtOnceUntilEveryKnownPictureFailedInARow) {
    EXPECT_TRUE(DealAgainAfterFailure(1, 3, true));
    EXPECT_TRUE(DealAgainAfterFailure(2, 3, true));
    EXPECT_FALSE(DealAgainAfterFailure(3, 3, true)) << "no endless loop over broken pictures";
    EXPECT_FALSE(DealAgainAfterFailure(1, 0, true)) << "every picture gone";
    EXPECT_TRUE(DealAgainAfterFailure(50, 3, false)) << "more may come while the folder is listed";
}

TEST(PictureTakenTime, ReadsTheExifBlockOrFallsBackToTheFilesTime) {
    TLibraryFolder folder;
    // A JPEG's APP1 segment.
    Write(folder.Path("camera.jpg"), JpegWithExif("2019:07:14 10:20:30"));
    SetModified(folder.Path("camera.jpg"), 2001, 2, 3);
    const auto camera = PictureTakenTime(folder.Path("camera.jpg"));
    EXPECT_TRUE(Is(camera, 2019, 7, 14));
    EXPECT_EQ(camera->hour, 10);
    EXPECT_EQ(camera->second, 30);

    // A container the head reader does not parse (WebP's RIFF chunks): found by its mark.
    std::vector<uint8_t> webp = {'R', 'I', 'F', 'F', 0, 0, 0, 0,   'W', 'E', 'B', 'P', 'E',
                                 'X', 'I', 'F', 0,   0, 0, 0, 'E', 'x', 'i', 'f', 0,   0};
    const std::vector<uint8_t> block = ExifBlock("2015:12:31 23:59:58");
    webp.insert(webp.end(), block.begin(), block.end());
    Write(folder.Path("edited.webp"), webp);
    EXPECT_TRUE(Is(PictureTakenTime(folder.Path("edited.webp")), 2015, 12, 31));

    // No EXIF, a damaged one, a time of zeros: the file's own time.
    Write(folder.Path("plain.jpg"), {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02});
    Write(folder.Path("zeros.jpg"), JpegWithExif("0000:00:00 00:00:00"));
    std::vector<uint8_t> cut = JpegWithExif("2019:07:14 10:20:30");
    cut.resize(30);
    Write(folder.Path("cut.jpg"), cut);
    for (const char* name : {"plain.jpg", "zeros.jpg", "cut.jpg"}) {
        SetModified(folder.Path(name), 2001, 2, 3);
        EXPECT_TRUE(Is(PictureTakenTime(folder.Path(name)), 2001, 2, 3)) << name;
    }

    // A FIFO named like a photo is not waited on; a file that vanished has no time.
    ASSERT_EQ(::mkfifo(folder.Path("pipe.jpg").c_str(), 0600), 0);
    EXPECT_TRUE(PictureTakenTime(folder.Path("pipe.jpg")).has_value());
    EXPECT_FALSE(PictureTakenTime(folder.Path("gone.jpg")).has_value());
}

TEST(LibraryPictureRecord, TheTemplateWithThePicturesExtensionAndCaption) {
    TLibraryFolder folder;
    folder.Touch("Holidays/Rome/IMG_1.JPG");
    SetModified(folder.Path("Holidays/Rome/IMG_1.JPG"), 2012, 5, 6);
    TLibraryShow show;
    show.Folder = folder.Path("Holidays/");
    show.Template.ItemSeconds = 9;
    show.Template.CaptionText = "fixed";
    show.CaptionTemplate = "{folder}/{name}: {taken:%Y}";

    ItemRecord r =
        LibraryPictureRecord(show, {"Rome/IMG_1.JPG", folder.Path("Holidays/Rome/IMG_1.JPG")});
    EXPECT_EQ(r.Ext, ".JPG");
    EXPECT_EQ(r.ItemSeconds, 9);
    EXPECT_EQ(r.CaptionText, "Rome/IMG_1: 2012");

    // At the library's top the folder is the library's own name; a name without an extension
    // has none.
    folder.Touch("Holidays/README");
    r = LibraryPictureRecord(show, {"README", folder.Path("Holidays/README")});
    EXPECT_EQ(r.Ext, "");
    EXPECT_EQ(r.CaptionText.substr(0, 16), "Holidays/README:");

    // Without a template every picture gets the record's own caption.
    show.CaptionTemplate.clear();
    EXPECT_EQ(LibraryPictureRecord(show, {"x.png", folder.Path("x.png")}).CaptionText, "fixed");
}

} // namespace

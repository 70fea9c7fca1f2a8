#include "library/CaptionTemplate.h"

#include <gtest/gtest.h>

#include <clocale>
#include <vector>

namespace pictorelle {
namespace {

// A TIFF-structured block written in either byte order: IFD 0 with DateTime and, when asked,
// a link to an Exif IFD with DateTimeOriginal.
class TExifWriter {
public:
    explicit TExifWriter(bool little) : little_(little) {}

    std::vector<uint8_t> Block(const char* dateTime, const char* original) {
        bytes_ = {static_cast<uint8_t>(little_ ? 'I' : 'M'), static_cast<uint8_t>(little_ ? 'I' : 'M')};
        Put16(42);
        Put32(8);
        const uint32_t ifd0Entries = (dateTime ? 1u : 0u) + (original ? 1u : 0u);
        // IFD 0 at 8, the Exif IFD after it, the texts after both.
        const uint32_t exifIfd = 8 + 2 + 12 * ifd0Entries + 4;
        const uint32_t texts = exifIfd + (original ? 2 + 12 + 4 : 0);
        Put16(ifd0Entries);
        if (dateTime) Entry(0x0132, 2, 20, texts);
        if (original) Entry(0x8769, 4, 1, exifIfd);
        Put32(0);
        if (original) {
            Put16(1);
            Entry(0x9003, 2, 20, texts + 20);
            Put32(0);
        }
        Text(dateTime ? dateTime : "");
        Text(original ? original : "");
        return bytes_;
    }

private:
    void Put16(uint32_t v) { PutBytes(v, 2); }
    void Put32(uint32_t v) { PutBytes(v, 4); }
    void PutBytes(uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes_.push_back(static_cast<uint8_t>(v >> (8 * (little_ ? i : n - 1 - i))));
    }
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        Put16(tag);
        Put16(type);
        Put32(count);
        Put32(value);
    }
    void Text(const char* text) {
        std::string padded(text);
        padded.resize(20, '\0');
        bytes_.insert(bytes_.end(), padded.begin(), padded.end());
    }

    bool little_;
    std::vector<uint8_t> bytes_;
};

void expectTime(const std::optional<TTakenTime>& t, int y, int mo, int d, int h, int mi, int s) {
    ASSERT_TRUE(t);
    EXPECT_EQ(std::vector<int>({t->year, t->month, t->day, t->hour, t->minute, t->second}),
              std::vector<int>({y, mo, d, h, mi, s}));
}

TEST(LibraryCaption, TakenTimeComesFromEitherByteOrderAndFallsBackToDateTime) {
    for (bool little : {true, false}) {
        TExifWriter writer(little);
        expectTime(ExifTakenTime(writer.Block("2001:02:03 04:05:06", "2019:12:31 23:59:58")), 2019,
                   12, 31, 23, 59, 58);
        expectTime(ExifTakenTime(writer.Block("2001:02:03 04:05:06", nullptr)), 2001, 2, 3, 4, 5, 6);
        expectTime(ExifTakenTime(writer.Block("2001:02:03 04:05:06", "0000:00:00 00:00:00")), 2001,
                   2, 3, 4, 5, 6);
        EXPECT_FALSE(ExifTakenTime(writer.Block("    :  :     :  :  ", nullptr)));
        auto prefixed = writer.Block(nullptr, "2020:01:02 03:04:05");
        prefixed.insert(prefixed.begin(), {'E', 'x', 'i', 'f', 0, 0});
        expectTime(ExifTakenTime(prefixed), 2020, 1, 2, 3, 4, 5);
    }
}

TEST(LibraryCaption, ABrokenBlockGivesNoTimeAndIsNeverReadPastItsEnd) {
    const auto whole = TExifWriter(true).Block("2001:02:03 04:05:06", "2019:12:31 23:59:58");
    // Every truncation: the reads are checked against the end (the sanitizers would see one
    // that is not).
    for (size_t n = 0; n < whole.size(); ++n) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
        const auto t = ExifTakenTime(cut);
        if (t) {
            EXPECT_TRUE(t->year == 2001 || t->year == 2019);
        }
    }
    auto pointingAway = whole;
    pointingAway[8 + 2 + 12 + 8] = 0xF0; // the Exif IFD's offset far past the end
    pointingAway[8 + 2 + 8] = 0xFF;      // DateTime's text likewise
    EXPECT_FALSE(ExifTakenTime(pointingAway));
    auto hugeCount = whole;
    hugeCount[8] = 0xFF; // IFD 0 claims 0xFFFF entries
    hugeCount[9] = 0xFF;
    EXPECT_NO_FATAL_FAILURE(ExifTakenTime(hugeCount));
    EXPECT_FALSE(ExifTakenTime(std::vector<uint8_t>{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(LibraryCaption, FieldsBracesAndNamesThatAreNotUtf8) {
    TCaptionFacts facts{"2019/Summer \xff/beach.photo.jpg", "Photos", TTakenTime{2019, 8, 4, 9, 7, 3}};
    EXPECT_EQ(ExpandCaption("{file}|{name}|{folder}|{path}", facts),
              "beach.photo.jpg|beach.photo|Summer \xEF\xBF\xBD|2019/Summer \xEF\xBF\xBD/beach.photo.jpg");
    EXPECT_EQ(ExpandCaption("{{file}} {unknown} {taken:%Y} {x} }}", facts), "{file} {unknown} 2019 {x} }");
    EXPECT_EQ(ExpandCaption("{ {folder", facts), "{ {folder");
    EXPECT_EQ(ExpandCaption("", facts), "");
    TCaptionFacts top{"a.jpg", "Photos", std::nullopt};
    EXPECT_EQ(ExpandCaption("{folder}: {taken}{taken:%Y}.", top), "Photos: .");

    EXPECT_TRUE(CaptionUsesTaken("{taken}"));
    EXPECT_TRUE(CaptionUsesTaken("x {taken:%e %B} y"));
    EXPECT_FALSE(CaptionUsesTaken("{{taken}} {file} {takenx}"));
}

TEST(LibraryCaption, TakenIsFormattedInTheLocaleWithTheRightWeekday) {
    const std::string was = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C");
    TCaptionFacts facts{"a.jpg", "", TTakenTime{2024, 2, 29, 2, 30, 0}};
    EXPECT_EQ(ExpandCaption("{taken:%A %e %B %Y %H:%M}", facts), "Thursday 29 February 2024 02:30");
    facts.taken = TTakenTime{1850, 6, 31, 0, 0, 0}; // a day no June has, before the epoch
    EXPECT_EQ(ExpandCaption("{taken:%a %d %m}", facts), "Mon 31 06");
    EXPECT_EQ(ExpandCaption("{taken}", TCaptionFacts{"a.jpg", "", TTakenTime{2000, 1, 2, 3, 4, 5}}),
              "01/02/00 03:04:05");
    std::setlocale(LC_TIME, was.c_str());
}

} // namespace
} // namespace pictorelle

#include "library/CaptionTemplate.h"

#include "core/TiffBlock.h"
#include "package/CodePage.h"

#include <cstring>
#include <sys/stat.h>

namespace pictorelle {

namespace {

constexpr uint16_t kExifIfdTag = 0x8769;
constexpr uint16_t kDateTimeOriginalTag = 0x9003;
constexpr uint16_t kDateTimeTag = 0x0132;

// "YYYY:MM:DD HH:MM:SS", as EXIF writes a moment; an unknown one is blanks or zeros.
std::optional<TTakenTime> parseExifTime(std::string_view text) {
    if (text.size() < 19) return std::nullopt;
    static constexpr std::string_view kShape = "dddd:dd:dd dd:dd:dd";
    int fields[6] = {};
    int field = 0;
    for (size_t i = 0; i < kShape.size(); ++i) {
        const char c = text[i];
        if (kShape[i] == 'd') {
            if (c < '0' || c > '9') return std::nullopt;
            fields[field] = fields[field] * 10 + (c - '0');
        } else {
            // Some writers use other separators; the digits' places are what counts.
            ++field;
        }
    }
    TTakenTime t{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]};
    if (t.year == 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
        t.minute > 59 || t.second > 60)
        return std::nullopt;
    return t;
}

std::optional<TTakenTime> entryTime(const TTiffBlock& tiff, uint32_t ifd, uint16_t tag) {
    const std::optional<size_t> entry = tiff.FindEntry(ifd, tag);
    if (!entry) return std::nullopt;
    const std::optional<std::string_view> text = tiff.AsciiValue(*entry);
    return text ? parseExifTime(*text) : std::nullopt;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The moment as a calendar time for strftime: the camera's fields as they are, with the
// weekday, the day of the year and the zone the C library gives that date.
std::tm calendarTime(const TTakenTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    std::tm normalised = tm;
    // mktime moves a time that a clock change skipped; the date alone is asked for at noon.
    normalised.tm_hour = 12;
    normalised.tm_min = normalised.tm_sec = 0;
    if (mktime(&normalised) != -1 && normalised.tm_mday == t.day &&
        normalised.tm_mon == t.month - 1) {
        tm.tm_wday = normalised.tm_wday;
        tm.tm_yday = normalised.tm_yday;
        tm.tm_isdst = normalised.tm_isdst;
        tm.tm_gmtoff = normalised.tm_gmtoff;
        tm.tm_zone = normalised.tm_zone;
        return tm;
    }
    // A date the C library cannot place (a day 31 in a 30-day month, a far year): the weekday
    // is still the calendar's.
    const int64_t days = daysFromCivil(t.year, t.month, t.day);
    tm.tm_wday = static_cast<int>(((days % 7) + 11) % 7);
    tm.tm_yday = static_cast<int>(days - daysFromCivil(t.year, 1, 1));
    tm.tm_isdst = 0;
    tm.tm_zone = "";
    return tm;
}

std::string formatTaken(const TTakenTime& t, std::string_view format) {
    if (format.empty()) format = "%x %X";
    const std::tm tm = calendarTime(t);
    // A trailing mark tells an empty result from a buffer too small.
    const std::string pattern = std::string(format) + "|";
    for (size_t size = 128; size <= 16384; size *= 4) {
        std::string out(size, '\0');
        const size_t n = std::strftime(out.data(), out.size(), pattern.c_str(), &tm);
        if (n == 0) continue;
        out.resize(n - 1);
        return ValidUtf8(out);
    }
    return {};
}

std::string_view fileName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view folderName(const TCaptionFacts& facts) {
    const size_t slash = facts.path.rfind('/');
    if (slash == std::string::npos) return facts.libraryName;
    return fileName(std::string_view(facts.path).substr(0, slash));
}

std::string_view stem(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

// Walks a template: literal text and fields, with "{{" and "}}" as braces. A field is known
// by its name; anything else between braces, and a brace never closed, is literal text.
template <class Literal, class Field>
void walkTemplate(std::string_view text, Literal literal, Field field) {
    size_t at = 0;
    while (at < text.size()) {
        const size_t brace = text.find_first_of("{}", at);
        if (brace == std::string_view::npos) {
            literal(text.substr(at));
            return;
        }
        literal(text.substr(at, brace - at));
        if (brace + 1 < text.size() && text[brace + 1] == text[brace]) {
            literal(text.substr(brace, 1));
            at = brace + 2;
            continue;
        }
        const size_t close = text[brace] == '{' ? text.find('}', brace) : std::string_view::npos;
        if (close == std::string_view::npos) {
            literal(text.substr(brace, 1));
            at = brace + 1;
            continue;
        }
        const std::string_view inside = text.substr(brace + 1, close - brace - 1);
        const size_t colon = inside.find(':');
        const std::string_view name = inside.substr(0, colon);
        const std::string_view argument =
            colon == std::string_view::npos ? std::string_view() : inside.substr(colon + 1);
        const bool known = name == "taken" || (colon == std::string_view::npos &&
                                               (name == "file" || name == "name" ||
                                                name == "folder" || name == "path"));
        if (known)
            field(name, argument);
        else
            literal(text.substr(brace, close - brace + 1));
        at = close + 1;
    }
}

} // namespace

std::optional<TTakenTime> ExifTakenTime(std::span<const uint8_t> exif) {
    const std::optional<TTiffBlock> tiff = TTiffBlock::Open(exif);
    if (!tiff) return std::nullopt;
    const uint32_t ifd0 = tiff->FirstIfd();
    if (const std::optional<size_t> link = tiff->FindEntry(ifd0, kExifIfdTag)) {
        const std::optional<uint32_t> exifIfd = tiff->NumberValue(*link);
        // A sub-IFD that points back at IFD 0 is read like any other: there is no loop to
        // follow, only one more look-up.
        if (exifIfd)
            if (auto taken = entryTime(*tiff, *exifIfd, kDateTimeOriginalTag)) return taken;
    }
    return entryTime(*tiff, ifd0, kDateTimeTag);
}

std::optional<TTakenTime> FileModifiedTime(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    std::tm tm{};
    const time_t when = st.st_mtime;
    if (!localtime_r(&when, &tm)) return std::nullopt;
    return TTakenTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                      tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

bool CaptionUsesTaken(std::string_view captionTemplate) {
    bool uses = false;
    walkTemplate(
        captionTemplate, [](std::string_view) {},
        [&](std::string_view name, std::string_view) { uses = uses || name == "taken"; });
    return uses;
}

std::string ExpandCaption(std::string_view captionTemplate, const TCaptionFacts& facts) {
    std::string out;
    walkTemplate(
        captionTemplate, [&](std::string_view text) { out += text; },
        [&](std::string_view name, std::string_view argument) {
            if (name == "taken") {
                if (facts.taken) out += formatTaken(*facts.taken, argument);
            } else if (name == "file") {
                out += fileName(facts.path);
            } else if (name == "name") {
                out += stem(fileName(facts.path));
            } else if (name == "folder") {
                out += folderName(facts);
            } else {
                out += facts.path;
            }
        });
    // File names and the template itself may hold any bytes; captions are drawn as UTF-8.
    return ValidUtf8(out);
}

} // namespace pictorelle

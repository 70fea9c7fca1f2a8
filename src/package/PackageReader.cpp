#include "package/PackageReader.h"

#include "package/ByteOrder.h"
#include "package/CodePage.h"

#include <cstring>
#include <limits>

namespace pictorelle {
namespace {

// The string block lies between the record sections and the trailer.
int64_t TrailerStart(const Package& p) {
    return static_cast<int64_t>(p.Header.FileLength) - kTrailerSize;
}

void CheckHeader(const PackageHeader& h, int64_t fileLength) {
    if (h.PackageSize < kTrailerSize || h.PackageSize > fileLength)
        throw PackageError("package size does not fit the file");
    int64_t sections = 0;
    for (int64_t length : SectionLengths(h)) {
        if (length < 0) throw PackageError("negative section length");
        sections += length;
    }
    if (sections > h.PackageSize - kTrailerSize)
        throw PackageError("sections run into the trailer");
}

// A text of the package as the rest of the program takes it: UTF-8, whatever the package
// stored. Effect selections and file extensions are bytes, not text, and stay as they are.
std::string TextOf(std::string_view bytes, const PackageHeader& header) {
    return header.HasUtf8Texts() ? ValidUtf8(bytes) : Cp1252ToUtf8(bytes);
}

template <class R>
void DecodeTexts(R& record, std::span<const Field<R>> fields, const PackageHeader& header) {
    for (const auto& f : fields)
        if (f.textMember && f.role == TextRole::Plain)
            record.*f.textMember = TextOf(record.*f.textMember, header);
}

// Reads count records of one kind from the start of its section. Records must lie inside the
// section: a count that would run into the next section means the header is corrupt.
template <class R>
std::vector<R> ReadRecords(const ByteSource& file, const PackageHeader& header, int64_t start,
                           int64_t sectionLength, int32_t count, int recordSize,
                           std::span<const Field<R>> fields) {
    std::vector<R> records;
    if (count <= 0) return records;
    if (static_cast<int64_t>(count) * recordSize > sectionLength)
        throw PackageError("records overrun their section");
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * static_cast<size_t>(recordSize));
    file.ReadAt(start, bytes.data(), bytes.size());
    records.resize(static_cast<size_t>(count));
    for (size_t i = 0; i < records.size(); ++i) {
        DecodeFields(bytes.data() + i * static_cast<size_t>(recordSize), records[i], fields);
        DecodeTexts(records[i], fields, header);
    }
    return records;
}

} // namespace

int64_t Package::SectionStart(SectionId section) const {
    const auto lengths = SectionLengths(Header);
    const auto before = static_cast<size_t>(section) - 1;
    int64_t start = PackageStart;
    for (size_t i = 0; i < before && i < lengths.size(); ++i)
        start += lengths[i];
    return start;
}

void LocatePackage(const ByteSource& file, Package& package) {
    const int64_t fileLength = file.Size();
    // Offsets and sizes are 32-bit: a larger file cannot be described by its own header.
    if (fileLength < kTrailerSize) throw PackageError("file too short for a package");
    if (fileLength > std::numeric_limits<int32_t>::max())
        throw PackageError("files above 2 GiB are not supported");

    uint8_t trailer[kTrailerSize];
    file.ReadAt(fileLength - kTrailerSize, trailer, sizeof trailer);
    if (std::memcmp(trailer + kHeaderSize, kPackageMagic.data(), kPackageMagic.size()) != 0)
        throw PackageError("no package: the magic is missing");

    PackageHeader header;
    DecodeFields(trailer, header, HeaderFields());
    header.FileLength = static_cast<int32_t>(fileLength);
    CheckHeader(header, fileLength);
    package.Header = header;
    package.PackageStart = fileLength - header.PackageSize;
}

void ReadPackageStrings(const ByteSource& file, Package& package) {
    int64_t pos = package.SectionStart(SectionId::Strings);
    const int64_t end = TrailerStart(package);
    for (size_t i = 0; i < package.Strings.values.size(); ++i) {
        std::string& value = package.Strings.values[i];
        if (end - pos < 2) throw PackageError("string block runs into the trailer");
        uint8_t count[2];
        file.ReadAt(pos, count, 2);
        const uint16_t n = LoadUInt16LE(count);
        pos += 2;
        if (end - pos < n) throw PackageError("string runs into the trailer");
        value.resize(n);
        file.ReadAt(pos, value.data(), n);
        pos += n;
        if (static_cast<StringId>(i) != StringId::Effect) value = TextOf(value, package.Header);
    }
}

void ReadPackageRecords(const ByteSource& file, Package& package) {
    const PackageHeader& h = package.Header;
    package.Items = ReadRecords(file, h, package.SectionStart(SectionId::Items), h.ItemSectionSize,
                                h.ItemCount, kItemRecordSize, ItemFields());
    package.Masks = ReadRecords(file, h, package.SectionStart(SectionId::Masks), h.MaskSectionSize,
                                h.MaskCount, kMaskRecordSize, MaskFields());
    package.EnterSounds =
        ReadRecords(file, h, package.SectionStart(SectionId::EnterSounds), h.EnterSoundSectionSize,
                    h.EnterSoundCount, kEnterSoundRecordSize, EnterSoundFields());
    package.Melodies =
        ReadRecords(file, h, package.SectionStart(SectionId::Melodies), h.MelodySectionSize,
                    h.MelodyCount, kMelodyRecordSize, MelodyFields());
}

Package ReadPackage(const ByteSource& file) {
    Package package;
    LocatePackage(file, package);
    ReadPackageStrings(file, package);
    ReadPackageRecords(file, package);
    return package;
}

} // namespace pictorelle

#include "package/PackageWriter.h"

#include "core/Error.h"
#include "package/ByteOrder.h"

#include <limits>
#include <stdexcept>
#include <zlib.h>

namespace pictorelle {
namespace {

int32_t CheckedSize(size_t n) {
    if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw std::length_error("package outgrows 32-bit sizes");
    return static_cast<int32_t>(n);
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Appends one record section, leaving each record's location to be patched once the entry
// data has been placed after the string block.
template <class R>
size_t AppendRecords(std::vector<uint8_t>& out, const std::vector<PackageEntry<R>>& entries,
                     int recordSize) {
    const size_t start = out.size();
    out.resize(start + entries.size() * static_cast<size_t>(recordSize));
    return start;
}

struct StoredEntry {
    std::vector<uint8_t> bytes;
    int32_t dataSize;
    int32_t storedSize;
};

// Every showing inflates a compressed entry again: about 3 ms a megabyte on a fast processor,
// a quarter of the time it takes to load a large photo, whereas reading an eighth more bytes
// costs less than that even from a slow disk, and nothing once the package is in the page
// cache. Compression thus only buys a smaller package, worth the wait when deflate saves a
// good share: bitmaps, uncompressed TIFF and text shrink by half or more, while photos in
// JPEG or PNG, GIF and MP3 files mostly shrink by a few percent. An entry is stored raw
// unless deflate saves more than an eighth of it.
constexpr size_t kDeflateMinSavingDivisor = 8;

bool DeflateSavesEnough(size_t rawSize, size_t packedSize) {
    return packedSize < rawSize && rawSize - packedSize > rawSize / kDeflateMinSavingDivisor;
}

StoredEntry Store(const std::vector<uint8_t>& data, bool tryCompression) {
    if (tryCompression && !data.empty()) {
        auto packed = DeflateBytes(data);
        const int32_t storedSize = CheckedSize(packed.size());
        if (DeflateSavesEnough(data.size(), packed.size()))
            return {std::move(packed), CheckedSize(data.size()), storedSize};
    }
    return {data, CheckedSize(data.size()), 0};
}

// Places every entry's data at the end of the package and writes its record.
template <class R>
void PlaceEntries(std::vector<uint8_t>& out, size_t recordsAt, int recordSize, size_t base,
                  const std::vector<PackageEntry<R>>& entries, std::span<const Field<R>> fields,
                  bool compress, const std::map<size_t, int32_t>& inflatedSizes = {}) {
    for (size_t i = 0; i < entries.size(); ++i) {
        R record = entries[i].Record;
        const auto given = inflatedSizes.find(i);
        const StoredEntry stored =
            given != inflatedSizes.end()
                ? StoredEntry{entries[i].Data, given->second, CheckedSize(entries[i].Data.size())}
                : Store(entries[i].Data, compress);
        record.Offset = CheckedSize(out.size() - base);
        record.DataSize = stored.dataSize;
        record.StoredSize = stored.storedSize;
        Append(out, stored.bytes);
        EncodeFields(out.data() + recordsAt + i * static_cast<size_t>(recordSize), record, fields);
    }
}

} // namespace

std::vector<uint8_t> DeflateBytes(const std::vector<uint8_t>& bytes) {
    uLongf bound = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(bound);
    if (compress2(out.data(), &bound, bytes.data(), static_cast<uLong>(bytes.size()), 9) != Z_OK)
        throw PictorelleError("zlib compression failed");
    out.resize(bound);
    return out;
}

std::vector<uint8_t> DeflateWithZeros(const std::vector<uint8_t>& prefix, uint64_t zeroCount) {
    // Raw deflate blocks after a full flush do not depend on what came before, so the blocks
    // of one zero-filled chunk can be repeated; the zlib header and Adler-32 go around them.
    constexpr size_t kChunk = size_t{1} << 20;
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw PictorelleError("zlib compression failed");
    std::vector<uint8_t> out = {0x78, 0xDA};
    auto run = [&](const uint8_t* data, size_t n, int flush) {
        std::vector<uint8_t> piece;
        zs.next_in = const_cast<Bytef*>(data);
        zs.avail_in = static_cast<uInt>(n);
        uint8_t buffer[65536];
        do {
            zs.next_out = buffer;
            zs.avail_out = sizeof buffer;
            if (deflate(&zs, flush) == Z_STREAM_ERROR) throw PictorelleError("zlib failed");
            piece.insert(piece.end(), buffer, buffer + (sizeof buffer - zs.avail_out));
        } while (zs.avail_out == 0 || zs.avail_in > 0);
        return piece;
    };
    Append(out, run(prefix.data(), prefix.size(), Z_FULL_FLUSH));
    const std::vector<uint8_t> zeros(kChunk, 0);
    const std::vector<uint8_t> block = run(zeros.data(), kChunk, Z_FULL_FLUSH);
    for (uint64_t left = zeroCount; left >= kChunk; left -= kChunk)
        Append(out, block);
    Append(out, run(zeros.data(), static_cast<size_t>(zeroCount % kChunk), Z_FINISH));
    deflateEnd(&zs);
    // Adler-32 of the zeros alone is 1 + 0 for its low half and the count for its high half.
    const uLong zerosAdler = ((zeroCount % 65521) << 16) | 1;
    const uLong adler = adler32_combine(
        adler32(adler32(0, nullptr, 0), prefix.data(), static_cast<uInt>(prefix.size())),
        zerosAdler, static_cast<z_off_t>(zeroCount));
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(adler >> shift));
    return out;
}

std::vector<uint8_t> WritePackage(const PackageContent& c) {
    PackageHeader h = c.Header;
    std::vector<uint8_t> out;

    Append(out, c.FlashControl);
    h.FlashControlSize = CheckedSize(c.FlashControl.size());
    Append(out, c.Preview);
    h.PreviewSize = CheckedSize(c.Preview.size());
    Append(out, c.Banner);
    h.BannerSize = CheckedSize(c.Banner.size());

    // The exit banner, logo and background are always zlib streams.
    auto deflated = [](const std::vector<uint8_t>& data) {
        return data.empty() ? std::vector<uint8_t>() : DeflateBytes(data);
    };
    const auto exitBanner = deflated(c.ExitBanner);
    Append(out, exitBanner);
    h.ExitBannerStoredSize = CheckedSize(exitBanner.size());
    h.ExitBannerDataSize = CheckedSize(c.ExitBanner.size());
    const auto logo = deflated(c.Logo);
    Append(out, logo);
    h.LogoStoredSize = CheckedSize(logo.size());
    h.LogoDataSize = CheckedSize(c.Logo.size());

    const size_t itemsAt = AppendRecords(out, c.Items, kItemRecordSize);
    h.ItemCount = CheckedSize(c.Items.size());
    h.ItemSectionSize = CheckedSize(out.size() - itemsAt);
    const size_t masksAt = AppendRecords(out, c.Masks, kMaskRecordSize);
    h.MaskCount = CheckedSize(c.Masks.size());
    h.MaskSectionSize = CheckedSize(out.size() - masksAt);
    const size_t soundsAt = AppendRecords(out, c.EnterSounds, kEnterSoundRecordSize);
    h.EnterSoundCount = CheckedSize(c.EnterSounds.size());
    h.EnterSoundSectionSize = CheckedSize(out.size() - soundsAt);

    const auto background = c.BackgroundInflatedSize ? c.Background : deflated(c.Background);
    Append(out, background);
    h.BackgroundStoredSize = CheckedSize(background.size());
    h.BackgroundDataSize = c.BackgroundInflatedSize.value_or(CheckedSize(c.Background.size()));

    const size_t melodiesAt = AppendRecords(out, c.Melodies, kMelodyRecordSize);
    h.MelodyCount = CheckedSize(c.Melodies.size());
    h.MelodySectionSize = CheckedSize(out.size() - melodiesAt);

    for (const auto& s : c.Strings.values) {
        if (s.size() > static_cast<size_t>(kMaxStringLength))
            throw std::length_error("string longer than 65535 bytes");
        uint8_t count[2];
        StoreUInt16LE(count, static_cast<uint16_t>(s.size()));
        out.insert(out.end(), count, count + 2);
        out.insert(out.end(), s.begin(), s.end());
    }

    PlaceEntries(out, itemsAt, kItemRecordSize, 0, c.Items, ItemFields(), c.CompressEntries,
                 c.InflatedItemSizes);
    PlaceEntries(out, masksAt, kMaskRecordSize, 0, c.Masks, MaskFields(), c.CompressEntries);
    PlaceEntries(out, soundsAt, kEnterSoundRecordSize, 0, c.EnterSounds, EnterSoundFields(),
                 c.CompressEntries);
    PlaceEntries(out, melodiesAt, kMelodyRecordSize, melodiesAt, c.Melodies, MelodyFields(),
                 c.CompressEntries);

    h.PackageSize = CheckedSize(out.size() + kTrailerSize);
    h.FileLength = 0;
    const size_t headerAt = out.size();
    out.resize(headerAt + kHeaderSize);
    EncodeFields(out.data() + headerAt, h, HeaderFields());
    out.insert(out.end(), kPackageMagic.begin(), kPackageMagic.end());
    return out;
}

} // namespace pictorelle

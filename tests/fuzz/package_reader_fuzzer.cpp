// Feeds arbitrary bytes to the package reader as a show file on disk, then works every entry
// the reader accepted the way the player does: the in-memory inflater with its bounds, and the
// extraction into the private temporary folder followed by the picture decoders for pictures
// and masks, at the size a 1920 x 1080 show would draw them.
#include "imaging/Decode.h"
#include "package/ByteSource.h"
#include "package/CodePage.h"
#include "package/ExtractEntry.h"
#include "package/LibraryShow.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sys/stat.h>

namespace {

using namespace pictorelle;

template <class R> void Inflate(const Package& p, const R& record, std::span<const uint8_t> file) {
    const int64_t at = p.EntryOffset(record);
    if (!record.Compressed()) return;
    if (at < 0 || at > static_cast<int64_t>(file.size()) ||
        record.StoredSize > static_cast<int64_t>(file.size()) - at)
        return;
    const auto inflated =
        InflateEntry(file.subspan(static_cast<size_t>(at), static_cast<size_t>(record.StoredSize)),
                     record.DataSize);
    // Inflation is capped by the stated size.
    if (inflated && static_cast<int64_t>(inflated->size()) > record.DataSize) std::abort();
}

// Extracts the entry as the loader does and decodes it when it is a picture. Whatever the
// entry holds, the file stays within its ceiling and goes with its guard.
void ExtractAndDecode(const std::string& show, const Package& p, const EntryRecord& record,
                      std::string_view ext) {
    const bool picture = FormatOfExtension(ext) != TPictureFormat::Unknown;
    const int64_t ceiling = picture ? kMaxPictureEntrySize : kMaxInflatedEntrySize;
    TempFile file(TempFilePath("SSIMG", ext));
    ExtractEntry(show, file.Path(), p, record, ceiling);
    struct stat info {};
    if (::stat(file.Path().c_str(), &info) != 0) return; // refused or broken: nothing left
    if (info.st_size > ceiling || info.st_size > record.DataSize) std::abort();
    if (!picture) return;
    try {
        DecodePicture(file.Path(), [](TSize natural) {
            return TDecodeRequest{
                {}, {std::min(natural.width, 1920), std::min(natural.height, 1080)}, {3840, 2160}};
        });
    } catch (const PictorelleError&) {
    } catch (const std::bad_alloc&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    TempFile show(TempFilePath("fuzz-show"));
    if (FILE* f = std::fopen(show.Path().c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !written) std::abort();
    } else {
        std::abort();
    }
    Package p;
    try {
        p = ReadPackage(FileSource(show.Path()));
    } catch (const PackageError&) {
        return 0;
    }
    // Whatever the reader accepts stays inside the file.
    if (p.PackageStart < 0 ||
        p.SectionStart(SectionId::Strings) > static_cast<int64_t>(size) - kTrailerSize)
        std::abort();
    // Whatever bytes a package holds, its texts reach the windows as well-formed UTF-8.
    for (size_t i = 0; i < p.Strings.values.size(); ++i)
        if (static_cast<StringId>(i) != StringId::Effect && !IsValidUtf8(p.Strings.values[i]))
            std::abort();
    // A library show's description is whole or refused: an absolute folder, UTF-8 texts.
    try {
        if (const auto library = ReadLibraryShow(p.Strings)) {
            if (library->Folder.empty() || library->Folder.front() != '/') std::abort();
            if (!IsValidUtf8(library->Template.CaptionText) ||
                !IsValidUtf8(library->Template.CaptionFont) ||
                !IsValidUtf8(library->CaptionTemplate))
                std::abort();
        }
    } catch (const PackageError&) {
    }
    for (const auto& r : p.Items) {
        if (!IsValidUtf8(r.CaptionText) || !IsValidUtf8(r.CaptionFont)) std::abort();
        Inflate(p, r, file);
        if (SafeExtension(r.Ext).find('/') != std::string::npos) std::abort();
        ExtractAndDecode(show.Path(), p, r, r.Ext);
    }
    for (const auto& r : p.Masks) {
        Inflate(p, r, file);
        // Masks come as BMP, PNG or GIF by their type, as the loader names their files.
        ExtractAndDecode(show.Path(), p, r,
                         r.MaskType == 0   ? ".bmp"
                         : r.MaskType == 1 ? ".png"
                                           : ".gif");
    }
    for (const auto& r : p.EnterSounds)
        Inflate(p, r, file);
    for (const auto& r : p.Melodies)
        Inflate(p, r, file);
    return 0;
}

// Feeds arbitrary bytes to the package reader as if they were a show file, then works every
// entry the reader accepted the way the player would: locate, bound-check, inflate.
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"

#include <cstdlib>

namespace {

using namespace pictorelle;

template <class R>
void Touch(const Package& p, const R& record, std::span<const uint8_t> file) {
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    Package p;
    try {
        p = ReadPackage(MemorySource(file));
    } catch (const PackageError&) {
        return 0;
    }
    // Whatever the reader accepts stays inside the file.
    if (p.PackageStart < 0 ||
        p.SectionStart(SectionId::Strings) > static_cast<int64_t>(size) - kTrailerSize)
        std::abort();
    for (const auto& r : p.Items) {
        Touch(p, r, file);
        if (SafeExtension(r.Ext).find('/') != std::string::npos) std::abort();
    }
    for (const auto& r : p.Masks) Touch(p, r, file);
    for (const auto& r : p.EnterSounds) Touch(p, r, file);
    for (const auto& r : p.Melodies) Touch(p, r, file);
    return 0;
}

#include "show/sequence/LibraryRecord.h"

#include "core/ExifOrientation.h"
#include "core/TiffBlock.h"
#include "imaging/Decode.h"

#include <algorithm>
#include <fcntl.h>
#include <span>
#include <unistd.h>
#include <vector>

namespace pictorelle {
namespace {

// How much of a file's head is read for its EXIF block: a camera's APP1 segment sits in the
// first 64 KiB; a little more finds the block of a PNG or HEIF written by an editor.
constexpr size_t kExifHead = 256 * 1024;

std::string FolderName(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/')
        folder.remove_suffix(1);
    const size_t slash = folder.rfind('/');
    return std::string(slash == std::string_view::npos ? folder : folder.substr(slash + 1));
}

// The head of a file, read without following a FIFO's wait (O_NONBLOCK) and no further than
// kExifHead; empty when it cannot be read.
std::vector<uint8_t> ReadHead(const std::string& file) {
    std::vector<uint8_t> head;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return head;
    head.resize(kExifHead);
    size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    head.resize(got);
    return head;
}

// An "Exif\0\0" block followed by a TIFF header anywhere in the head (WebP's EXIF chunk, a
// HEIF file's Exif item, a JPEG whose APP1 comes after other large segments).
std::span<const uint8_t> FindExifBlock(std::span<const uint8_t> head) {
    static constexpr uint8_t kMark[6] = {'E', 'x', 'i', 'f', 0, 0};
    auto at = head.begin();
    while (true) {
        at = std::search(at, head.end(), std::begin(kMark), std::end(kMark));
        if (at == head.end()) return {};
        const auto block = head.subspan(static_cast<size_t>(at - head.begin()) + 6);
        if (block.size() >= 8 && TTiffBlock::Open(block)) return block;
        ++at;
    }
}

} // namespace

std::string LibraryPictureExtension(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return std::string(path.substr(dot));
}

std::optional<TTakenTime> PictureTakenTime(const std::string& file) {
    const std::vector<uint8_t> head = ReadHead(file);
    std::span<const uint8_t> block;
    switch (FormatOfExtension(LibraryPictureExtension(file))) {
    case TPictureFormat::Jpeg:
        block = JpegExifBlock(head);
        break;
    case TPictureFormat::Png:
        block = PngExifBlock(head);
        break;
    case TPictureFormat::Tiff:
        // A TIFF file is laid out like an EXIF block; tags beyond the head are not found.
        block = head;
        break;
    default:
        break;
    }
    if (block.empty()) block = FindExifBlock(head);
    if (!block.empty())
        if (auto taken = ExifTakenTime(block)) return taken;
    return FileModifiedTime(file);
}

ItemRecord LibraryPictureRecord(const TLibraryShow& show, const TLibraryPick& pick) {
    ItemRecord record = show.Template;
    record.Ext = LibraryPictureExtension(pick.relative);
    if (!show.CaptionTemplate.empty()) {
        TCaptionFacts facts;
        facts.path = pick.relative;
        facts.libraryName = FolderName(show.Folder);
        if (CaptionUsesTaken(show.CaptionTemplate)) facts.taken = PictureTakenTime(pick.file);
        record.CaptionText = ExpandCaption(show.CaptionTemplate, facts);
    }
    return record;
}

} // namespace pictorelle

#include "show/LibraryPictures.h"

#include "core/ExifOrientation.h"
#include "core/TiffBlock.h"
#include "imaging/Decode.h"
#include "library/CaptionTemplate.h"
#include "platform/store/SqliteRegistry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace pictorelle {
namespace {

// How much of a file's head is read for its EXIF block: a camera's APP1 segment sits in the
// first 64 KiB; a little more finds the block of a PNG or HEIF written by an editor.
constexpr size_t kExifHead = 256 * 1024;

std::string ExtensionOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return std::string(path.substr(dot));
}

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

// A file's path for a line on standard error: control bytes (a newline in a name) would break
// the line, so they show as '?'; other bytes go out as they are.
std::string Printable(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return out;
}

} // namespace

std::optional<TTakenTime> PictureTakenTime(const std::string& file) {
    const std::vector<uint8_t> head = ReadHead(file);
    std::span<const uint8_t> block;
    switch (FormatOfExtension(ExtensionOf(file))) {
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
    record.Ext = ExtensionOf(pick.relative);
    if (!show.CaptionTemplate.empty()) {
        TCaptionFacts facts;
        facts.path = pick.relative;
        facts.libraryName = FolderName(show.Folder);
        if (CaptionUsesTaken(show.CaptionTemplate)) facts.taken = PictureTakenTime(pick.file);
        record.CaptionText = ExpandCaption(show.CaptionTemplate, facts);
    }
    return record;
}

TLibraryPictures::TLibraryPictures(TLibraryShow show, int displayOrder, std::string saverTitle,
                                   const std::string& storePath, std::string cacheFolder)
    : show_(std::move(show)), saverTitle_(std::move(saverTitle)) {
    std::optional<TDeckState> stored;
    if (!storePath.empty()) {
        try {
            store_ = std::make_unique<SqliteRegistry>(storePath);
            stored = LoadDeckState(*store_, saverTitle_);
        } catch (const RegistryError& e) {
            // The show goes on; its place is not kept this time.
            std::fprintf(stderr, "The library show's place is not kept: %s\n", e.what());
            store_.reset();
        }
    }
    const uint64_t seed = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        std::chrono::system_clock::now().time_since_epoch().count());
    deck_ = std::make_unique<TLibraryDeck>(show_.Folder, displayOrder, std::move(stored), seed);
    catalogue_ = std::make_unique<TLibraryCatalogue>(
        TLibraryCatalogue::TOptions{show_.Folder, show_.Recursive, std::move(cacheFolder)});
}

TLibraryPictures::~TLibraryPictures() = default;

bool TLibraryPictures::Start(std::chrono::milliseconds wait) {
    catalogue_->Start();
    return catalogue_->WaitForAny(wait);
}

std::optional<TLibraryPick> TLibraryPictures::Deal(std::string_view onScreen, bool back) {
    // Complete is read before the snapshot: a listing completed in between is dealt from as
    // partial once more, which costs nothing.
    const bool complete = catalogue_->Complete();
    const std::shared_ptr<const TLibraryList> list = catalogue_->Snapshot();
    const std::optional<std::string> path =
        back ? deck_->Back(*list, complete, onScreen) : deck_->Next(*list, complete, onScreen);
    if (!path) return std::nullopt;
    if (store_) SaveDeckState(*store_, saverTitle_, deck_->State());
    return TLibraryPick{*path, catalogue_->FilePath(*path)};
}

size_t TLibraryPictures::Known() const {
    return catalogue_->Snapshot()->Size();
}

bool TLibraryPictures::Complete() const {
    return catalogue_->Complete();
}

bool TLibraryPictures::Empty() const {
    return catalogue_->Complete() && catalogue_->Snapshot()->Empty();
}

void TLibraryPictures::Shown() {
    failedInARow_ = 0;
    toldNoneShows_ = false;
}

bool TLibraryPictures::Failed(const TLibraryPick& pick, std::string_view why) {
    if (reported_.insert(pick.file).second)
        std::fprintf(stderr, "Skipping %s: %.*s\n", Printable(pick.file).c_str(),
                     static_cast<int>(why.size()), why.data());
    ++failedInARow_;
    const bool complete = Complete();
    const size_t known = Known();
    if (DealAgainAfterFailure(failedInARow_, known, complete)) return true;
    if (!toldNoneShows_) {
        std::fprintf(stderr, "None of the %zu pictures of the library %s can be shown\n", known,
                     Printable(show_.Folder).c_str());
        toldNoneShows_ = true;
    }
    failedInARow_ = 0; // the next round tries them all again, quietly
    return false;
}

} // namespace pictorelle

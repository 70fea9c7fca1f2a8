#include "show/LibraryPictures.h"

#include "platform/store/SqliteRegistry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace pictorelle {
namespace {

// The folder is listed again at most this often.
constexpr std::chrono::seconds kRelistFloor{5};

// A file's path for a line on standard error: control bytes (a newline in a name) would break
// the line, so they show as '?'; other bytes go out as they are.
std::string Printable(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return out;
}

} // namespace

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
    const uint64_t seed =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                              std::chrono::system_clock::now().time_since_epoch().count());
    deck_ = std::make_unique<TLibraryDeck>(show_.Folder, displayOrder, std::move(stored), seed);
    // Listing again tells no trouble the first listing told.
    options_ = {show_.Folder, show_.Recursive, std::move(cacheFolder),
                std::make_shared<TLibraryToldLines>()};
    catalogue_ = std::make_unique<TLibraryCatalogue>(options_);
}

TLibraryPictures::~TLibraryPictures() = default;

bool TLibraryPictures::Start(std::chrono::milliseconds wait) {
    lastListing_ = std::chrono::steady_clock::now();
    catalogue_->Start();
    return catalogue_->WaitForAny(wait);
}

void TLibraryPictures::Relist() {
    const auto now = std::chrono::steady_clock::now();
    if (relisting_) {
        if (!relisting_->Complete()) return;
        catalogue_ = std::move(relisting_);
        dealtSinceListed_ = 0;
        return;
    }
    if (!catalogue_->Complete() || now - lastListing_ < kRelistFloor ||
        dealtSinceListed_ < std::max<size_t>(Known(), 1))
        return;
    relisting_ = std::make_unique<TLibraryCatalogue>(options_);
    relisting_->Start();
    lastListing_ = now;
}

std::optional<TLibraryPick> TLibraryPictures::Deal(std::string_view onScreen, bool back) {
    Relist();
    // Complete is read before the snapshot: a listing completed in between is dealt from as
    // partial once more, which costs nothing.
    const bool complete = catalogue_->Complete();
    const std::shared_ptr<const TLibraryList> list = catalogue_->Snapshot();
    const std::optional<std::string> path =
        back ? deck_->Back(*list, complete, onScreen) : deck_->Next(*list, complete, onScreen);
    if (!path) return std::nullopt;
    if (store_) SaveDeckState(*store_, saverTitle_, deck_->State());
    ++dealtSinceListed_;
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

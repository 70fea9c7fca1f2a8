// TLibraryPictures: where a library show's pictures come from. The show loop asks it for the
// next picture instead of counting through the package's items; everything else (the frame,
// the transition, the timer) stays the loop's. It owns the catalogue that lists the folder on
// its worker, the deck that deals in the show's order, and the user's store in which the
// deck's place is kept after every deal.
//
// The folder is listed again once a whole pass of the library has been dealt since the last
// listing ended (and not more often than every few seconds): pictures added while the show runs
// come in a later pass, and removed ones leave it. The new listing starts from the cache the
// last one wrote, and replaces it only once it is complete, so the show never waits for it.
//
// A picture that fails to show is passed over with one line on standard error naming it, once
// per file; the loop then asks for the next one at once, until every picture known has failed
// in a row, when one line says so and the loop falls back to its period.
#pragma once

#include "library/LibraryDeck.h"
#include "library/LibraryList.h"
#include "show/sequence/LibraryRecord.h"

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace pictorelle {

class Registry;

class TLibraryPictures {
public:
    // storePath is the user's settings store ("" for none); cacheFolder the listing cache's
    // folder ("" for none).
    TLibraryPictures(TLibraryShow show, int displayOrder, std::string saverTitle,
                     const std::string& storePath, std::string cacheFolder);
    ~TLibraryPictures();
    TLibraryPictures(const TLibraryPictures&) = delete;
    TLibraryPictures& operator=(const TLibraryPictures&) = delete;

    // Starts listing the folder and waits at most wait for a first picture; true when one is
    // known.
    bool Start(std::chrono::milliseconds wait);

    // The picture that follows onScreen (empty at the start), or before it with back; none
    // when nothing can be dealt now (an empty library, or a listing still running that has
    // nothing new yet). The deck's place is stored at once.
    std::optional<TLibraryPick> Deal(std::string_view onScreen, bool back);

    // Pictures known now, and whether the listing is complete.
    size_t Known() const;
    bool Complete() const;
    // The listing is complete and holds nothing (the catalogue has said why).
    bool Empty() const;

    // The outcome of showing a pick. Failed prints its line (once per file) and says whether
    // the loop should deal another picture at once.
    void Shown();
    bool Failed(const TLibraryPick& pick, std::string_view why);

    const TLibraryShow& Show() const { return show_; }

private:
    // Starts a new listing when a pass has been dealt since the last, and takes it once it is
    // complete.
    void Relist();

private:
    TLibraryShow show_;
    std::string saverTitle_;
    std::unique_ptr<Registry> store_;
    std::unique_ptr<TLibraryCatalogue> catalogue_;
    std::unique_ptr<TLibraryCatalogue> relisting_; // the next listing, while it runs
    TLibraryCatalogue::TOptions options_;
    size_t dealtSinceListed_ = 0;
    std::chrono::steady_clock::time_point lastListing_;
    std::unique_ptr<TLibraryDeck> deck_;
    std::set<std::string> reported_; // files whose failure was told
    size_t failedInARow_ = 0;
    bool toldNoneShows_ = false;
};

} // namespace pictorelle

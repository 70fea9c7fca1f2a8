// TLibraryPictures: where a library show's pictures come from. The show loop asks it for the
// next picture instead of counting through the package's items; everything else (the frame,
// the transition, the timer) stays the loop's. It owns the catalogue that lists the folder on
// its worker, the deck that deals in the show's order, and the user's store in which the
// deck's place is kept after every deal.
//
// A picture that fails to show is passed over with one line on standard error naming it, once
// per file; the loop then asks for the next one at once, until every picture known has failed
// in a row, when one line says so and the loop falls back to its period.
#pragma once

#include "library/CaptionTemplate.h"
#include "library/LibraryDeck.h"
#include "library/LibraryList.h"
#include "package/LibraryShow.h"

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace pictorelle {

class Registry;

// One picture dealt: its path below the library and its file.
struct TLibraryPick {
    std::string relative;
    std::string file;
};

// The record a library picture is shown with: the show's template with the file's extension
// and, when the show has a caption template, the caption made for this picture (the EXIF time
// read from the file when the template asks for it). Reads the file: call it off the interface
// thread.
ItemRecord LibraryPictureRecord(const TLibraryShow& show, const TLibraryPick& pick);

// When the photo was taken, from the EXIF block at the head of the file (JPEG, PNG, TIFF, or
// any file that carries an "Exif" block near its start), else the file's modification time.
std::optional<TTakenTime> PictureTakenTime(const std::string& file);

// The rule for a run of failures: deal another picture at once while fewer pictures than are
// known have failed in a row, or while the folder is still being listed.
inline bool DealAgainAfterFailure(size_t failedInARow, size_t known, bool complete) {
    return !complete || failedInARow < known;
}

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
    TLibraryShow show_;
    std::string saverTitle_;
    std::unique_ptr<Registry> store_;
    std::unique_ptr<TLibraryCatalogue> catalogue_;
    std::unique_ptr<TLibraryDeck> deck_;
    std::set<std::string> reported_; // files whose failure was told
    size_t failedInARow_ = 0;
    bool toldNoneShows_ = false;
};

} // namespace pictorelle

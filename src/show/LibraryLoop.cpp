// A library show's loop: the same slide timer, transitions and displays as a show of the
// package's items, but each tick deals the next picture of the folder from the deck and
// decodes it straight from its file. Slot 0 of the item table holds the show's template
// record, so that everything that reads "the item on screen" (its seconds, its effect, its
// enter sound) reads the template.
#include "imaging/Decode.h"
#include "platform/Desktop.h"
#include "show/PresentationControls.h"
#include "show/SSWindow.h"
#include "show/ShowDisplays.h"

#include <chrono>
#include <utility>

namespace pictorelle {
namespace {

// How long the start waits for the first picture of a folder listed without a cache; after
// that the background shows and the loop asks again on its timer.
constexpr std::chrono::milliseconds kFirstPictureWait{400};
// How often the loop asks again while the folder is still listed and nothing new is known.
constexpr int kListingPollMs = 250;

} // namespace

void TSSWindow::StartLibraryShow() {
    flags_.DirectDraw = true; // the first picture never gets a transition
    const bool found = library_->Start(kFirstPictureWait);
    if (Settings.DesktopStart) {
        // The desktop copy first; the first tick brings the first picture through a transition.
        TBitmap32 frame = composer_.BackgroundFrame(width(), height());
        CaptureDesktop(frame);
        displays_->DrawAll(frame);
        flags_.DirectDraw = false;
        Settings.DesktopStart = false;
        Timer.EnableAt(1);
        return;
    }
    if (!found) ShowBackgroundOnly();
    LibraryTick();
}

void TSSWindow::LibraryTick() {
    const bool back = std::exchange(libraryBack_, false);
    const std::string onScreen = libraryShown_ ? libraryShown_->relative : std::string();
    std::optional<TLibraryPick> pick = library_->Deal(onScreen, back);
    const bool dealt = pick.has_value();
    if (pick && libraryShown_ && pick->relative == libraryShown_->relative) {
        // The only picture of the library is on screen already: it stays as it is, and the
        // timer goes on for the pictures that may be added to the folder.
        library_->Shown();
    } else if (pick) {
        std::string why;
        if (LoadLibraryPicture(*pick, why)) {
            library_->Shown();
            libraryShown_ = std::move(pick);
        } else {
            if (why.empty() || Timer.Closed()) return; // abandoned: the show is ending
            if (library_->Failed(*pick, why)) {
                // The next picture comes at once, not after a whole period.
                Timer.EnableAt(1);
                return;
            }
            // Not one picture of the library can be shown: the background stays.
            if (flags_.DirectDraw) ShowBackgroundOnly();
        }
    } else if (flags_.DirectDraw && library_->Empty()) {
        ShowBackgroundOnly(); // the catalogue has said why
    }
    ApplyTimerPlan(LibraryTickTimer(TimerState(), !library_->Complete(), dealt, kListingPollMs));
}

bool TSSWindow::LoadLibraryPicture(const TLibraryPick& pick, std::string& why) {
    composer_.RepaintBackgroundForItem();
    ItemRecord& slot = PackageData.Items.at(0);
    slot.Ext = LibraryPictureExtension(pick.relative);
    mediaState_.FlashPlaying = false;
    media_->StopGif();
    mediaState_.IsGifItem = IsGifExtension(slot.Ext);
    const int sizeMode = ItemSizeMode(slot, Settings.Stretch);
    TBitmap32 frame;
    try {
        // Reading the EXIF time for the caption and decoding run on the loader's worker; the
        // worker gets its own copy of the show's description.
        const int w = width(), h = height();
        std::optional<TPictureItem> done =
            pictureLoader_.Run([this, show = library_->Show(), pick, sizeMode, w, h] {
                const ItemRecord record = LibraryPictureRecord(show, pick);
                return composer_.ComposePicture(record, pick.file, sizeMode, w, h);
            });
        if (!done) return false;
        TakeComposedPicture(*done, frame, 0);
    } catch (const std::bad_alloc&) {
        why = "not enough memory for its picture";
        return false;
    } catch (const std::exception& e) {
        // A file that vanished, was replaced while it was read, or is not what its name says.
        why = e.what();
        if (why.empty()) why = "it cannot be read";
        return false;
    }
    if (slot.EnterSoundIndex >= 0 && !Settings.Mute) media_->PlayEnterSound(slot.EnterSoundIndex);
    ShowFrame(std::move(frame), 0);
    flags_.DirectDraw = false;
    return true;
}

void TSSWindow::ShowBackgroundOnly() {
    TBitmap32 frame = composer_.BackgroundFrame(width(), height());
    composer_.DrawMovieBackground(frame); // the logo
    displays_->DrawAll(frame);
}

} // namespace pictorelle

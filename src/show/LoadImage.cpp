// The main window's pictures: the background prepared when the show starts, the loader that
// puts one item on screen, the preview picture, and freeing it all at the end. The composer
// builds the frames; this file decides where they go.
#include "imaging/Decode.h"
#include "package/ExtractEntry.h"
#include "package/TempFolder.h"
#include "platform/Desktop.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"
#include "show/SSWindow.h"
#include "show/ShowDisplays.h"
#include "transitions/EffectCatalogue.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <cstdio>
#include <filesystem>

namespace pictorelle {
namespace {

// Delay between two frames of a slide-show transition, in milliseconds.
constexpr int kShowFrameDelay = 9;

} // namespace

// The background at the window's size. A background picture that cannot be read fails the
// package read.
void TSSWindow::PrepareBackground() {
    composer_.PrepareBackground(width(), height());
}

void TSSWindow::LoadImage(int index, bool fromDesktop) {
    composer_.RepaintBackgroundForItem();
    const auto& items = PackageData.Items;
    const bool exists = index >= 0 && index < static_cast<int>(items.size());
    mediaState_.IsGifItem = exists && IsGifExtension(items[static_cast<size_t>(index)].Ext);

    // A picture item's frame is made by the composer on the loader's worker; only the desktop
    // copy and movies start from the background here.
    const TItemKind kind =
        exists ? ItemKindOf(items[static_cast<size_t>(index)].Ext) : TItemKind::Picture;
    TBitmap32 frame;
    if (fromDesktop || kind != TItemKind::Picture)
        frame = composer_.BackgroundFrame(width(), height());
    if (fromDesktop) {
        CaptureDesktop(frame);
        TImage32* main = displays_->Image32();
        main->Bitmap().Draw(0, 0, frame);
        main->update();
    }
    if (!exists) return;

    mediaState_.FlashPlaying = false;
    media_->StopGif();
    const ItemRecord& item = items[static_cast<size_t>(index)];
    const int sizeMode = ItemSizeMode(item, Settings.Stretch);
    TempFile file(TempFilePath("SSIMG", item.Ext));
    // A picture to be shown is extracted by the loader's worker, with its decoding.
    if (kind != TItemKind::Picture || fromDesktop)
        ExtractEntry(Startup.ProgramFile, file.Path(), PackageData, item,
                     ItemEntryCeiling(item.Ext));
    if (kind != TItemKind::Picture) {
        // A movie's player reads its file while it plays, and deletes it when done. One that
        // cannot be shown is passed over like a broken picture.
        bool shown = false;
        {
            flags_.MoviePlayerStarting = true;
            struct Done {
                bool& starting;
                ~Done() { starting = false; }
            } done{flags_.MoviePlayerStarting};
            shown = media_->ShowMovieItem(kind, index, file.Path(), sizeMode, frame);
        }
        // A movie's player may run the events while it starts (the web engine's first start):
        // input may have closed the show meanwhile, and freed its items.
        if (Timer.Closed()) return;
        if (shown) {
            file.Keep();
            // A video keeps the screen until its end asks for the next item.
            if (kind == TItemKind::Video) Timer.stop();
            flags_.ShownPicture = -1;
            flags_.ShownItem = index;
            Settings.DesktopStart = false;
            flags_.DirectDraw = false;
        } else {
            std::error_code missing;
            const char* why = !std::filesystem::exists(file.Path(), missing) ? kEntryNotExtracted
                              : kind == TItemKind::Video ? "the video is damaged"
                                                         : "it cannot be played here";
            std::fprintf(stderr, "Skipping %s: %s\n", ItemLabel(index, item.Ext).c_str(), why);
        }
        return;
    }
    // The desktop copy stands in for the first picture; the next tick loads it for real.
    // A picture that cannot be shown leaves the previous one on screen and DirectDraw as it is;
    // its file goes at once, so broken items never pile up in the temporary folder.
    if (!fromDesktop && !ShowPictureItem(index, file.Path(), sizeMode, frame)) return;
    if (item.EnterSoundIndex >= 0 && !Settings.Mute) media_->PlayEnterSound(item.EnterSoundIndex);
    ShowFrame(std::move(frame), index);
    flags_.DirectDraw = false;
}

// Composes the picture item's frame and chooses the display that gets it. False when the
// picture cannot be read or composed.
bool TSSWindow::ShowPictureItem(int index, const std::string& path, int sizeMode,
                                TBitmap32& frame) {
    const auto label = [&] {
        return ItemLabel(index, PackageData.Items[static_cast<size_t>(index)].Ext);
    };
    try {
        // Extracting and decoding may take long: they run on the loader's worker, and input
        // may end the show meanwhile, which abandons them.
        const int w = width(), h = height();
        std::optional<TPictureItem> done = pictureLoader_.Run([this, index, path, sizeMode, w, h] {
            const ItemRecord& item = PackageData.Items[static_cast<size_t>(index)];
            ExtractEntry(Startup.ProgramFile, path, PackageData, item, ItemEntryCeiling(item.Ext));
            std::error_code missing;
            if (!std::filesystem::exists(path, missing)) throw PictorelleError(kEntryNotExtracted);
            return composer_.ComposePicture(index, path, sizeMode, w, h);
        });
        if (!done) return false;
        TakeComposedPicture(*done, frame, index);
    } catch (const PictorelleError& e) {
        std::fprintf(stderr, "Skipping %s: %s\n", label().c_str(), e.what());
        return false;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Skipping %s: not enough memory for its picture\n", label().c_str());
        return false;
    }
    return true;
}

void TSSWindow::TakeComposedPicture(TPictureItem& composed, TBitmap32& frame, int index) {
    // Events ran while the picture was composed; a transition that ended meanwhile may have set
    // the previous item's GIF going.
    media_->StopGif();
    // The decoded picture and its mask go with composed: nothing reads them once the frame is
    // made (F2 takes the item from its file again), and at 3840 x 2160 they may cost 33 MB
    // each for as long as the item is shown.
    frame = std::move(composed.frame);
    mediaState_.ItemRect = composed.itemRect;
    mediaState_.GifBackground = std::move(composed.gifBackground);
    mediaState_.Gif = std::move(composed.gif);
    flags_.ShownPicture = index;
    flags_.ShownItem = index;
    // With other monitors in use the pictures go round them, the first on the main one.
    displays_->Choose(flags_.SecondMonitorInUse);
    mediaState_.DisplayBitmap = &displays_->ChosenBitmap();
    // GIF frames repaint only their rectangle, on that display alone.
    QPointer<TImage32> shown = displays_->ChosenImage();
    mediaState_.RepaintDisplay = [shown](const TRect& r) {
        if (shown) shown->update(QRect(r.left, r.top, r.width(), r.height()));
    };
}

// Puts a composed frame on screen: at once for the show's first picture (on every display),
// otherwise through a transition on the chosen display, whose end re-arms the slide timer.
// The display keeps showing the previous picture until the transition paints over it.
void TSSWindow::ShowFrame(TBitmap32 frame, int index) {
    if (flags_.DirectDraw) {
        displays_->DrawAll(frame);
        media_->AnimateGif();
        return;
    }
    const ItemRecord& item = PackageData.Items[static_cast<size_t>(index)];
    const bool ownEffect = item.ItemEffectSpeed != -1;
    const std::string& selection = ownEffect ? item.ItemEffect : Settings.Effect;
    const int speed = ownEffect ? item.ItemEffectSpeed : Settings.EffectSpeed;
    const unsigned serial = ++transitionSerial_;
    const bool started =
        StartTransition(Transition, mainThread_, displays_->ChosenTarget(), std::move(frame),
                        RandomEffect(selection), false, TransitionSteps(width(), speed),
                        kShowFrameDelay, [this, serial] {
                            if (serial == transitionSerial_) RestartTimer();
                        });
    if (!started) media_->AnimateGif();
}

// The package's preview picture stretched over the preview window. Without a package or a
// preview picture, or with one that cannot be read, the window stays black.
void TSSWindow::LoadPreviewImage() {
    try {
        Package package;
        LocatePackage(FileSource(Startup.ProgramFile), package);
        const int32_t size = package.Header.PreviewSize;
        if (size <= 0) return;
        QImage picture;
        {
            const TempFile bmp(TempFilePath("SSIMG.BMP"));
            ExtractEntry(Startup.ProgramFile, bmp.Path(), false,
                         package.SectionStart(SectionId::Preview), size, size);
            picture = QImage(QString::fromStdString(bmp.Path()), "BMP");
        }
        if (picture.isNull()) {
            std::fprintf(stderr, "Skipping the preview picture: it cannot be read\n");
            return;
        }
        PrImage->setPixmap(QPixmap::fromImage(picture));
        PrImage->show();
        displays_->Image32()->hide();
    } catch (const PictorelleError&) {
        // Without a readable package there is no preview picture: the window stays black.
    }
}

// The transition worker keeps its own copies, so these may go while it winds down. Failures
// here must not keep the window from closing.
void TSSWindow::FreeShowObjects() {
    pictureLoader_.Abandon(); // its worker reads the composer
    try {
        composer_.Free();
        mediaState_.FreePictures();
        // The input that ended the show may still be on its way to the second window.
        displays_->ReleaseSecondMonitorWindow();
        PackageData.Items.clear();
    } catch (const std::exception&) {
    }
}

} // namespace pictorelle

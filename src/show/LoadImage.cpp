// The main window's pictures: the background and logo prepared when the show starts, the
// loader that puts one item on screen, the preview picture, and freeing it all at the end.
#include "imaging/Decode.h"
#include "imaging/Gradient.h"
#include "imaging/Placement.h"
#include "package/ExtractEntry.h"
#include "package/TempFolder.h"
#include "platform/Desktop.h"
#include "platform/Monitors.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"
#include "show/Panel.h"
#include "show/SSWindow.h"
#include "transitions/EffectCatalogue.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <cstdio>

namespace pictorelle {
namespace {

// Delay between two frames of a slide-show transition, in milliseconds.
constexpr int kShowFrameDelay = 9;

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up: background and logo

// The background at the window's size: the desktop copy or the gradient, with the package's
// background picture on top. A background picture that cannot be read fails the package read.
void TSSWindow::PrepareBackground(const ByteSource&) {
    const PackageHeader& h = PackageData.Header;
    BackgroundBitmap.SetSize(width(), height());
    if (h.DesktopSnapshot)
        CaptureDesktop(BackgroundBitmap);
    else
        PaintGradient(BackgroundBitmap, GradientStyleTable(h.GradientStyle), h.BackColor,
                      BackgroundBitmap.BoundsRect(), h.BackColor2);
    BackgroundPicture.reset();
    if (h.BackgroundStoredSize == 0) return;
    const std::string path = TempFilePath("SSBG", h.BackgroundExt);
    ExtractEntry(Startup.ProgramFile, path, true, PackageData.SectionStart(SectionId::Background),
                 h.BackgroundStoredSize, h.BackgroundDataSize);
    TDecodedPicture picture = DecodePicture(path);
    RemoveFile(path); // nothing reads it again
    DrawBackgroundPicture(BackgroundBitmap, BackgroundBitmap.Width(), BackgroundBitmap.Height(),
                          h.BackPictureMode, picture.bitmap);
    BackgroundPicture = std::move(picture.bitmap);
}

void TSSWindow::LoadLogo() {
    Logo = pictorelle::LoadLogo(Startup.ProgramFile, PackageData);
}

// A new background for each item, when the package asks for one (never over the desktop copy).
void TSSWindow::RepaintBackgroundForItem() {
    PackageHeader& h = PackageData.Header;
    if (!h.RepaintBackgroundPerItem || h.DesktopSnapshot) return;
    TBackgroundStyle style{h.BackColor, h.BackColor2, h.GradientStyle};
    RandomizeBackground(style, h.RandomColors, h.RandomGradient);
    h.BackColor = style.backColor;
    h.BackColor2 = style.backColor2;
    h.GradientStyle = style.gradientStyle;
    PaintBackground(BackgroundBitmap, style, h.BackPictureMode,
                    BackgroundPicture ? &*BackgroundPicture : nullptr);
}

// ---------------------------------------------------------------------------------------------
// Loading one item

void TSSWindow::LoadImage(int index, bool fromDesktop) {
    RepaintBackgroundForItem();
    const auto& items = PackageData.Items;
    const bool exists = index >= 0 && index < static_cast<int>(items.size());
    IsGifItem = exists && IsGifExtension(items[static_cast<size_t>(index)].Ext);

    TBitmap32 frame(width(), height());
    frame.Draw(0, 0, BackgroundBitmap);
    if (fromDesktop) {
        CaptureDesktop(frame);
        Image32->Bitmap().Draw(0, 0, frame);
        Image32->update();
    }
    if (!exists) return;

    FlashPlaying = false;
    StopGif();
    const ItemRecord& item = items[static_cast<size_t>(index)];
    const int sizeMode = ItemSizeMode(item, Settings.Stretch);
    const std::string path = TempFilePath("SSIMG", item.Ext);
    ExtractEntry(Startup.ProgramFile, path, item.Compressed(), PackageData.EntryOffset(item),
                 item.StoredSize, item.DataSize);

    const TItemKind kind = ItemKindOf(item.Ext);
    if (kind != TItemKind::Picture) {
        // A movie or video that cannot be shown is passed over like a broken picture.
        if (ShowMovieItem(kind, index, path, sizeMode, frame)) DirectDraw = false;
        return;
    }
    // The desktop copy stands in for the first picture; the next tick loads it for real.
    // A picture that cannot be shown leaves the previous one on screen, DirectDraw as it is and
    // the temporary file in place.
    if (!fromDesktop && !ShowPictureItem(index, path, sizeMode, frame)) return;
    if (item.EnterSoundIndex >= 0 && !Settings.Mute) PlayEnterSound(item.EnterSoundIndex);
    ShowFrame(frame, index);
    RemoveFile(path);
    DirectDraw = false;
}

// Composes the picture item's frame and chooses the display that gets it. False when the
// picture cannot be read or composed.
bool TSSWindow::ShowPictureItem(int index, const std::string& path, int sizeMode,
                                TBitmap32& frame) {
    const ItemRecord& item = PackageData.Items[static_cast<size_t>(index)];
    ItemPicture.reset();
    ItemMask.reset();
    try {
        TPictureItemInput input;
        input.item = &item;
        input.picturePath = path;
        input.background = &BackgroundBitmap;
        input.frameWidth = frame.Width();
        input.frameHeight = frame.Height();
        input.sizeMode = sizeMode;
        input.backColor = PackageData.Header.BackColor;
        input.logo = Logo ? &*Logo : nullptr;
        input.loadMask = [this, &item](TBitmap32& mask) {
            pictorelle::LoadMask(Startup.ProgramFile, PackageData, item.MaskIndex, mask);
        };
        TPictureItem composed = ComposePictureItem(input);
        frame = std::move(composed.frame);
        ItemPicture = std::move(composed.picture);
        ItemMask = std::move(composed.mask);
        ItemRect = composed.itemRect;
        GifBackground = std::move(composed.gifBackground);
    } catch (const std::exception&) {
        return false;
    }
    ShownPicture = index;
    ShownItem = index;
    // With a second monitor the pictures alternate between the two, the first on the main one.
    UsePrimaryDisplay = SecondMonitorInUse ? !UsePrimaryDisplay : true;
    DisplayBitmap = UsePrimaryDisplay || !SecondMonitorWindow
                        ? &Image32->Bitmap()
                        : &SecondMonitorWindow->Image()->Bitmap();
    return true;
}

// Puts a composed frame on screen: at once for the show's first picture (on every display),
// otherwise through a transition on the chosen display, whose end re-arms the slide timer.
// The display keeps showing the previous picture until the transition paints over it.
void TSSWindow::ShowFrame(const TBitmap32& frame, int index) {
    if (DirectDraw) {
        DrawDirect(frame);
        AnimateGif();
        return;
    }
    const ItemRecord& item = PackageData.Items[static_cast<size_t>(index)];
    const bool ownEffect = item.ItemEffectSpeed != -1;
    const std::string& selection = ownEffect ? item.ItemEffect : Settings.Effect;
    const int speed = ownEffect ? item.ItemEffectSpeed : Settings.EffectSpeed;
    TImage32Target& target = UsePrimaryDisplay || !secondTarget_ ? *mainTarget_ : *secondTarget_;
    const unsigned serial = ++transitionSerial_;
    const bool started =
        StartTransition(Transition, mainThread_, target, frame, RandomEffect(selection), false,
                        TransitionSteps(width(), speed), kShowFrameDelay, [this, serial] {
                            if (serial == transitionSerial_) RestartTimer();
                        });
    if (!started) AnimateGif();
}

void TSSWindow::DrawDirect(const TBitmap32& frame) {
    Image32->Bitmap().Draw(0, 0, frame);
    Image32->update();
    if (!SecondMonitorInUse || !SecondMonitorWindow) return;
    TImage32* second = SecondMonitorWindow->Image();
    second->Bitmap().Draw(0, 0, frame);
    second->update();
}

// Flash movies and videos play in PanelDisplay over the background and logo. No player for
// them exists on this platform yet, so they are passed over.
bool TSSWindow::ShowMovieItem(TItemKind, int, const std::string&, int, TBitmap32&) {
    return false;
}

// What a movie or video plays over: the background with the logo, on every display.
void TSSWindow::ShowMovieBackground(TBitmap32& frame) {
    DrawLogo(frame, Logo);
    if (SecondMonitorInUse && SecondMonitorWindow) {
        SecondMonitorWindow->Image()->Bitmap().Draw(0, 0, frame);
        SecondMonitorWindow->Image()->update();
    }
    Image32->Bitmap().Draw(0, 0, frame);
    Image32->update();
}

void TSSWindow::PlaceMoviePanel(int sizeMode, const TRect& natural) {
    const QRect screen = MonitorBounds(0);
    const TRect r = pictorelle::PlaceMoviePanel(sizeMode, natural, screen.width(), screen.height());
    PanelDisplay->setGeometry(r.left, r.top, r.width(), r.height());
}

// ---------------------------------------------------------------------------------------------
// The preview and the end of the show

// The package's preview picture stretched over the preview window. Without a package or a
// preview picture, or with one that cannot be read, the window stays black.
void TSSWindow::LoadPreviewImage() {
    try {
        const FileSource file(Startup.ProgramFile);
        Package package;
        LocatePackage(file, package);
        const int32_t size = package.Header.PreviewSize;
        if (size <= 0) return;
        const std::string path = TempFilePath("SSIMG.BMP");
        ExtractEntry(Startup.ProgramFile, path, false, package.SectionStart(SectionId::Preview),
                     size, size);
        const QImage picture(QString::fromStdString(path), "BMP");
        RemoveFile(path);
        if (picture.isNull()) return;
        PrImage->setPixmap(QPixmap::fromImage(picture));
        PrImage->show();
        Image32->hide();
    } catch (const std::exception&) {
    }
}

// The transition worker keeps its own copies, so these may go while it winds down.
void TSSWindow::FreeShowObjects() {
    BackgroundBitmap = TBitmap32();
    BackgroundPicture.reset();
    Logo.reset();
    ItemPicture.reset();
    ItemMask.reset();
    GifBackground.reset();
    DisplayBitmap = nullptr;
}

} // namespace pictorelle

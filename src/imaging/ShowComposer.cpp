#include "imaging/ShowComposer.h"

#include "imaging/Decode.h"
#include "imaging/Gradient.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"

namespace pictorelle {

namespace {

// New random colours and gradient as the header asks, written back into it.
TBackgroundStyle RandomizeHeaderBackground(PackageHeader& h) {
    TBackgroundStyle style{h.BackColor, h.BackColor2, h.GradientStyle};
    RandomizeBackground(style, h.RandomColors, h.RandomGradient);
    h.BackColor = style.backColor;
    h.BackColor2 = style.backColor2;
    h.GradientStyle = style.gradientStyle;
    return style;
}

} // namespace

uint32_t ChooseStartColors(PackageHeader& h) {
    return ColorToPixel(RandomizeHeaderBackground(h).backColor);
}

TShowComposer::TShowComposer(std::string programFile, Package& package,
                             TDesktopCapture captureDesktop)
    : programFile_(std::move(programFile)), package_(package),
      captureDesktop_(std::move(captureDesktop)) {}

void TShowComposer::PrepareBackground(int width, int height) {
    const PackageHeader& h = package_.Header;
    size_ = {std::max(width, 0), std::max(height, 0)};
    style_ = {h.BackColor, h.BackColor2, h.GradientStyle};
    background_ = TBitmap32();
    backPicture_.reset();
    if (h.DesktopSnapshot) {
        background_.SetSize(width, height);
        captureDesktop_(background_);
    }
    if (h.BackgroundStoredSize == 0) return;
    TDecodedPicture picture;
    {
        const TempFile file(TempFilePath("SSBG", h.BackgroundExt)); // nothing reads it again
        ExtractEntry(programFile_, file.Path(), true, package_.SectionStart(SectionId::Background),
                     h.BackgroundStoredSize, h.BackgroundDataSize, kMaxPictureEntrySize);
        // Decoded only as far as the background shows it, whatever its header claims.
        const int mode = h.BackPictureMode;
        picture = DecodePicture(file.Path(), [width, height, mode](TSize natural) {
            return BackgroundPictureRequest(width, height, mode, natural);
        });
    }
    if (!h.DesktopSnapshot) background_ = BackgroundFrame(width, height);
    DrawBackgroundPicture(background_, background_.Width(), background_.Height(), h.BackPictureMode,
                          picture.bitmap, picture.natural);
    backPicture_ = std::move(picture.bitmap);
    backNatural_ = picture.natural;
}

void TShowComposer::LoadLogo() {
    logo_ = pictorelle::LoadLogo(programFile_, package_, size_);
}

void TShowComposer::RepaintBackgroundForItem() {
    PackageHeader& h = package_.Header;
    if (!h.RepaintBackgroundPerItem || h.DesktopSnapshot) return;
    style_ = RandomizeHeaderBackground(h);
    if (!background_.Empty())
        pictorelle::PaintBackground(background_, style_, h.BackPictureMode,
                                    backPicture_ ? &*backPicture_ : nullptr, backNatural_);
}

TBitmap32 TShowComposer::BackgroundFrame(int width, int height) const {
    TBitmap32 frame(width, height);
    PaintBackground(frame);
    return frame;
}

void TShowComposer::PaintBackground(TBitmap32& frame) const {
    if (!background_.Empty()) {
        frame.Draw(0, 0, background_);
    } else if (!size_.isEmpty()) {
        // Painted as it would be on a bitmap of the background's size, clipped to the frame.
        PaintGradient(frame, GradientStyleTable(style_.gradientStyle), style_.backColor,
                      {0, 0, size_.width, size_.height}, style_.backColor2);
    }
}

TPictureItem TShowComposer::ComposePicture(int index, const std::string& path, int sizeMode,
                                           int frameWidth, int frameHeight) const {
    return ComposePicture(package_.Items.at(static_cast<size_t>(index)), path, sizeMode, frameWidth,
                          frameHeight);
}

TPictureItem TShowComposer::ComposePicture(const ItemRecord& item, const std::string& path,
                                           int sizeMode, int frameWidth, int frameHeight) const {
    TPictureItemInput input;
    input.item = &item;
    input.picturePath = path;
    input.paintBackground = [this](TBitmap32& frame) { PaintBackground(frame); };
    input.frameWidth = frameWidth;
    input.frameHeight = frameHeight;
    input.sizeMode = sizeMode;
    input.backColor = package_.Header.BackColor;
    input.logo = logo_ ? &*logo_ : nullptr;
    input.loadMask = [this, &item](TBitmap32& mask, const TDecodePlan& plan) {
        LoadMask(programFile_, package_, item.MaskIndex, mask, plan);
    };
    return ComposePictureItem(input);
}

void TShowComposer::Free() {
    size_ = {};
    background_ = TBitmap32();
    backPicture_.reset();
    logo_.reset();
}

} // namespace pictorelle

#include "imaging/Overlays.h"

#include "imaging/Decode.h"
#include "imaging/Placement.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"

#include <cstdio>
#include <new>

namespace pictorelle {

namespace {

const char* MaskExtension(int maskType) {
    switch (maskType) {
    case 0:
        return ".bmp";
    case 1:
        return ".png";
    default:
        return ".gif";
    }
}

} // namespace

void LoadMask(const std::string& packageFile, const Package& package, int index, TBitmap32& target,
              const TDecodePlan& plan) {
    if (index < 0) return;
    if (index >= static_cast<int>(package.Masks.size())) {
        std::fprintf(stderr, "Skipping mask %d: the show has no such mask\n", index);
        return;
    }
    try {
        const MaskRecord& record = package.Masks[static_cast<size_t>(index)];
        const TempFile file(TempFilePath("SSMASK", MaskExtension(record.MaskType)));
        ExtractEntry(packageFile, file.Path(), package, record, kMaxPictureEntrySize);
        TDecodedPicture decoded = DecodePicture(file.Path(), plan);
        if (record.MaskType == 0) {
            target = std::move(decoded.bitmap);
            return;
        }
        TBitmap32 mask(decoded.bitmap.Width(), decoded.bitmap.Height());
        mask.Draw(0, 0, decoded.bitmap, TDrawMode::Blend);
        mask.ResetAlpha();
        target = std::move(mask);
    } catch (const TDecodeCancelled&) {
        throw; // the whole item is being abandoned
    } catch (const PictorelleError& e) {
        // A mask that cannot be read leaves the target as it was.
        std::fprintf(stderr, "Skipping mask %d: %s\n", index, e.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Skipping mask %d: out of memory\n", index);
    }
}

TBitmap32 PrepareLogo(const TBitmap32& picture, TColor transparentColor) {
    const uint32_t key = ColorToPixel(transparentColor);
    TBitmap32 logo(picture.Width(), picture.Height());
    logo.Clear(key);
    logo.Draw(0, 0, picture, TDrawMode::Blend);
    logo.ResetAlpha();
    if (IsNoColor(transparentColor)) return logo;
    for (int y = 0; y < logo.Height(); ++y) {
        uint32_t* row = logo.ScanLine(y);
        for (int x = 0, w = logo.Width(); x < w; ++x)
            if (row[x] == key) row[x] = 0;
    }
    return logo;
}

std::optional<TLogo> LoadLogo(const std::string& packageFile, const Package& package,
                              TSize screen) {
    const PackageHeader& h = package.Header;
    if (h.LogoStoredSize <= 0) return std::nullopt;
    try {
        // The logo is always a zlib stream.
        const TempFile file(TempFilePath("SSLG", h.LogoExt));
        ExtractEntry(packageFile, file.Path(), true, package.SectionStart(SectionId::Logo),
                     h.LogoStoredSize, h.LogoDataSize, kMaxPictureEntrySize);
        const TDecodedPicture decoded = DecodePicture(
            file.Path(), [screen](TSize) { return TDecodeRequest{{}, {}, screen}; });
        TLogo logo;
        logo.bitmap = PrepareLogo(decoded.bitmap, h.LogoTransparentColor);
        logo.placement = h.LogoPlacement;
        logo.marginX = h.LogoX;
        logo.marginY = h.LogoY;
        return logo;
    } catch (const PictorelleError& e) {
        std::fprintf(stderr, "Skipping the logo: %s\n", e.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Skipping the logo: out of memory\n");
    }
    return std::nullopt;
}

void DrawLogo(TBitmap32& frame, const TLogo* logo) {
    if (!logo || logo->bitmap.Empty()) return;
    const TRect r = PlaceOverlay(frame, logo->bitmap.Width(), logo->bitmap.Height(),
                                 logo->placement, logo->marginX, logo->marginY);
    frame.Draw(r.left, r.top, logo->bitmap, TDrawMode::Blend);
}

void DrawLogo(TFramePart& part, TSize frameSize, const TLogo* logo) {
    if (!logo || logo->bitmap.Empty()) return;
    const TRect r = PlaceOverlay(frameSize.width, frameSize.height, logo->bitmap.Width(),
                                 logo->bitmap.Height(), logo->placement, logo->marginX,
                                 logo->marginY);
    part.bitmap.Draw(r.left - part.left, r.top - part.top, logo->bitmap, TDrawMode::Blend);
}

} // namespace pictorelle

// The fades: the new picture blends in over the old one, or the old one fades to black and the
// new one rises out of it. Each frame composes the whole picture in Scratch.
#include "core/RowKernels.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"

#include <algorithm>
#include <cstddef>

namespace pictorelle {
namespace {

// A frame this large does not stay in the caches until it is painted: it is written past them.
constexpr std::size_t kStreamedFrameBytes = std::size_t{16} << 20;

// Scratch := `under` (or transparent black when null) with `over` blended on at `alpha`, each
// pixel written once; a large frame's rows are shared with the helpers.
void Compose(TTransThread& t, const TBitmap32* under, const TBitmap32& over, int alpha) {
    TBitmap32& scratch = t.Scratch;
    const auto width = static_cast<std::size_t>(scratch.Width());
    const int height = scratch.Height();
    const std::size_t pixels = width * static_cast<std::size_t>(height);
    const bool stream = pixels * 4 >= kStreamedFrameBytes;
    const int bands = t.Helpers().BandsFor(pixels);
    t.Helpers().Run(bands, [&](int band) {
        const int to = height * (band + 1) / bands;
        for (int y = height * band / bands; y < to; ++y)
            rows::BlendOnto(scratch.ScanLine(y), under ? under->ScanLine(y) : nullptr,
                            over.ScanLine(y), width, static_cast<uint32_t>(alpha), stream);
    });
}

// Member 1 is the crossfade, member 2 the fade to black.
static_assert(FamilyMemberCount(EffectFamily::Fade) == 2);

} // namespace

void RunFadeFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0) return;
    const bool toBlack = local == 2;
    const int d = std::max(765 / std::max(t.StepCount(), 1), 1);
    // Blending follows each pixel's alpha too; the pictures must count as opaque.
    t.NewPicture.ResetAlpha();
    if (toBlack) t.OldPicture.ResetAlpha();

    int v = d;
    t.RunFrames([&] {
        if (v >= 255) return false;
        if (!toBlack)
            Compose(t, &t.OldPicture, t.NewPicture, v);
        else if (v > 126)
            Compose(t, nullptr, t.NewPicture, std::min(255, 2 * v - 254));
        else
            Compose(t, nullptr, t.OldPicture, 255 - 2 * v);
        t.PresentScratch(t.Scratch.BoundsRect());
        v += d;
        return true;
    });
}

} // namespace pictorelle

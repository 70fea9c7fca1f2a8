// The fade unfolds: a fold window uncovers the new picture from one edge while a band a tenth
// of the picture wide runs one step ahead of it, showing the new picture fading into the old.
#include "transitions/zoomfade/FoldFade.h"

#include "core/IntMath.h"
#include "core/Random.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"
#include "transitions/reveal/Fold.h"

#include <algorithm>
#include <array>

namespace pictorelle {

void TFoldFade::Init(const TBitmap32& newPicture, double x, double y, int width, int height,
                     double dx, double dy, int steps, int rampMode) {
    newPicture_ = &newPicture;
    pictureWidth_ = newPicture.Width();
    pictureHeight_ = newPicture.Height();
    stepsLeft_ = steps;
    x_ = x;
    y_ = y;
    w_ = width;
    h_ = height;
    dx_ = dx;
    dy_ = dy;
    clipped_ = paint_ = TRect{};
    tile_.SetSize(width, height);
    rampMode_ = rampMode;

    // The ramp runs from opaque on the side facing the fold window to transparent on the
    // leading side; a band one pixel across has no ramp and shows the new picture.
    const bool horizontal = rampMode == kFallsRightward || rampMode == kRisesRightward;
    const bool falls = rampMode == kFallsRightward || rampMode == kFallsDownward;
    const int n = horizontal ? tile_.Width() : tile_.Height();
    ramp_.assign(static_cast<std::size_t>(std::max(n, 0)), 0xFF000000u);
    if (rampMode < kFallsRightward || rampMode > kRisesDownward || n < 2) return;
    for (int i = 0; i < n; ++i) {
        const int k = falls ? n - 1 - i : i;
        const int alpha = CeilDiv(k * 255, n - 1);
        ramp_[static_cast<std::size_t>(i)] = static_cast<uint32_t>(alpha) << 24;
    }
}

bool TFoldFade::Step() {
    if (stepsLeft_ <= 0) return false;
    --stepsLeft_;
    const TFoldWindow window = FoldWindow(x_, y_, w_, h_, pictureWidth_, pictureHeight_);
    clipped_ = paint_ = window.touches ? window.rect : TRect{};
    if (window.touches) FillTile();
    x_ += dx_;
    y_ += dy_;
    return stepsLeft_ > 0;
}

void TFoldFade::FillTile() {
    // Rounding may make the clipped band a pixel wider than the tile; the tile keeps its size.
    const int cols = std::min(clipped_.width(), tile_.Width());
    const int rows = std::min(clipped_.height(), tile_.Height());
    if (cols <= 0 || rows <= 0) return;
    const bool horizontal = rampMode_ == kFallsRightward || rampMode_ == kRisesRightward;
    const bool random = rampMode_ < kFallsRightward || rampMode_ > kRisesDownward;
    constexpr uint32_t kColour = 0x00FFFFFFu;
    for (int r = 0; r < rows; ++r) {
        const uint32_t* src = newPicture_->ScanLine(clipped_.top + r) + clipped_.left;
        uint32_t* dst = tile_.ScanLine(r);
        if (random) {
            for (int c = 0; c < cols; ++c)
                dst[c] = (src[c] & kColour) | static_cast<uint32_t>(RandomInt(256)) << 24;
        } else if (horizontal) {
            const uint32_t* alpha = ramp_.data();
            for (int c = 0; c < cols; ++c)
                dst[c] = (src[c] & kColour) | alpha[c];
        } else {
            const uint32_t alpha = ramp_[static_cast<std::size_t>(r)];
            for (int c = 0; c < cols; ++c)
                dst[c] = (src[c] & kColour) | alpha;
        }
    }
}

namespace {

struct Member {
    bool vertical; // travels down or up instead of right or left
    bool fromFar;  // starts at the right or bottom edge
    int ramp;
};

constexpr Member kMembers[] = {
    {false, false, TFoldFade::kFallsRightward}, // "Fade Unfold From Left"
    {false, true, TFoldFade::kRisesRightward},  // "Fade Unfold From Right"
    {true, false, TFoldFade::kFallsDownward},   // "Fade Unfold From Up"
    {true, true, TFoldFade::kRisesDownward},    // "Fade Unfold From Bottom"
};
static_assert(std::ssize(kMembers) == FamilyMemberCount(EffectFamily::FadeUnfold));

} // namespace

void RunFadeUnfoldFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0 || local < 1 || local > std::ssize(kMembers))
        return;
    const Member& m = kMembers[local - 1];
    const int w = t.PictureWidth, h = t.PictureHeight, s = std::max(t.StepCount(), 1);
    // Along the direction of travel: the picture's extent, the fold window's width, the band's
    // width and the travel per step.
    const int along = m.vertical ? h : w, across = m.vertical ? w : h;
    const int window = CeilDiv(along, s), band = CeilDiv(along, 10);
    const double speed = static_cast<double>(along) / s;

    double foldAt = 0, foldExtent = window, bandAt = window, move = speed;
    int foldSteps = s;
    if (m.fromFar) {
        foldAt = along;
        foldExtent = -window;
        bandAt = along - window - band;
        move = -speed;
        foldSteps = s + 1;
    }
    std::array<TFold, 1> folds;
    TFoldFade fade;
    if (m.vertical) {
        folds[0] = TFold(w, h, 0, foldAt, across, foldExtent, 0, move, foldSteps);
        fade.Init(t.NewPicture, 0, bandAt, across, band, 0, move, s, m.ramp);
    } else {
        folds[0] = TFold(w, h, foldAt, 0, foldExtent, across, move, 0, foldSteps);
        fade.Init(t.NewPicture, bandAt, 0, band, across, move, 0, s, m.ramp);
    }

    bool more = true;
    t.RunFrames([&] {
        if (!more) return false;
        more = StepFolds(t, folds);
        // A band without steps left would repaint its last, stale place over what the fold
        // window has uncovered since.
        if (fade.StepsLeft() > 0) {
            fade.Step();
            const TRect& clipped = fade.ClippedRect();
            if (!clipped.isEmpty()) {
                const TRect& dest = fade.PaintRect();
                t.Scratch.Draw(dest.left, dest.top, clipped, t.OldPicture);
                t.Scratch.Draw(clipped.left, clipped.top, fade.Tile(), TDrawMode::Blend);
                t.PaintFromScratch(clipped, dest);
            }
        }
        return true;
    });
}

} // namespace pictorelle

// The zooms: the new picture, or each half or quarter of it, grows out of a point or an edge
// until it fills its place. Each member is a row of zoom pieces in the table below.
#include "transitions/zoomfade/Zoom.h"

#include "core/IntMath.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"
#include "transitions/TransThread.h"
#include "transitions/zoomfade/ScaledDraw.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

namespace pictorelle {

void TZoom::Init(const TBitmap32& picture, double x, double y, double width, double height,
                 const TRect& source, double leftSpeed, double rightSpeed, double topSpeed,
                 double bottomSpeed, int steps) {
    picture_ = &picture;
    pictureWidth_ = picture.Width();
    pictureHeight_ = picture.Height();
    stepsLeft_ = steps;
    x_ = x;
    y_ = y;
    w_ = width;
    h_ = height;
    leftSpeed_ = leftSpeed;
    rightSpeed_ = rightSpeed;
    topSpeed_ = topSpeed;
    bottomSpeed_ = bottomSpeed;
    source_ = source;
    destRect_ = stepSource_ = TRect{};
}

bool TZoom::Step() {
    if (stepsLeft_ <= 0) return false;
    --stepsLeft_;
    x_ += leftSpeed_;
    y_ += topSpeed_;
    w_ += rightSpeed_ - leftSpeed_;
    h_ += bottomSpeed_ - topSpeed_;
    destRect_ = {RoundInt(x_), RoundInt(y_), RoundInt(x_ + w_), RoundInt(y_ + h_)};
    stepSource_ = source_;
    return stepsLeft_ > 0;
}

namespace {

// A place along one axis of the picture, for an axis of length n.
enum class At : uint8_t {
    Zero,
    Quarter,       // n div 4
    Half,          // n div 2
    ThreeQuarters, // n div 4 + n div 2
    Full           // n
};

int Place(At a, int n) {
    switch (a) {
    case At::Zero:
        return 0;
    case At::Quarter:
        return n / 4;
    case At::Half:
        return n / 2;
    case At::ThreeQuarters:
        return n / 4 + n / 2;
    case At::Full:
        return n;
    }
    return 0;
}

// One zoom piece. Speeds are in quarters of the picture's extent per step count: a left speed
// of -2 moves the left edge by -(w / 2) / s each step.
struct ZoomSpec {
    At x, y;
    At width, height; // start extent: Zero or Full
    At srcLeft, srcTop, srcRight, srcBottom;
    int left, right, top, bottom;
};

using enum At;

constexpr ZoomSpec kZoomIn[] = {{Half, Half, Zero, Zero, Zero, Zero, Full, Full, -2, 2, -2, 2}};
constexpr ZoomSpec kFromUpLeft[] = {{Zero, Zero, Zero, Zero, Zero, Zero, Full, Full, 0, 4, 0, 4}};
constexpr ZoomSpec kFromUpRight[] = {{Full, Zero, Zero, Zero, Zero, Zero, Full, Full, -4, 0, 0, 4}};
constexpr ZoomSpec kFromBottomLeft[] = {
    {Zero, Full, Zero, Zero, Zero, Zero, Full, Full, 0, 4, -4, 0}};
constexpr ZoomSpec kFromBottomRight[] = {
    {Full, Full, Zero, Zero, Zero, Zero, Full, Full, -4, 0, -4, 0}};
constexpr ZoomSpec kFromLeft[] = {{Zero, Zero, Zero, Full, Zero, Zero, Full, Full, 0, 4, 0, 0}};
constexpr ZoomSpec kFromUp[] = {{Zero, Zero, Full, Zero, Zero, Zero, Full, Full, 0, 0, 0, 4}};
constexpr ZoomSpec kFromRight[] = {{Full, Zero, Zero, Full, Zero, Zero, Full, Full, -4, 0, 0, 0}};
constexpr ZoomSpec kFromBottom[] = {{Zero, Full, Full, Zero, Zero, Zero, Full, Full, 0, 0, -4, 0}};
constexpr ZoomSpec kDoorHorizontal[] = {
    {Zero, Zero, Zero, Full, Zero, Zero, Half, Full, 0, 2, 0, 0},
    {Full, Zero, Zero, Full, Half, Zero, Full, Full, -2, 0, 0, 0},
};
constexpr ZoomSpec kDoorVertical[] = {
    {Zero, Zero, Full, Zero, Zero, Zero, Full, Half, 0, 0, 0, 2},
    {Zero, Full, Full, Zero, Zero, Half, Full, Full, 0, 0, -2, 0},
};
constexpr ZoomSpec kQuattro[] = {
    {Quarter, Quarter, Zero, Zero, Zero, Zero, Half, Half, -1, 1, -1, 1},
    {ThreeQuarters, Quarter, Zero, Zero, Half, Zero, Full, Half, -1, 1, -1, 1},
    {Quarter, ThreeQuarters, Zero, Zero, Zero, Half, Half, Full, -1, 1, -1, 1},
    {ThreeQuarters, ThreeQuarters, Zero, Zero, Half, Half, Full, Full, -1, 1, -1, 1},
};

constexpr std::span<const ZoomSpec> kMembers[] = {
    kZoomIn, kFromUpLeft, kFromUpRight, kFromBottomLeft, kFromBottomRight, kFromLeft,
    kFromUp, kFromRight,  kFromBottom,  kDoorHorizontal, kDoorVertical,    kQuattro,
};

static_assert(std::ssize(kMembers) == FamilyMemberCount(EffectFamily::Zoom));

constexpr std::size_t kMaxZooms = 4;

constexpr bool FitTheZoomArray() {
    for (const auto& pieces : kMembers)
        if (pieces.empty() || pieces.size() > kMaxZooms) return false;
    return true;
}
static_assert(FitTheZoomArray(), "every member has between 1 and 4 zooms");

} // namespace

void RunZoomFamily(TTransThread& t, int local) {
    if (t.PictureWidth <= 0 || t.PictureHeight <= 0 || local < 1 || local > std::ssize(kMembers))
        return;
    const int w = t.PictureWidth, h = t.PictureHeight;
    const int s = std::max(t.StepCount(), 1);
    const double unitX = w / 4.0 / s, unitY = h / 4.0 / s;

    const auto pieces = kMembers[static_cast<std::size_t>(local - 1)];
    std::array<TZoom, kMaxZooms> zooms;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const ZoomSpec& z = pieces[k];
        const TRect source{Place(z.srcLeft, w), Place(z.srcTop, h), Place(z.srcRight, w),
                           Place(z.srcBottom, h)};
        zooms[k].Init(t.NewPicture, Place(z.x, w), Place(z.y, h), Place(z.width, w),
                      Place(z.height, h), source, z.left * unitX, z.right * unitX, z.top * unitY,
                      z.bottom * unitY, s);
    }

    // Every piece only grows, and around the pieces the old picture stays: Scratch starts as
    // the old picture and each frame draws the pieces anew over it, or over the frame before
    // last when the target swaps bitmaps with it, which differs only inside them.
    const TRect picture = t.Scratch.BoundsRect();
    t.Scratch.Draw(0, 0, t.OldPicture);

    // A large frame's rows are split into bands, one for the worker and one per helper; each
    // band draws every piece's rows inside it, pieces in order, so a pixel two pieces share
    // ends as the later one draws it, as without the split.
    std::array<TScaledDraw, kMaxZooms> draws;
    for (TScaledDraw& d : draws)
        d.Reserve(w, h);
    const int maxBands = t.Helpers().HelperCount() + 1;
    const auto lineSize = 2 * static_cast<std::size_t>(w);
    std::vector<uint32_t> lines(lineSize * static_cast<std::size_t>(maxBands));

    bool more = true;
    t.RunFrames([&] {
        if (!more) return false;
        more = false;
        std::array<TRect, kMaxZooms> changed;
        int top = h, bottom = 0;
        std::size_t pixels = 0;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            TZoom& zoom = zooms[k];
            more = zoom.Step() || more;
            TScaledDraw& d = draws[k];
            d.Plan(t.Scratch, zoom.DestinationRect(), zoom.Picture(), zoom.StepSourceRect());
            changed[k] = zoom.DestinationRect().intersected(picture);
            if (d.Pixels() == 0) continue;
            top = std::min(top, d.FirstRow());
            bottom = std::max(bottom, d.EndRow());
            pixels += d.Pixels();
        }
        if (top < bottom) {
            const int bands = std::min(t.Helpers().BandsFor(pixels), maxBands);
            t.Helpers().Run(bands, [&](int band) {
                const int from = top + (bottom - top) * band / bands;
                const int to = top + (bottom - top) * (band + 1) / bands;
                uint32_t* line = lines.data() + lineSize * static_cast<std::size_t>(band);
                for (std::size_t k = 0; k < pieces.size(); ++k)
                    draws[k].DrawRows(from, to, line);
            });
        }
        // Only the growing rectangles are painted.
        t.PresentScratch(std::span<const TRect>(changed.data(), pieces.size()));
        return true;
    });
}

} // namespace pictorelle

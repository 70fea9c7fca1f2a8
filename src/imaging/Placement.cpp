#include "imaging/Placement.h"

#include "core/Random.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace pictorelle {

namespace {

int saturate(int64_t v) {
    return static_cast<int>(
        std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// num / den rounded to nearest with halves to even, exactly (no floating point).
int64_t roundDivEven(int64_t num, int64_t den) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    int64_t q = num / den;
    int64_t r = num % den;
    if (r < 0) { // floor instead of truncation, so that 0 <= r < den
        --q;
        r += den;
    }
    if (2 * r > den || (2 * r == den && (q % 2) != 0)) ++q;
    return q;
}

// a / b > c / d for positive b and d, exactly.
bool ratioGreater(int64_t a, int64_t b, int64_t c, int64_t d) {
    return a * d > c * b;
}

TRect fitMode0(int W, int H, int w, int h) {
    if (w <= 0 || h <= 0) return TRect{W / 2, H / 2, W / 2, H / 2};
    if (ratioGreater(W, w, H, h)) { // the height limits
        const int n = saturate(int64_t{w} * H / h);
        return {W / 2 - n / 2, 0, W / 2 + n / 2, H};
    }
    const int n = saturate(int64_t{h} * W / w);
    return {0, H / 2 - n / 2, W, H / 2 + n / 2};
}

TRect natural(int x, int y, int w, int h) {
    return {x, y, saturate(int64_t{x} + w), saturate(int64_t{y} + h)};
}

TRect centred(int W, int H, int w, int h) {
    return natural(saturate((int64_t{W} - w) / 2), saturate((int64_t{H} - h) / 2), w, h);
}

// random(|d|), negated unless d > 0: a larger picture shows a random part of itself.
int randomOffset(int64_t d) {
    const int r = RandomInt(saturate(d < 0 ? -d : d));
    return d > 0 ? r : -r;
}

TRect randomPosition(int W, int H, int w, int h) {
    const int x = randomOffset(int64_t{W} - w);
    const int y = randomOffset(int64_t{H} - h);
    return natural(x, y, w, h);
}

TRect fittedAndShifted(int W, int H, int w, int h) {
    TRect r = FitRect(W, H, w, h);
    if (r.left > 0) r = r.translated(RandomInt(2 * r.left) - r.left, 0);
    if (r.top > 0) r = r.translated(0, RandomInt(2 * r.top) - r.top);
    return r;
}

bool tooBig(int W, int H, int w, int h) {
    return w > W || h > H;
}

} // namespace

TRect FitRect(int bw, int bh, int pw, int ph) {
    if (bw == 0 || bh == 0 || pw == 0 || ph == 0) return {0, 0, bw, bh};
    bool widthLimits;
    if (bw > 0 && bh > 0 && pw > 0 && ph > 0)
        widthLimits = int64_t{pw} * bh >= int64_t{bw} * ph;
    else
        widthLimits = static_cast<double>(pw) / ph >= static_cast<double>(bw) / bh;
    int width = bw;
    int height = bh;
    if (widthLimits)
        height = saturate(roundDivEven(int64_t{ph} * bw, pw));
    else
        width = saturate(roundDivEven(int64_t{pw} * bh, ph));
    const int left = saturate((int64_t{bw} - width) / 2);
    const int top = saturate((int64_t{bh} - height) / 2);
    return natural(left, top, width, height);
}

TRect PlacePicture(int sizeMode, int W, int H, int w, int h) {
    switch (sizeMode) {
    case 0:
        return fitMode0(W, H, w, h);
    case 1:
        return {0, 0, W, H};
    case 2:
        return centred(W, H, w, h);
    case 3:
        return randomPosition(W, H, w, h);
    case 4:
        return tooBig(W, H, w, h) ? FitRect(W, H, w, h) : centred(W, H, w, h);
    case 5:
        return tooBig(W, H, w, h) ? fittedAndShifted(W, H, w, h) : randomPosition(W, H, w, h);
    default:
        return fittedAndShifted(W, H, w, h);
    }
}

TSize PlacedPictureSize(int sizeMode, int W, int H, int w, int h) {
    switch (sizeMode) {
    case 0:
        return fitMode0(W, H, w, h).size();
    case 1:
        return {W, H};
    case 2:
    case 3:
        return {w, h};
    case 4:
    case 5:
        return tooBig(W, H, w, h) ? FitRect(W, H, w, h).size() : TSize{w, h};
    default:
        return FitRect(W, H, w, h).size();
    }
}

TRect PlaceOverlay(int W, int H, int w, int h, int code, int marginX, int marginY) {
    const int64_t left = marginX;
    const int64_t right = int64_t{W} - w - marginX;
    const int64_t centreX = (int64_t{W} - w) / 2 + marginX;
    const int64_t top = marginY;
    const int64_t bottom = int64_t{H} - h - marginY;
    const int64_t centreY = (int64_t{H} - h) / 2 + marginY;
    int64_t x = centreX;
    int64_t y = centreY;
    switch (code) {
    case 0:
        x = left, y = top;
        break;
    case 1:
        x = right, y = top;
        break;
    case 2:
        x = centreX, y = top;
        break;
    case 3:
        x = left, y = bottom;
        break;
    case 4:
        x = right, y = bottom;
        break;
    case 5:
        x = centreX, y = bottom;
        break;
    default:
        break;
    }
    return natural(saturate(x), saturate(y), w, h);
}

TRect PlaceMoviePanel(int sizeMode, const TRect& nat, int SW, int SH) {
    const int w = nat.width();
    const int h = nat.height();
    auto fitted = [&] {
        const TRect f = FitRect(SW, SH, saturate(int64_t{w} + 1), saturate(int64_t{h} + 1));
        return natural(f.left, f.top, saturate(int64_t{f.width()} + 1),
                       saturate(int64_t{f.height()} + 1));
    };
    const int naturalWidth = saturate(int64_t{nat.right} + 1);
    const int naturalHeight = saturate(int64_t{nat.bottom} + 1);
    switch (sizeMode) {
    case 0:
        return fitted();
    case 1:
        return {0, 0, SW, SH};
    case 2:
    case 4:
        if (SW < w || SH < h) return fitted();
        return natural(SW / 2 - naturalWidth / 2, SH / 2 - naturalHeight / 2, naturalWidth,
                       naturalHeight);
    default: {
        int width = naturalWidth;
        int height = naturalHeight;
        if (SW < w || SH < h) {
            const TRect f = FitRect(SW, SH, w, h);
            width = f.width();
            height = f.height();
        }
        const int left = RandomInt(saturate(int64_t{SW} - width));
        const int top = RandomInt(saturate(int64_t{SH} - height));
        return natural(left, top, width, height);
    }
    }
}

} // namespace pictorelle

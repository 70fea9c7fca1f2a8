// TSlide: a fixed band of a picture whose content is drawn shifted by an offset that moves by
// a constant amount per step, cut to the band, until the band shows its content in place. The
// slide effects move bands of the new picture in from outside (or, for the door that opens,
// bands of the old picture out).
#pragma once

#include "core/Rect.h"

namespace pictorelle {

enum class TSlidePicture { New, Old };

class TSlide {
public:
    // No steps: the unused entries of a fixed array of slides.
    TSlide() = default;
    // `band` holds columns left .. right - 1 and rows top .. bottom - 1; (x, y) is the
    // content's offset from its place before the first step.
    TSlide(TSlidePicture picture, const TRect& band, double x, double y, double dx, double dy,
           int steps)
        : picture_(picture), band_(band), stepsLeft_(steps), x_(x), y_(y), dx_(dx), dy_(dy) {}

    // Moves the offset by (dx, dy), then computes where the shifted content shows inside the
    // band. Returns whether steps remain; with none left it returns false and changes nothing.
    bool Step();

    int StepsLeft() const { return stepsLeft_; }
    TSlidePicture Picture() const { return picture_; }
    // What the last step shows: SourceRect() of the picture lands on DestRect() of the target.
    // Both are (0, 0, 0, 0) when nothing of the band's content lies inside the band.
    const TRect& SourceRect() const { return source_; }
    const TRect& DestRect() const { return dest_; }

private:
    TSlidePicture picture_ = TSlidePicture::New;
    TRect band_;
    int stepsLeft_ = 0;
    double x_ = 0, y_ = 0, dx_ = 0, dy_ = 0;
    TRect source_, dest_;
};

} // namespace pictorelle

// TZoom: a fixed rectangle of the new picture shown scaled into a destination rectangle whose
// four edges move at their own speeds, one step per frame.
#pragma once

#include "core/Bitmap32.h"

namespace pictorelle {

class TZoom {
public:
    // Start at (x, y) with extent width x height; `source` is the part of the picture shown.
    void Init(const TBitmap32& picture, double x, double y, double width, double height,
              const TRect& source, double leftSpeed, double rightSpeed, double topSpeed,
              double bottomSpeed, int steps);
    // Moves the edges one step and computes the step's rectangles; false once no steps remain
    // (also for the step that used the last one). A zoom without steps left changes nothing.
    bool Step();

    const TBitmap32& Picture() const { return *picture_; }
    const TRect& DestinationRect() const { return destRect_; }
    const TRect& StepSourceRect() const { return stepSource_; }
    int StepsLeft() const { return stepsLeft_; }

private:
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    int stepsLeft_ = 0;
    double x_ = 0, y_ = 0, w_ = 0, h_ = 0;
    double leftSpeed_ = 0, rightSpeed_ = 0, topSpeed_ = 0, bottomSpeed_ = 0;
    TRect source_;
    const TBitmap32* picture_ = nullptr; // borrowed: the transition's new picture
    TRect destRect_;
    TRect stepSource_;
};

} // namespace pictorelle

// TFoldFade: a band that travels across the picture like a fold window and shows the new
// picture with an alpha ramp, so that it fades into the old picture across the band's width.
#pragma once

#include "core/Bitmap32.h"

#include <cstdint>
#include <vector>

namespace pictorelle {

class TFoldFade {
public:
    // Ramp modes: how the band's alpha runs across it. Any other mode gives each pixel a
    // random alpha.
    static constexpr int kFallsRightward = 1;
    static constexpr int kRisesRightward = 2;
    static constexpr int kFallsDownward = 3;
    static constexpr int kRisesDownward = 4;

    // A band of width x height at (x, y) moving by (dx, dy) per step; allocates the tile.
    void Init(const TBitmap32& newPicture, double x, double y, int width, int height, double dx,
              double dy, int steps, int rampMode);
    // Takes the band where it stands: the clipped rectangle and the tile holding the new
    // picture's pixels there with the ramp's alpha; then moves on. Returns whether steps
    // remain; with none left it returns false and changes nothing.
    bool Step();

    // The band cut to the picture, and what this step paints: both (0, 0, 0, 0) when the band
    // does not touch the picture.
    const TRect& ClippedRect() const { return clipped_; }
    const TRect& PaintRect() const { return paint_; }
    // The band's content, drawn with its top left corner at the clipped rectangle's.
    const TBitmap32& Tile() const { return tile_; }
    int StepsLeft() const { return stepsLeft_; }

private:
    void FillTile();

    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    int stepsLeft_ = 0;
    double x_ = 0, y_ = 0, w_ = 0, h_ = 0, dx_ = 0, dy_ = 0;
    const TBitmap32* newPicture_ = nullptr; // borrowed
    TRect clipped_;
    TRect paint_;
    TBitmap32 tile_;
    int rampMode_ = kFallsRightward;
    std::vector<uint32_t> ramp_; // alpha per tile column or row, already shifted into place
};

} // namespace pictorelle

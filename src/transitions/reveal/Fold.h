// TFold: a rectangular window that travels across the picture in equal steps and uncovers the
// new picture through it, in place. The reveal effects are nothing but sets of such windows;
// the slide family's door and the fade unfolds use them too.
//
// A window is (x, y; width x height; dx, dy; steps): its origin, its extent (negative extents
// reach left of x or above y), its travel per step and how many steps it runs. Each step takes
// the window where it stands, rounds its corners to whole pixels (halves to even) and cuts it
// to the picture, then moves it on by (dx, dy).
#pragma once

#include "core/Rect.h"

#include <span>

namespace pictorelle {

class TTransThread;

// Where a window covers the picture. A window uncovers only when one of its left and right
// edges and one of its top and bottom edges lie within the picture (edges included); one that
// lies wholly outside, or spans the picture from beyond one edge to beyond the other, does
// not, and then `rect` is empty (0, 0, 0, 0). When it touches, `rect` is the rounded window
// cut to the picture, which may still be empty (a window just at an edge).
struct TFoldWindow {
    TRect rect;
    bool touches = false;
};
TFoldWindow FoldWindow(double x, double y, double width, double height, int pictureWidth,
                       int pictureHeight);

class TFold {
public:
    // No steps: the unused entries of a fixed array of windows.
    TFold() = default;
    TFold(int pictureWidth, int pictureHeight, double x, double y, double width, double height,
          double dx, double dy, int steps)
        : pictureWidth_(pictureWidth), pictureHeight_(pictureHeight), stepsLeft_(steps), x_(x),
          y_(y), width_(width), height_(height), dx_(dx), dy_(dy) {}

    // Runs one step: sets Window() to where the window stands and moves it on. Returns whether
    // steps remain; with none left it returns false and changes nothing.
    bool Step();

    int StepsLeft() const { return stepsLeft_; }
    // The window's origin, after the last step's move.
    double X() const { return x_; }
    double Y() const { return y_; }
    // What the last step uncovers (the same rectangle of the new picture and of the target).
    const TFoldWindow& Window() const { return window_; }

private:
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    int stepsLeft_ = 0;
    double x_ = 0, y_ = 0, width_ = 0, height_ = 0, dx_ = 0, dy_ = 0;
    TFoldWindow window_;
};

// One frame of a set of windows: steps each in order and paints what it uncovers from the new
// picture. True while any window has steps left.
bool StepFolds(TTransThread& thread, std::span<TFold> folds);

// Whether any window still has steps to run.
bool AnyStepsLeft(std::span<const TFold> folds);

} // namespace pictorelle

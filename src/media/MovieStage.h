// Where Flash movies and videos play: the display panel, placed and sized for the movie over
// the background and logo, which appear on every display first.
#pragma once

#include "core/Bitmap32.h"
#include "core/Rect.h"

class QWidget;

namespace pictorelle {

class TShowComposer;
class TShowDisplays;

class TMovieStage {
public:
    TMovieStage(QWidget& panelDisplay, TShowDisplays& displays, const TShowComposer& composer)
        : panel_(panelDisplay), displays_(displays), composer_(composer) {}

    // The panel's place on the main screen for a movie of the given natural size.
    void PlaceMoviePanel(int sizeMode, const TRect& natural);
    // What a movie or video plays over: the background with the logo, on every display.
    void ShowMovieBackground(TBitmap32& frame);

private:
    QWidget& panel_;
    TShowDisplays& displays_;
    const TShowComposer& composer_;
};

} // namespace pictorelle

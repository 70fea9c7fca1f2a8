// TShowDisplays: where the show's pictures appear. It owns the main window's picture control
// (Image32), the window that covers the second monitor when one is in use, and a paint target
// for each. Picture items alternate between the two monitors, the first on the main one; the
// choice is made once per picture (Choose) and everything that draws asks for the chosen
// display or draws on all of them.
#pragma once

#include "core/Bitmap32.h"
#include "show/QtTransitions.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <memory>

class QWidget;

namespace pictorelle {

class TImage32;
class TMonitorWindow;

class TShowDisplays {
public:
    // Creates Image32 as a child of window, filling it.
    explicit TShowDisplays(QWidget& window);
    ~TShowDisplays();
    TShowDisplays(const TShowDisplays&) = delete;
    TShowDisplays& operator=(const TShowDisplays&) = delete;

    TImage32* Image32() const { return image32_; }
    // The second monitor's window; null when none is in use or after Release.
    TMonitorWindow* SecondMonitorWindow() const { return second_.get(); }

    // Covers monitor with a borderless window of the given colour and title, and shows it.
    void CreateSecondMonitorWindow(const QRect& monitor, const QColor& color, const QString& title);
    // Hides the second monitor's window and lets it go once the events already on their way
    // to it (the input that ended the show) have been delivered.
    void ReleaseSecondMonitorWindow();

    // Picks the display for the next picture: alternately the main and the second one while
    // alternate is set (the first choice is the main one), otherwise always the main one.
    void Choose(bool alternate);
    bool PrimaryChosen() const { return primaryChosen_ || !second_; }
    TImage32Target& ChosenTarget();
    TBitmap32& ChosenBitmap();

    // The main display, then the second one when in use: copy the frame and repaint.
    void DrawAll(const TBitmap32& frame);
    void UpdateAll();

private:
    TImage32* image32_;
    std::unique_ptr<TImage32Target> mainTarget_;
    std::unique_ptr<TMonitorWindow> second_;
    std::unique_ptr<TImage32Target> secondTarget_;
    bool primaryChosen_ = false;
};

} // namespace pictorelle

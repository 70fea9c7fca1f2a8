// TShowDisplays: where the show's pictures appear. It owns the main window's picture control
// (Image32), a window over each other monitor, and a paint target for each. While the other
// monitors take pictures, picture items go round the monitors in turn, the first on the main
// one (main, second, third, ..., main); otherwise the other monitors show the show's background
// and every picture goes to the main one. The choice is made once per picture (Choose) and
// everything that draws asks for the chosen display or draws on all of them.
#pragma once

#include "core/Bitmap32.h"
#include "show/QtTransitions.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

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
    // The second monitor's window while the other monitors take pictures; null when they do
    // not, when there is none, or after Release.
    TMonitorWindow* SecondMonitorWindow() const;
    // The windows over the other monitors, in the monitors' order; empty after Release.
    std::vector<TMonitorWindow*> MonitorWindows() const;

    // Covers each of these monitors with a borderless window of the given colour and title,
    // and shows them. With pictures they take turns with the main display and DrawAll reaches
    // them; without, each shows what paintBackground paints on its bitmap, made opaque.
    void CreateMonitorWindows(const std::vector<QRect>& monitors, const QColor& color,
                              const QString& title, bool pictures,
                              const std::function<void(TBitmap32&)>& paintBackground = {});
    // One other monitor that takes pictures.
    void CreateSecondMonitorWindow(const QRect& monitor, const QColor& color, const QString& title);
    // Hides every other monitor's window and lets them go once the events already on their
    // way to them (the input that ended the show) have been delivered.
    void ReleaseSecondMonitorWindow();

    // Picks the display for the next picture: the next one round the monitors while alternate
    // is set and the other monitors take pictures (the first choice is the main one),
    // otherwise always the main one.
    void Choose(bool alternate);
    bool PrimaryChosen() const;
    TImage32* ChosenImage() const;
    TImage32Target& ChosenTarget();
    TBitmap32& ChosenBitmap();

    // The main display, then every other one that takes pictures: copy the frame and repaint.
    void DrawAll(const TBitmap32& frame);
    // Repaints every display.
    void UpdateAll();

private:
    // The chosen other monitor's slot, or -1 for the main display.
    int ChosenOther() const;

    TImage32* image32_;
    std::unique_ptr<TImage32Target> mainTarget_;
    std::vector<std::unique_ptr<TMonitorWindow>> others_;
    // Kept after Release: a transition still winding down may paint through one, and each lets
    // go of its picture control by itself once the window is gone.
    std::vector<std::unique_ptr<TImage32Target>> otherTargets_;
    bool othersTakePictures_ = false;
    int chosen_ = -1; // 0 the main display, k the k-th other monitor; -1 before the first
};

} // namespace pictorelle

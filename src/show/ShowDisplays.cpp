#include "show/ShowDisplays.h"

#include "show/Image32.h"
#include "show/MonitorWindow.h"

#include <QWidget>

namespace pictorelle {

TShowDisplays::TShowDisplays(QWidget& window)
    : image32_(new TImage32(&window)), mainTarget_(std::make_unique<TImage32Target>(image32_)) {
    image32_->setGeometry(window.rect());
}

TShowDisplays::~TShowDisplays() = default;

TMonitorWindow* TShowDisplays::SecondMonitorWindow() const {
    return othersTakePictures_ && !others_.empty() ? others_.front().get() : nullptr;
}

std::vector<TMonitorWindow*> TShowDisplays::MonitorWindows() const {
    std::vector<TMonitorWindow*> windows;
    for (const auto& window : others_)
        windows.push_back(window.get());
    return windows;
}

void TShowDisplays::CreateMonitorWindows(const std::vector<QRect>& monitors, const QColor& color,
                                         const QString& title, bool pictures,
                                         const std::function<void(TBitmap32&)>& paintBackground) {
    othersTakePictures_ = pictures;
    for (const QRect& monitor : monitors) {
        auto window = std::make_unique<TMonitorWindow>(monitor, color);
        window->setWindowTitle(title);
        if (!pictures && paintBackground) {
            TBitmap32& bitmap = window->Image()->Bitmap();
            paintBackground(bitmap);
            // A compositor would show the desktop through whatever the background left clear.
            bitmap.ResetAlpha();
        }
        window->show();
        otherTargets_.push_back(std::make_unique<TImage32Target>(window->Image()));
        others_.push_back(std::move(window));
    }
}

void TShowDisplays::CreateSecondMonitorWindow(const QRect& monitor, const QColor& color,
                                              const QString& title) {
    CreateMonitorWindows({monitor}, color, title, true);
}

void TShowDisplays::ReleaseSecondMonitorWindow() {
    for (auto& window : others_) {
        window->hide();
        window.release()->deleteLater();
    }
    others_.clear();
}

void TShowDisplays::Choose(bool alternate) {
    const int displays = othersTakePictures_ ? 1 + static_cast<int>(others_.size()) : 1;
    chosen_ = alternate ? (chosen_ + 1) % displays : 0;
}

int TShowDisplays::ChosenOther() const {
    if (!othersTakePictures_ || chosen_ <= 0 || chosen_ > static_cast<int>(others_.size()))
        return -1;
    return chosen_ - 1;
}

bool TShowDisplays::PrimaryChosen() const {
    return ChosenOther() < 0;
}

TImage32* TShowDisplays::ChosenImage() const {
    const int other = ChosenOther();
    return other < 0 ? image32_ : others_[static_cast<size_t>(other)]->Image();
}

TImage32Target& TShowDisplays::ChosenTarget() {
    const int other = ChosenOther();
    // The targets of released windows stay at the front of the list; the live ones are last.
    const size_t first = otherTargets_.size() - others_.size();
    return other < 0 ? *mainTarget_ : *otherTargets_[first + static_cast<size_t>(other)];
}

TBitmap32& TShowDisplays::ChosenBitmap() {
    return ChosenImage()->Bitmap();
}

void TShowDisplays::DrawAll(const TBitmap32& frame) {
    image32_->Bitmap().Draw(0, 0, frame);
    image32_->update();
    if (!othersTakePictures_) return;
    for (const auto& window : others_) {
        window->Image()->Bitmap().Draw(0, 0, frame);
        window->Image()->update();
    }
}

void TShowDisplays::UpdateAll() {
    image32_->update();
    for (const auto& window : others_)
        window->Image()->update();
}

} // namespace pictorelle

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

void TShowDisplays::CreateSecondMonitorWindow(const QRect& monitor, const QColor& color,
                                              const QString& title) {
    second_ = std::make_unique<TMonitorWindow>(monitor, color);
    second_->setWindowTitle(title);
    second_->show();
    secondTarget_ = std::make_unique<TImage32Target>(second_->Image());
}

void TShowDisplays::ReleaseSecondMonitorWindow() {
    if (!second_) return;
    second_->hide();
    second_.release()->deleteLater();
    // The target stays: a transition still winding down may paint through it, and it lets go
    // of the picture control by itself once the window is gone.
}

void TShowDisplays::Choose(bool alternate) {
    primaryChosen_ = alternate ? !primaryChosen_ : true;
}

TImage32Target& TShowDisplays::ChosenTarget() {
    return PrimaryChosen() ? *mainTarget_ : *secondTarget_;
}

TBitmap32& TShowDisplays::ChosenBitmap() {
    return PrimaryChosen() ? image32_->Bitmap() : second_->Image()->Bitmap();
}

void TShowDisplays::DrawAll(const TBitmap32& frame) {
    image32_->Bitmap().Draw(0, 0, frame);
    image32_->update();
    if (!second_) return;
    second_->Image()->Bitmap().Draw(0, 0, frame);
    second_->Image()->update();
}

void TShowDisplays::UpdateAll() {
    image32_->update();
    if (second_) second_->Image()->update();
}

} // namespace pictorelle

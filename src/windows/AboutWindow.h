// The About dialog of the options panel: the show's icon, name, the author's text and link.
#pragma once

#include "package/PackageLayout.h"

#include <QDialog>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

namespace pictorelle {

class TAboutWindow : public QDialog {
public:
    // openAddress opens the author's link; it is given the address as stored.
    TAboutWindow(const StringBlock& strings, std::function<void(const QString&)> openAddress,
                 QWidget* parent = nullptr);

    QLabel* imgIcon;
    QLabel* Title;
    QScrollArea* ScrollBox1;
    QLabel* Text;
    QLabel* Link;
    QFrame* Bevel1;
    QPushButton* btnClose;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void LinkClick();

    const StringBlock& strings_;
    std::function<void(const QString&)> openAddress_;
};

// The program's own icon, drawn here so every window can share it.
QImage ProgramIcon(int size);

} // namespace pictorelle

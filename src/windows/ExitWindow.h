// The exit banner: the package's last picture, shown when the full-screen show ends, in a
// borderless window of exactly its size in the middle of the screen, with a close glyph in its
// top-right corner. A click on the picture opens the banner's address (when it has one) and
// closes the window; the glyph, Esc and the window system's close request close it too. The
// window is modal: whoever shows it gets control back only once it has closed.
#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>
#include <functional>
#include <string>
#include <string_view>

class QLabel;

namespace pictorelle {

struct Package;

inline constexpr int kCloseGlyphSize = 21;
inline constexpr int kCloseGlyphTop = 8;
inline constexpr int kCloseGlyphRight = 9; // from the right edge to the glyph's right side

// Where the window of a banner of pictureWidth x pictureHeight goes on screen: its size, and
// left and top at half the room that is left, rounded toward zero (negative for a banner
// larger than the screen).
QRect ExitBannerGeometry(const QRect& screen, int pictureWidth, int pictureHeight);
// The close glyph inside a window of the given width.
QRect CloseGlyphRect(int windowWidth);

class TExitWindow : public QDialog {
public:
    // linkAddress is package text (UTF-8), empty for no link; a click on the banner
    // hands it to openAddress.
    TExitWindow(std::string linkAddress, std::function<void(std::string_view)> openAddress);

    // Shows picture at its own size; the window takes the size and is placed on screen by
    // ExitBannerGeometry.
    void LoadBanner(const QImage& picture, const QRect& screen);

    void imgBannerClick();
    void CloseClick();

    QWidget* Shape1;
    QLabel* imgBanner;
    QLabel* imgClose;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::string linkAddress_;
    std::function<void(std::string_view)> openAddress_;
    // The control a left button went down on: a click is a press and a release on the same
    // control, so the release of the click that ended the show cannot click the banner.
    QObject* pressedOn_ = nullptr;
};

// Shows the package's exit banner modally over screen and returns once it has closed. Does
// nothing when the package has none; a banner that cannot be extracted or decoded is passed
// over with one line on standard error. The banner's address is opened by OpenAddress
// (web and mail addresses only).
void ShowExitBanner(const std::string& programFile, const Package& package, const QRect& screen);

} // namespace pictorelle

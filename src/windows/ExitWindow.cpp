#include "windows/ExitWindow.h"

#include "imaging/Decode.h"
#include "package/ExtractEntry.h"
#include "package/PackageReader.h"
#include "package/TempFolder.h"
#include "package/Translation.h"
#include "platform/OpenAddress.h"
#include "platform/Session.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <new>

namespace pictorelle {
namespace {

// The size the window has until a banner gives it its own.
constexpr int kDesignWidth = 342;
constexpr int kDesignHeight = 292;

QString FromPackageText(const std::string& text) {
    return QString::fromStdString(text);
}

// White with a black one-pixel outline: what a transparent banner shows through.
class OutlinedFill : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// A close mark on a light square, with a transparent edge so that it sits on any banner.
QPixmap CloseGlyph() {
    QImage glyph(kCloseGlyphSize, kCloseGlyphSize, QImage::Format_ARGB32);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(QColor(0xF0, 0xF0, 0xF0));
    p.drawRoundedRect(QRectF(0.5, 0.5, kCloseGlyphSize - 1, kCloseGlyphSize - 1), 3, 3);
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(6.5, 6.5), QPointF(14.5, 14.5));
    p.drawLine(QPointF(14.5, 6.5), QPointF(6.5, 14.5));
    return QPixmap::fromImage(glyph);
}

QImage ToImage(const TBitmap32& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                  bitmap.BytesPerLine(), QImage::Format_ARGB32)
        .copy();
}

} // namespace

QRect ExitBannerGeometry(const QRect& screen, int pictureWidth, int pictureHeight) {
    // C++ division rounds toward zero, as the placement wants for a banner larger than the
    // screen.
    return QRect(screen.left() + (screen.width() - pictureWidth) / 2,
                 screen.top() + (screen.height() - pictureHeight) / 2, pictureWidth, pictureHeight);
}

QRect CloseGlyphRect(int windowWidth) {
    return QRect(windowWidth - kCloseGlyphRight - kCloseGlyphSize, kCloseGlyphTop, kCloseGlyphSize,
                 kCloseGlyphSize);
}

TExitWindow::TExitWindow(std::string linkAddress, std::function<void(std::string_view)> openAddress)
    : QDialog(nullptr), linkAddress_(std::move(linkAddress)), openAddress_(std::move(openAddress)) {
    setObjectName("ExitWindow");
    // No frame from a window manager, and none needed: without one the window must still come
    // up above the (closing) show and take the input, so it bypasses the manager and grabs
    // keyboard and pointer while shown, as the show's own window does.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::X11BypassWindowManagerHint);
    setModal(true);
    resize(kDesignWidth, kDesignHeight);

    Shape1 = new OutlinedFill(this);
    Shape1->setObjectName("Shape1");
    Shape1->setGeometry(rect());

    imgBanner = new QLabel(this);
    imgBanner->setObjectName("imgBanner");
    imgBanner->setGeometry(rect());
    imgBanner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    imgBanner->setAttribute(Qt::WA_TranslucentBackground);
    imgBanner->installEventFilter(this);

    imgClose = new QLabel(this);
    imgClose->setObjectName("imgClose");
    imgClose->setGeometry(CloseGlyphRect(width()));
    imgClose->setPixmap(CloseGlyph());
    imgClose->setCursor(Qt::PointingHandCursor);
    imgClose->setAttribute(Qt::WA_TranslucentBackground);
    imgClose->installEventFilter(this);

    setWindowTitle(FromPackageText(Translate("Exit Banner")));
    imgClose->setToolTip(FromPackageText(Translate("Close")));
    DisplaySession().HoldInput(*this);
}

void TExitWindow::LoadBanner(const QImage& picture, const QRect& screen) {
    imgBanner->setPixmap(QPixmap::fromImage(picture));
    DisplaySession().PlaceCentred(
        *this, ExitBannerGeometry(screen, picture.width(), picture.height()), screen);
    if (!linkAddress_.empty()) imgBanner->setCursor(Qt::PointingHandCursor);
}

void TExitWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    Shape1->setGeometry(rect());
    imgBanner->setGeometry(rect());
    imgClose->setGeometry(CloseGlyphRect(width()));
}

bool TExitWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != imgBanner && watched != imgClose) return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return QDialog::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    if (type == QEvent::MouseButtonPress) {
        pressedOn_ = watched;
        return true;
    }
    const bool clicked = pressedOn_ == watched && static_cast<QWidget*>(watched)->rect().contains(
                                                      mouse->position().toPoint());
    pressedOn_ = nullptr;
    if (!clicked) return true;
    if (watched == imgClose)
        CloseClick();
    else
        imgBannerClick();
    return true;
}

void TExitWindow::keyPressEvent(QKeyEvent* event) {
    // Holding down the key that ended the show must not close the banner at once.
    if (event->isAutoRepeat()) return;
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TExitWindow::imgBannerClick() {
    if (!linkAddress_.empty() && openAddress_) openAddress_(linkAddress_);
    close();
}

void TExitWindow::CloseClick() {
    close();
}

void ShowExitBanner(const std::string& programFile, const Package& package, const QRect& screen) {
    const PackageHeader& header = package.Header;
    if (header.ExitBannerStoredSize <= 0) return;
    QImage picture;
    try {
        const TempFile file(TempFilePath("SSEB", header.ExitBannerExt));
        ExtractEntry(programFile, file.Path(), true, package.SectionStart(SectionId::ExitBanner),
                     header.ExitBannerStoredSize, header.ExitBannerDataSize);
        picture = ToImage(DecodePicture(file.Path()).bitmap);
    } catch (const PictorelleError& e) {
        std::fprintf(stderr, "Skipping the exit banner: %s\n", e.what());
        return;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Skipping the exit banner: not enough memory for its picture\n");
        return;
    }
    TExitWindow window(package.Strings[StringId::ExitBannerLinkAddress],
                       [](std::string_view address) { OpenAddress(address); });
    window.LoadBanner(picture, screen);
    window.exec();
}

} // namespace pictorelle

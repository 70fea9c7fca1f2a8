#include "windows/AboutWindow.h"

#include "package/Translation.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

namespace pictorelle {
namespace {

// A package's text as the user wrote it: Windows line breaks become line breaks.
QString FromPackageText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

} // namespace

QImage ProgramIcon(int size) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(0x1D, 0x35, 0x57), 2));
    p.setBrush(QColor(0xF1, 0xFA, 0xEE));
    p.drawRoundedRect(QRectF(2, 4, 28, 24), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xE6, 0x39, 0x46));
    p.drawEllipse(QPointF(22, 11), 3.5, 3.5);
    p.setBrush(QColor(0x45, 0x7B, 0x9D));
    p.drawPolygon(QPolygonF({QPointF(4, 26), QPointF(13, 13), QPointF(21, 26)}));
    p.setBrush(QColor(0x1D, 0x35, 0x57));
    p.drawPolygon(QPolygonF({QPointF(14, 26), QPointF(21, 17), QPointF(28, 26)}));
    return icon;
}

TAboutWindow::TAboutWindow(const StringBlock& strings,
                           std::function<void(const QString&)> openAddress, QWidget* parent)
    : QDialog(parent), strings_(strings), openAddress_(std::move(openAddress)) {
    setObjectName("AboutWindow");
    setModal(true);
    setFixedSize(354, 211);
    setFont(QFont("Tahoma", 8));

    imgIcon = new QLabel(this);
    imgIcon->setObjectName("imgIcon");
    imgIcon->setGeometry(16, 16, 32, 32);
    imgIcon->setPixmap(QPixmap::fromImage(ProgramIcon(32)));

    Title = new QLabel("Screen Saver", this);
    Title->setObjectName("Title");
    QFont titleFont("Tahoma");
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    Title->setFont(titleFont);
    Title->setGeometry(64, 16, 281, 24);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setGeometry(64, 48, 281, 85);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setWidgetResizable(true);
    Text = new QLabel("A slide show of pictures and music.");
    Text->setObjectName("Text");
    Text->setWordWrap(true);
    Text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setWidget(Text);

    Link = new QLabel(this);
    Link->setObjectName("Link");
    Link->setGeometry(64, 136, 193, 16);
    Link->setCursor(Qt::PointingHandCursor);
    Link->setStyleSheet("color: blue; text-decoration: underline;");
    Link->installEventFilter(this);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    // The top line of a bevel: one dark line at 164.
    Bevel1->setGeometry(8, 164, 337, 1);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Plain);
    Bevel1->setLineWidth(1);
    Bevel1->setStyleSheet(QStringLiteral("color: palette(mid);"));

    btnClose = new QPushButton(this);
    btnClose->setObjectName("btnClose");
    btnClose->setGeometry(264, 176, 82, 25);
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    // Texts from the package are shown as they are, never as markup.
    for (QLabel* label : {Title, Text, Link})
        label->setTextFormat(Qt::PlainText);
    setWindowTitle(FromPackageText(Translate("About")));
    btnClose->setText(FromPackageText(Translate("Close")));
}

void TAboutWindow::showEvent(QShowEvent* event) {
    FormShow();
    if (const QScreen* screen = this->screen()) move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TAboutWindow::FormShow() {
    const auto& title = strings_[StringId::SaverTitle];
    const auto& about = strings_[StringId::AboutText];
    const auto& website = strings_[StringId::WebsiteAddress];
    if (!title.empty()) Title->setText(FromPackageText(title));
    if (!about.empty()) Text->setText(FromPackageText(about));
    Link->setVisible(!website.empty());
    if (!website.empty()) Link->setText(FromPackageText(website));
}

bool TAboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Link && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LinkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutWindow::LinkClick() {
    if (openAddress_) openAddress_(FromPackageText(strings_[StringId::WebsiteAddress]));
}

} // namespace pictorelle

#include "imaging/Label.h"

#include "core/IntMath.h"
#include "imaging/Placement.h"
#include "package/PackageLayout.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace pictorelle {

namespace {

constexpr int kDefaultPointSize = 8;
// Beyond this a caption could not fit any screen; it only costs glyph rendering time.
constexpr int kMaxPixelSize = 2000;

// Font sizes are points on a 96-dot-per-inch screen.
int pixelSize(int points) {
    if (points <= 0) points = kDefaultPointSize;
    return std::clamp(MulDiv(points, 96, 72), 1, kMaxPixelSize);
}

QFont labelFont(const TLabelStyle& s) {
    QFont font(s.fontName.empty() ? QStringLiteral("Verdana") : QString::fromStdString(s.fontName));
    font.setPixelSize(pixelSize(s.fontSize));
    font.setUnderline((s.style & kStyleUnderline) != 0);
    font.setBold((s.style & kStyleBold) != 0);
    font.setItalic((s.style & kStyleItalic) != 0);
    font.setStrikeOut((s.style & kStyleStrikeOut) != 0);
    font.setStyleStrategy(s.smooth ? QFont::PreferAntialias : QFont::NoAntialias);
    return font;
}

// Lines broken at CR LF, CR or LF; a line break at the very end starts no new line.
QStringList splitLines(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normal.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = normal.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

QColor opaque(uint32_t pixel) {
    return QColor::fromRgb(static_cast<QRgb>(pixel | 0xFF000000u));
}

// Draws onto bitmap, which lies at (left, top) in a frame of frameSize.
void drawLabel(TBitmap32& bitmap, TSize frameSize, int left, int top, std::string_view text,
               const TLabelStyle& s) {
    if (bitmap.Empty() || text.empty()) return;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;

    // The bitmap's memory is laid out as a Format_ARGB32 image: draw on it in place.
    QImage image(reinterpret_cast<uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                 bitmap.BytesPerLine(), QImage::Format_ARGB32);
    const QFont font = labelFont(s);
    const QFontMetrics metrics(font, &image);
    const QStringList lines =
        splitLines(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    const int lineHeight = metrics.height(); // the height "A" measures: one line of the font
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int height = lineHeight * static_cast<int>(lines.size());

    const TRect r = PlaceOverlay(frameSize.width, frameSize.height, width, height, s.code,
                                 s.marginX, s.marginY)
                        .translated(-left, -top);
    if (!s.transparent)
        bitmap.FillRect({r.left - 5, r.top - 5, r.right + 5, r.bottom + 5},
                        ColorToPixel(s.backColor));

    QPainter painter(&image);
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing, s.smooth);
    const QColor textColour = opaque(ColorToPixel(s.textColor));
    const QColor black(0, 0, 0);
    auto drawLine = [&](int k, int dx, const QColor& colour) {
        painter.setPen(colour);
        painter.drawText(r.left + dx, r.top + dx + k * lineHeight + metrics.ascent(), lines[k]);
    };
    const int count = static_cast<int>(lines.size());
    if (s.smooth) {
        for (int k = 0; k < count; ++k) {
            if (s.shadow) drawLine(k, 1, black);
            drawLine(k, 0, textColour);
        }
        return;
    }
    if (s.shadow)
        for (int k = 0; k < count; ++k)
            drawLine(k, 1, black);
    for (int k = 0; k < count; ++k)
        drawLine(k, 0, textColour);
}

TLabelStyle captionStyle(const ItemRecord& item) {
    TLabelStyle s;
    s.textColor = item.CaptionColor;
    s.backColor = item.CaptionBackColor;
    s.fontName = item.CaptionFont;
    s.fontSize = item.CaptionSize;
    s.style = item.CaptionStyle;
    s.code = item.CaptionPlacement;
    s.marginX = item.CaptionX;
    s.marginY = item.CaptionY;
    s.transparent = item.CaptionTransparent != 0;
    s.smooth = item.CaptionSmooth != 0;
    s.shadow = item.CaptionShadow != 0;
    return s;
}

} // namespace

void DrawLabel(TBitmap32& bitmap, std::string_view text, const TLabelStyle& s) {
    drawLabel(bitmap, {bitmap.Width(), bitmap.Height()}, 0, 0, text, s);
}

void DrawCaption(const ItemRecord& item, TBitmap32& frame) {
    if (!item.CaptionText.empty()) DrawLabel(frame, item.CaptionText, captionStyle(item));
}

void DrawCaption(const ItemRecord& item, TFramePart& part, TSize frameSize) {
    if (!item.CaptionText.empty())
        drawLabel(part.bitmap, frameSize, part.left, part.top, item.CaptionText,
                  captionStyle(item));
}

} // namespace pictorelle

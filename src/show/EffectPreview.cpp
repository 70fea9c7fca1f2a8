#include "show/EffectPreview.h"

#include "show/Image32.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTimer>
#include <cstring>

namespace pictorelle {
namespace {

constexpr int kPictureWidth = 119;
constexpr int kPictureHeight = 95;
constexpr int kPreviewSteps = 32;
constexpr int kPreviewFrameDelay = 10;
constexpr int kPreviewTimerMs = 200;

// The two pictures the effect preview moves between: a warm sunset and a cool grid.
TBitmap32 SamplePicture(bool second) {
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_ARGB32);
    QPainter p(&image);
    if (!second) {
        QLinearGradient sky(0, 0, 0, 95);
        sky.setColorAt(0, QColor(0xF7, 0x7F, 0x00));
        sky.setColorAt(1, QColor(0x7B, 0x1E, 0x4B));
        p.fillRect(image.rect(), sky);
        p.setBrush(QColor(0xFC, 0xD3, 0x4D));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(60, 62), 24, 24);
        p.fillRect(0, 70, 119, 25, QColor(0x2B, 0x10, 0x3A));
    } else {
        p.fillRect(image.rect(), QColor(0x1D, 0x35, 0x57));
        p.setPen(QPen(QColor(0xA8, 0xDA, 0xDC), 2));
        for (int x = 8; x < 119; x += 16)
            p.drawLine(x, 0, x, 95);
        for (int y = 8; y < 95; y += 16)
            p.drawLine(0, y, 119, y);
        p.setBrush(QColor(0xE6, 0x39, 0x46));
        p.drawRect(40, 28, 38, 38);
    }
    p.end();
    TBitmap32 bitmap(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.ScanLine(y), image.constScanLine(y),
                    static_cast<size_t>(bitmap.BytesPerLine()));
    return bitmap;
}

} // namespace

TEffectPreview::TEffectPreview(QWidget& frame, std::function<int()> highlightedEffect)
    : ImgPreviewTrans(new TImage32(&frame)), tmrPreviewTrans(new QTimer(this)),
      ImgPT1(SamplePicture(false)), ImgPT2(SamplePicture(true)),
      highlightedEffect_(std::move(highlightedEffect)),
      target_(std::make_unique<TImage32Target>(ImgPreviewTrans)) {
    ImgPreviewTrans->setObjectName(QStringLiteral("ImgPreviewTrans"));
    ImgPreviewTrans->setGeometry(2, 2, kPictureWidth, kPictureHeight);
    tmrPreviewTrans->setObjectName(QStringLiteral("tmrPreviewTrans"));
    tmrPreviewTrans->setInterval(kPreviewTimerMs);
    connect(tmrPreviewTrans, &QTimer::timeout, this, &TEffectPreview::tmrPreviewTransTimer);
}

TEffectPreview::~TEffectPreview() {
    tmrPreviewTrans->stop();
    StopTransitionAndWait(PreviewTransition, mainThread_);
}

void TEffectPreview::Start() {
    ImgPreviewTrans->Bitmap().Assign(ImgPT2);
    ImgPreviewTrans->update();
    tmrPreviewTrans->start();
}

void TEffectPreview::EffectHighlighted() {
    PreviewTransition.StopRequested = true;
    PreviewPending = true;
}

void TEffectPreview::tmrPreviewTransTimer() {
    if (PreviewTransition.TransitionRunning || !PreviewPending) return;
    const int effect = highlightedEffect_();
    if (effect <= 0) return;
    PreviewPending = false;
    StartTransition(PreviewTransition, mainThread_, *target_, PreviewToggle ? ImgPT2 : ImgPT1,
                    effect, false, kPreviewSteps, kPreviewFrameDelay);
    PreviewToggle = !PreviewToggle;
}

} // namespace pictorelle

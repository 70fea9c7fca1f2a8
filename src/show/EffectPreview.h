// TEffectPreview: the options panel's live preview of the highlighted effect. A small picture
// control moves between two sample pictures through the effect each time the user highlights
// another one in the effect list; a timer starts the next preview once the last one is over.
#pragma once

#include "core/Bitmap32.h"
#include "show/QtTransitions.h"
#include "transitions/TransThread.h"

#include <QObject>
#include <functional>
#include <memory>

class QTimer;
class QWidget;

namespace pictorelle {

class TImage32;

class TEffectPreview : public QObject {
    Q_OBJECT
public:
    // The preview picture is placed inside frame; highlightedEffect gives the effect to show
    // (1..120), or 0 while none is highlighted.
    TEffectPreview(QWidget& frame, std::function<int()> highlightedEffect);
    // A running preview is stopped and waited for.
    ~TEffectPreview() override;

    // Shows the second sample picture and starts the preview timer.
    void Start();
    // Another effect was highlighted: the running preview stops and the next tick plays it.
    void EffectHighlighted();

    // Named controls and state, as the tests reach them.
    TImage32* ImgPreviewTrans;
    QTimer* tmrPreviewTrans;
    bool PreviewPending = false;
    bool PreviewToggle = false; // the next preview ends on the second picture
    TTransitionState PreviewTransition;
    // The two sample pictures the preview alternates between.
    TBitmap32 ImgPT1;
    TBitmap32 ImgPT2;

private:
    void tmrPreviewTransTimer();

    std::function<int()> highlightedEffect_;
    TQtMainThread mainThread_;
    std::unique_ptr<TImage32Target> target_;
};

} // namespace pictorelle

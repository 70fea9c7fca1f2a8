#include "media/MovieStage.h"

#include "imaging/Placement.h"
#include "imaging/ShowComposer.h"
#include "platform/Monitors.h"
#include "show/ShowDisplays.h"

#include <QWidget>

namespace pictorelle {

void TMovieStage::PlaceMoviePanel(int sizeMode, const TRect& natural) {
    const QRect screen = MonitorBounds(0);
    const TRect r = pictorelle::PlaceMoviePanel(sizeMode, natural, screen.width(), screen.height());
    panel_.setGeometry(r.left, r.top, r.width(), r.height());
}

void TMovieStage::ShowMovieBackground(TBitmap32& frame) {
    composer_.DrawMovieBackground(frame);
    displays_.DrawAll(frame);
}

} // namespace pictorelle

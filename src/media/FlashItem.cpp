#include "media/FlashItem.h"

#include "media/ShowMedia.h"
#include "media/swf/MovieFrameSize.h"
#include "package/PackageReader.h"
#include "package/SaverSettings.h"
#include "show/ShowDisplays.h"

#include <QWidget>
#include <cstdio>

namespace pictorelle {
namespace {

constexpr int kFlashTimerMs = 100;
// A movie that plays until its end, or without end watch, keeps the screen this long.
constexpr int32_t kMovieDaySeconds = 86400;
constexpr int32_t kWithoutEndWatch = -2;

} // namespace

TFlashItem::TFlashItem(QWidget& panelDisplay, TShowDisplays& displays,
                       const TShowComposer& composer, TShowMediaState& state, Package& package,
                       const SaverSettings& settings, TNextItem nextItem)
    : panel_(panelDisplay), displays_(displays), stage_(panelDisplay, displays, composer),
      state_(state), package_(package), settings_(settings), nextItem_(std::move(nextItem)) {
    FlashTimer_.setInterval(kFlashTimerMs);
    QObject::connect(&FlashTimer_, &QTimer::timeout, [this] { FlashTimerTimer(); });
}

bool TFlashItem::ShowFlashItem(int index, const std::string& path, int sizeMode, TBitmap32& frame) {
    stage_.ShowMovieBackground(frame);
    // The previous control goes and a new one fills the panel, without its menu.
    if (state_.FlashPlayer) state_.FlashPlayer->Stop();
    state_.FlashPlayer.reset();
    try {
        state_.FlashPlayer = CreateFlashPlayer(panel_);
    } catch (const FlashPlayerUnavailable& e) {
        if (ended_) return false; // the show closed while the web engine started
        std::fprintf(stderr, "Skipping item %d: %s\n", index, e.what());
        return false;
    }
    // The first movie starts the web engine and waits for it with the events running; the
    // show may have ended meanwhile, and its items with it.
    if (ended_) {
        state_.FlashPlayer.reset();
        StopFlashPlayers();
        return false;
    }
    TShockWaveFlashEx& player = *state_.FlashPlayer;
    player.SetMenu(false);
    player.Widget()->show();
    player.SetMovie(QString::fromStdString(path));
    if (settings_.ExitMouseMove) panel_.setEnabled(false);
    TMovieFrameSize size;
    try {
        size = ReadMovieFrameSize(player.Movie().toStdString());
    } catch (const MovieError& e) {
        std::fprintf(stderr, "Skipping item %d: %s\n", index, e.what());
        player.SetMovie(QStringLiteral("none"));
        player.Widget()->hide();
        state_.FlashPlaying = false;
        return false;
    }
    stage_.PlaceMoviePanel(sizeMode, TRect::fromXYWH(0, 0, size.width, size.height));
    player.Widget()->setGeometry(0, 0, panel_.width(), panel_.height());
    panel_.show();
    file_ = TempFile(path); // the previous movie's file goes, unless it was the same name
    state_.FlashPlaying = true;
    ItemRecord& item = package_.Items[static_cast<size_t>(index)];
    if (item.ItemSeconds != kWithoutEndWatch) FlashTimer_.start();
    if (item.ItemSeconds < 0) item.ItemSeconds = kMovieDaySeconds;
    player.Play();
    return true;
}

void TFlashItem::CloseAndStopFlash() {
    if (TShockWaveFlashEx* player = state_.FlashPlayer.get()) {
        player->Stop();
        player->SetPlaying(false);
        if (QWidget* view = player->Widget()) view->hide();
        panel_.hide();
        player->SetMovie(QStringLiteral("none"));
    }
    state_.FlashPlaying = false;
    FlashTimer_.stop();
    file_ = TempFile();
}

void TFlashItem::FlashTimerTimer() {
    if (!state_.FlashPlaying || !state_.FlashPlayer || state_.FlashPlayer->IsPlaying()) return;
    nextItem_();
    displays_.UpdateAll();
}

void TFlashItem::StopFlash() {
    ended_ = true;
    if (state_.FlashPlaying) CloseAndStopFlash();
    FlashTimer_.stop();
    state_.FlashPlayer.reset();
    StopFlashPlayers();
}

} // namespace pictorelle

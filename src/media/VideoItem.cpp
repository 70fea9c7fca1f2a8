#include "media/VideoItem.h"

#include "imaging/PictureItem.h"
#include "media/ShowMedia.h"
#include "package/PackageReader.h"
#include "platform/X11.h"

#include <QWidget>
#include <cstdio>
#include <filesystem>

namespace pictorelle {
namespace {

// mpv closes a released output within a few hundredths of a second; looked at for 3 s at most.
constexpr int kOutputLookMs = 20;
constexpr int kOutputLooks = 150;

} // namespace

TVideoItem::TVideoItem(QWidget& panelDisplay, TShowDisplays& displays,
                       const TShowComposer& composer, TShowMediaState& state,
                       const Package& package, TNextItem nextItem)
    : panel_(panelDisplay), stage_(panelDisplay, displays, composer), state_(state),
      package_(package), nextItem_(std::move(nextItem)) {
    outputWatch_.setInterval(kOutputLookMs);
    QObject::connect(&outputWatch_, &QTimer::timeout, [this] { WatchOutput(); });
}

TVideoItem::~TVideoItem() {
    if (MPlay) MPlay->OnNotify = nullptr;
}

bool TVideoItem::ShowVideoItem(int index, const std::string& path, int sizeMode, TBitmap32& frame) {
    stage_.ShowMovieBackground(frame);
    // Nothing was extracted (the entry was refused): no player is made just to fail.
    std::error_code missing;
    if (!MPlay && !std::filesystem::is_regular_file(path, missing)) return false;
    if (!MPlay) {
        // mpv draws into the panel's own native window, made here once for the whole show.
        // Its output maps its own window only while the panel is on screen, so the show's
        // window comes first (a show may start with a video).
        QWidget* window = panel_.window();
        if (!window->isVisible()) window->show();
        MPlay = std::make_unique<TMediaPlayer>(panel_);
        MPlay->OnNotify = [this](TNotifyValue value) { MPlayNotify(value); };
    }
    // The panel stays the display window for good: mpv's output lives in it between videos.
    MPlay->SetNotify(false);
    MPlay->Close();
    MPlay->SetFileName(path);
    // mpv maps its output only into a panel that is on screen: one pixel in the corner until
    // the video's size gives the panel its place.
    panel_.setGeometry(0, 0, 1, 1);
    panel_.show();
    // A round trip to the X server: the panel is mapped before mpv looks at it.
    X11WindowExists(static_cast<uint32_t>(panel_.winId()));
    if (!MPlay->Open()) {
        // A video that was still on screen (Next was pressed during it) has been closed: the
        // show must not wait for its end any more.
        MPlay->ReleaseVideoOutput();
        panel_.hide();
        state_.VideoPlaying = false;
        file_ = TempFile();
        return false;
    }
    file_ = TempFile(path); // the previous video's file goes, unless it was the same name
    index_ = index;
    panel_.setEnabled(false);
    const QRect natural = MPlay->DisplayRect();
    stage_.PlaceMoviePanel(
        sizeMode, TRect::fromXYWH(natural.x(), natural.y(), natural.width(), natural.height()));
    MPlay->SetDisplay(&panel_);
    MPlay->SetDisplayRect(panel_.rect());
    // The show's Mute setting is about its music and enter sounds; videos have their own.
    if (package_.Header.MuteVideo) MPlay->SetVolume(0);
    MPlay->Play();
    panel_.show();
    MPlay->SetNotify(true);
    state_.VideoPlaying = true;
    return true;
}

void TVideoItem::MPlayNotify(TNotifyValue value) {
    if (!MPlay) return;
    if (value == TNotifyValue::Failed && state_.VideoPlaying) {
        // mpv opened the file but could not play it through: pass it over like a broken
        // picture rather than wait for an end that never comes.
        const auto& items = package_.Items;
        const std::string ext = index_ >= 0 && static_cast<size_t>(index_) < items.size()
                                    ? items[static_cast<size_t>(index_)].Ext
                                    : "";
        std::fprintf(stderr, "Skipping %s: the video is damaged\n", ItemLabel(index_, ext).c_str());
        MPlay->SetNotify(false);
        EndVideo();
        nextItem_(false);
        return;
    }
    if (value != TNotifyValue::Successful) return;
    MPlay->SetNotify(false);
    if (!state_.VideoPlaying) {
        MPlay->Close();
        return;
    }
    if (package_.Items.size() == 1) {
        MPlay->Rewind();
        MPlay->SetNotify(true);
        MPlay->Play();
        return;
    }
    EndVideo();
    nextItem_(true);
}

void TVideoItem::CloseAndStopVideo() {
    if (!MPlay || !state_.VideoPlaying) return;
    MPlay->SetNotify(false);
    EndVideo();
}

void TVideoItem::EndVideo() {
    // mpv's window stays in the panel otherwise, and a movie shown there later is under it.
    // Released before the file stops: mpv decides to keep or close its output as it stops.
    MPlay->ReleaseVideoOutput();
    MPlay->Close();
    panel_.hide();
    file_ = TempFile();
    state_.VideoPlaying = false;
    // What takes the panel next may draw before mpv's window has gone; the panel is drawn
    // again once it has, or it keeps the black the window left.
    outputWatch_.start();
}

void TVideoItem::WatchOutput() {
    if (MPlay && MPlay->VideoOutputOpen() && ++outputLooks_ < kOutputLooks) return;
    outputWatch_.stop();
    outputLooks_ = 0;
    panel_.repaint();
}

void TVideoItem::StopVideo() {
    if (!MPlay) return;
    MPlay->SetNotify(false);
    EndVideo();
    // mpv's output must be gone before the window it draws into: the show's window closes next.
    MPlay.reset();
}

} // namespace pictorelle

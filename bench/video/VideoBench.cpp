// The video path's figures: plays one clip through the show's video player, filling a window
// that covers the screen, and prints the processor use of this process while it played and
// the frames the video output dropped. Run it on the X server to measure (Xvfb for the plain
// x11 output):  pictorelle-video-bench CLIP
#include "media/MediaPlayer.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

using namespace pictorelle;

namespace {

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: pictorelle-video-bench CLIP\n");
        return 2;
    }
    QWidget window;
    window.setWindowFlags(Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    window.setGeometry(QApplication::primaryScreen()->geometry());
    window.show();
    TMediaPlayer player(window);
    player.SetFileName(argv[1]);
    if (!player.Open()) {
        std::fprintf(stderr, "the clip cannot be opened\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const double startCpu = ProcessorSeconds();
    int64_t dropped = -1;
    player.OnNotify = [&](TNotifyValue value) {
        dropped = player.DroppedFrames();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = ProcessorSeconds() - startCpu;
        std::printf("played %.1f s (%s), %.1f %% of one core, %lld frames dropped\n", wall,
                    value == TNotifyValue::Successful ? "to its end" : "not to its end",
                    100.0 * cpu / wall, static_cast<long long>(dropped));
        app.quit();
    };
    player.Play();
    player.SetNotify(true);
    return app.exec();
}

// pictorelle-onscreen: plays one transition on the X server in a borderless window covering
// WxH, through the show's own picture control (TImage32), paint target and user-interface
// thread hand-over, with the show's frame delay, and reports how long it took until the last
// frame had reached the server, against its nominal length (frames x frame delay).
//   pictorelle-onscreen --effect N [--size WxH] [--speed S | --steps S] [--repeat R]
#include "show/Image32.h"
#include "show/QtTransitions.h"
#include "transitions/OffscreenRun.h"
#include "transitions/TransThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPalette>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace pictorelle;

constexpr int kFrameDelay = 9; // the show's frame delay

constexpr const char* kUsage =
    "usage: pictorelle-onscreen --effect N [--size WxH] [--speed S | --steps S] [--repeat R]\n";

struct Options {
    int effect = 115;
    int width = 1920, height = 1080;
    int speed = 4;
    int steps = 0; // 0: from the speed, as the show does
    int repeat = 3;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--effect" && more) o.effect = std::atoi(argv[++i]);
        else if (a == "--speed" && more) o.speed = std::atoi(argv[++i]);
        else if (a == "--steps" && more) o.steps = std::atoi(argv[++i]);
        else if (a == "--repeat" && more) o.repeat = std::max(1, std::atoi(argv[++i]));
        else if (a == "--size" && more) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2) return false;
        } else return false;
    }
    return o.effect >= 1 && o.effect <= 120 && o.width > 0 && o.height > 0 && o.steps >= 0;
}

// Returns once the X server has carried out every request sent so far.
void SyncWithServer() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_connection_t* c = x11->connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
}

struct Played {
    int frames = 0;
    double ms = 0;
};

Played PlayOnce(QWidget& window, TImage32& image, int effect, int steps, const TBitmap32& from,
                const TBitmap32& to) {
    image.Bitmap().Draw(0, 0, from);
    image.update();
    SyncWithServer();

    TQtMainThread mainThread;
    TImage32Target target(&image);
    TTransitionState state;
    std::atomic<int> frames{0};
    state.FrameObserver = [&frames] { ++frames; };
    // A real event loop, as in the show: it wakes for each of the worker's paints at once.
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    if (StartTransition(state, mainThread, target, to, effect, false, steps, kFrameDelay,
                        [&loop] { loop.quit(); }))
        loop.exec();
    // The last paints are still queued as repaint requests: carry them out to the server.
    SyncWithServer();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    state.JoinWorker();
    (void)window;
    return {frames.load(), ms};
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (argc > 1 && std::string(argv[1]) == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "pictorelle-onscreen: needs an X server (DISPLAY)\n");
        return 1;
    }
    const int steps = o.steps > 0 ? o.steps : TransitionSteps(o.width, o.speed);

    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    QPalette p = window.palette();
    p.setColor(QPalette::Window, Qt::black);
    window.setPalette(p);
    window.setAutoFillBackground(true);
    window.setGeometry(0, 0, o.width, o.height);
    auto* image = new TImage32(&window);
    image->setGeometry(0, 0, o.width, o.height);
    image->Bitmap().SetSize(o.width, o.height);
    window.show();
    // Let the window be mapped and painted once before timing.
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 3000 && !(window.windowHandle() && window.windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    SyncWithServer();

    const TBitmap32 a = TimingPicture(o.width, o.height, false);
    const TBitmap32 b = TimingPicture(o.width, o.height, true);
    std::vector<double> ratios;
    Played last;
    for (int r = 0; r < o.repeat; ++r) {
        last = PlayOnce(window, *image, o.effect, steps, r % 2 ? b : a, r % 2 ? a : b);
        const double nominal = last.frames * kFrameDelay;
        ratios.push_back(nominal > 0 ? last.ms / nominal : 0);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("effect %d at %dx%d, %d steps: %d frames, on screen %.0f ms, nominal %d ms, "
                "ratio median %.3f worst %.3f\n",
                o.effect, o.width, o.height, steps, last.frames, last.ms,
                last.frames * kFrameDelay, ratios[ratios.size() / 2], ratios.back());
    return 0;
}

// pictorelle-render: runs one transition without a window.
//   pictorelle-render --effect N --steps S --old A.png --new B.png --out DIR
//       writes the target after every frame as DIR/frame-0001.png ..., the final paint last
//   pictorelle-render --time --effect N (--steps S | --speed S) [--size WxH] [--repeat R]
//       reports compose-and-paint time per frame (median and worst) with frame delay 0; a
//       speed 1..10 gives the show's step count for the width
//   pictorelle-render --picture FILE --out DIR
//       decodes FILE as the player does, at its natural size, and writes each of its frames
//       as DIR/frame-0000.png ...; prints the picture's size, loop and frames as JSON
#include "imaging/Decode.h"
#include "imaging/GifAnimation.h"
#include "imaging/PictureFormats.h"
#include "transitions/OffscreenRun.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace pictorelle;

constexpr const char* kUsage =
    "usage: pictorelle-render --effect N --steps S --old A.png --new B.png --out DIR\n"
    "       pictorelle-render --time --effect N (--steps S | --speed S) [--size WxH] [--repeat R]\n"
    "       pictorelle-render --picture FILE --out DIR\n";

struct Options {
    int effect = 69;
    int steps = 32;
    int speed = 0; // when set, the steps follow from the width as in the show
    std::string oldPath, newPath, outDir, picture;
    bool time = false;
    int width = 1920, height = 1080, repeat = 3;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--time") o.time = true;
        else if (a == "--effect" && more) o.effect = std::atoi(argv[++i]);
        else if (a == "--steps" && more) o.steps = std::atoi(argv[++i]);
        else if (a == "--speed" && more) o.speed = std::atoi(argv[++i]);
        else if (a == "--old" && more) o.oldPath = argv[++i];
        else if (a == "--new" && more) o.newPath = argv[++i];
        else if (a == "--out" && more) o.outDir = argv[++i];
        else if (a == "--picture" && more) o.picture = argv[++i];
        else if (a == "--repeat" && more) o.repeat = std::max(1, std::atoi(argv[++i]));
        else if (a == "--size" && more) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2) return false;
        } else return false;
    }
    if (o.speed != 0) o.steps = TransitionSteps(o.width, o.speed);
    if (o.steps < 1 || o.width < 1 || o.height < 1) return false;
    if (!o.picture.empty()) return !o.outDir.empty() && !o.time;
    return o.time || (!o.oldPath.empty() && !o.newPath.empty() && !o.outDir.empty());
}

TBitmap32 FromImage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    TBitmap32 b(argb.width(), argb.height());
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(b.ScanLine(y), argb.constScanLine(y), static_cast<size_t>(b.BytesPerLine()));
    return b;
}

QImage View(const TBitmap32& b) {
    return QImage(reinterpret_cast<const uchar*>(b.ScanLine(0)), b.Width(), b.Height(),
                  b.BytesPerLine(), QImage::Format_ARGB32);
}

int RenderFrames(const Options& o) {
    QImage oldImage(QString::fromStdString(o.oldPath)), newImage(QString::fromStdString(o.newPath));
    if (oldImage.isNull() || newImage.isNull()) {
        std::fprintf(stderr, "pictorelle-render: cannot read %s\n",
                     (oldImage.isNull() ? o.oldPath : o.newPath).c_str());
        return 1;
    }
    if (!QDir().mkpath(QString::fromStdString(o.outDir))) {
        std::fprintf(stderr, "pictorelle-render: cannot create %s\n", o.outDir.c_str());
        return 1;
    }
    int frame = 0;
    bool written = true;
    auto save = [&](const TBitmap32& shown) {
        const QString name = QString("%1/frame-%2.png")
                                 .arg(QString::fromStdString(o.outDir))
                                 .arg(++frame, 4, 10, QLatin1Char('0'));
        written = View(shown).save(name, "PNG", 80) && written;
    };
    TOffscreenObserver observer;
    observer.frame = [&](int, const TBitmap32& shown, TTransitionState&) { save(shown); };
    const TOffscreenRun run =
        RunOffscreen(o.effect, o.steps, FromImage(oldImage), FromImage(newImage), observer);
    save(run.result); // the final paint
    std::printf("%d frames written to %s\n", frame, o.outDir.c_str());
    return written ? 0 : 1;
}

struct RenderedFrame {
    std::string file;
    int delayMs = 0;
};

// The picture's frames as the show would draw them: a still is the decoder's bitmap, an
// animation each of the animator's canvases in turn, uncovered areas fully transparent.
int RenderPicture(const Options& o) {
    const auto fail = [&](const std::string& why) {
        std::fprintf(stderr, "pictorelle-render: %s: %s\n", o.picture.c_str(), why.c_str());
        return 1;
    };
    if (!QDir().mkpath(QString::fromStdString(o.outDir))) return fail("cannot create " + o.outDir);
    std::vector<RenderedFrame> frames;
    TSize size;
    bool loops = false;
    auto save = [&](const TBitmap32& b, int delayMs) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%04zu.png", frames.size());
        const QString path = QString::fromStdString(o.outDir) + "/" + name;
        if (!View(b).save(path, "PNG")) return false;
        frames.push_back({name, delayMs});
        return true;
    };
    try {
        const std::string ext = QFileInfo(QString::fromStdString(o.picture)).suffix().toStdString();
        const TPictureFormatRow* row = FormatRowOfExtension(ext);
        if (!row || !row->decode) return fail("not a picture format the player decodes");
        const std::vector<uint8_t> bytes = ReadPictureFile(o.picture);
        if (row->Animates(bytes)) {
            TGifAnimator animator(row->readFrames(bytes, {}));
            size = animator.Gif().screen;
            loops = animator.Gif().loops;
            for (int k = 0; k < animator.FrameCount(); ++k) {
                animator.Frame(k);
                const int delay = animator.Gif().frames[static_cast<size_t>(k)].delayMs;
                if (!save(animator.Canvas(), delay)) return fail("cannot write frames");
            }
        } else {
            const TDecodedPicture picture = DecodePictureData(bytes, ext);
            size = picture.natural;
            if (!save(picture.bitmap, 0)) return fail("cannot write frames");
        }
    } catch (const ImageError& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail("not enough memory");
    }
    std::printf("{\"width\": %d, \"height\": %d, \"loop\": %s, \"frames\": [", size.width,
                size.height, loops ? "true" : "false");
    for (size_t i = 0; i < frames.size(); ++i)
        std::printf("%s{\"file\": \"%s\", \"delay_ms\": %d}", i ? ", " : "", frames[i].file.c_str(),
                    frames[i].delayMs);
    std::printf("]}\n");
    return 0;
}

int TimeFrames(const Options& o) {
    const TBitmap32 a = TimingPicture(o.width, o.height, false);
    const TBitmap32 b = TimingPicture(o.width, o.height, true);
    std::vector<double> times;
    for (int r = 0; r < o.repeat; ++r) {
        // The first frame also pays for starting the worker; the runner leaves it out.
        const TOffscreenRun run = RunOffscreen(o.effect, o.steps, r % 2 ? b : a, r % 2 ? a : b);
        times.insert(times.end(), run.frameMs.begin(), run.frameMs.end());
    }
    if (times.empty()) {
        std::printf("effect %d: no frames (direct paint)\n", o.effect);
        return 0;
    }
    std::sort(times.begin(), times.end());
    std::printf("effect %d at %dx%d, %d steps: %zu frames, median %.3f ms, worst %.3f ms\n",
                o.effect, o.width, o.height, o.steps, times.size(), times[times.size() / 2],
                times.back());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first == "--version") {
        std::printf("pictorelle-render %s\n", PICTORELLE_VERSION);
        return 0;
    }
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!o.picture.empty()) return RenderPicture(o);
    return o.time ? TimeFrames(o) : RenderFrames(o);
}

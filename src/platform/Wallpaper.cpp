#include "platform/Wallpaper.h"

#include "core/AsciiCase.h"
#include "platform/Session.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStringList>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
// Last: Xlib's macros (None, Bool, Status) would upset the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace pictorelle {
namespace {

constexpr int kToolStartMs = 5000;
constexpr int kToolFinishMs = 10000;

// One run of a desktop tool. An optional step may fail without failing the whole: a key that
// only newer versions of a desktop have.
struct ToolStep {
    std::vector<std::string> argv;
    bool optional = false;
};

std::string Describe(const std::vector<std::string>& argv) {
    std::string text;
    for (const std::string& a : argv)
        text += (text.empty() ? "" : " ") + a;
    return text;
}

TDesktopOutcome RunSteps(const std::vector<ToolStep>& steps, const TToolRunner& run) {
    bool failed = false;
    for (const ToolStep& step : steps) {
        if (run(step.argv).ok || step.optional) continue;
        std::fprintf(stderr, "Setting the wallpaper: \"%s\" is missing or failed\n",
                     Describe(step.argv).c_str());
        failed = true;
    }
    return failed ? TDesktopOutcome::Failed : TDesktopOutcome::Applied;
}

// Desktops whose wallpaper is a GSettings key: the schema, the key that names the file (a URI
// or a plain path), and the dark-style twin that GNOME 42 and later have beside it.
struct GSettingsDesktop {
    const char* schema;
    const char* fileKey;
    bool fileIsUri;
    const char* darkKey; // null when the desktop has none
};

std::vector<ToolStep> GSettingsSteps(const GSettingsDesktop& d, const std::string& file,
                                     TWallpaperStyle style) {
    const std::string value = GVariantString(d.fileIsUri ? FileUri(file) : file);
    const std::string options =
        GVariantString(style == TWallpaperStyle::Stretched ? "stretched" : "centered");
    std::vector<ToolStep> steps;
    steps.push_back({{"gsettings", "set", d.schema, d.fileKey, value}});
    if (d.darkKey) steps.push_back({{"gsettings", "set", d.schema, d.darkKey, value}, true});
    steps.push_back({{"gsettings", "set", d.schema, "picture-options", options}});
    return steps;
}

constexpr GSettingsDesktop kGnome{"org.gnome.desktop.background", "picture-uri", true,
                                  "picture-uri-dark"};
constexpr GSettingsDesktop kCinnamon{"org.cinnamon.desktop.background", "picture-uri", true,
                                     nullptr};
constexpr GSettingsDesktop kMate{"org.mate.background", "picture-filename", false, nullptr};

// Xfce keeps one backdrop per monitor and workspace; every one that has shown a picture
// (a "last-image" property) gets the file and the style (1 centred, 3 stretched).
TDesktopOutcome ApplyXfce(const std::string& file, TWallpaperStyle style, const TToolRunner& run) {
    const std::vector<std::string> list = {"xfconf-query", "-c", "xfce4-desktop", "-l"};
    const TToolResult listed = run(list);
    if (!listed.ok) {
        std::fprintf(stderr, "Setting the wallpaper: \"%s\" is missing or failed\n",
                     Describe(list).c_str());
        return TDesktopOutcome::Failed;
    }
    const std::string_view suffix = "/last-image";
    const std::string imageStyle = style == TWallpaperStyle::Stretched ? "3" : "1";
    std::vector<ToolStep> steps;
    size_t start = 0;
    while (start < listed.out.size()) {
        size_t end = listed.out.find('\n', start);
        if (end == std::string::npos) end = listed.out.size();
        std::string property = listed.out.substr(start, end - start);
        start = end + 1;
        while (!property.empty() && std::isspace(static_cast<unsigned char>(property.back())))
            property.pop_back();
        if (property.size() <= suffix.size() || !property.ends_with(suffix)) continue;
        const std::string styleProperty =
            property.substr(0, property.size() - suffix.size()) + "/image-style";
        steps.push_back({{"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", file}});
        steps.push_back({{"xfconf-query", "-c", "xfce4-desktop", "-p", styleProperty, "-n", "-t",
                          "int", "-s", imageStyle}});
    }
    if (steps.empty()) {
        std::fprintf(stderr, "Setting the wallpaper: Xfce lists no backdrop to set\n");
        return TDesktopOutcome::Failed;
    }
    return RunSteps(steps, run);
}

// sway reads its command as one line of words: the file goes in double quotes, so that blanks,
// ';' and ',' stay part of the name instead of starting another command.
TDesktopOutcome ApplySway(const std::string& file, TWallpaperStyle style, const TToolRunner& run) {
    const std::optional<std::string> quoted = SwayQuoted(file);
    if (!quoted) {
        std::fprintf(stderr, "Setting the wallpaper: sway cannot be given the file name %s\n",
                     file.c_str());
        return TDesktopOutcome::Failed;
    }
    const char* mode = style == TWallpaperStyle::Stretched ? "fill" : "center";
    return RunSteps({{{"swaymsg", "output", "*", "bg", *quoted, mode}}}, run);
}

using DesktopApply = TDesktopOutcome (*)(const std::string&, TWallpaperStyle, const TToolRunner&);

struct DesktopRow {
    std::array<std::string_view, 3> names; // as XDG_CURRENT_DESKTOP spells them
    DesktopApply apply;
};

const DesktopRow kDesktops[] = {
    {{"sway"}, ApplySway},
    {{"GNOME", "Unity", "Budgie"},
     [](const std::string& f, TWallpaperStyle s, const TToolRunner& run) {
         return RunSteps(GSettingsSteps(kGnome, f, s), run);
     }},
    {{"X-Cinnamon", "Cinnamon"},
     [](const std::string& f, TWallpaperStyle s, const TToolRunner& run) {
         return RunSteps(GSettingsSteps(kCinnamon, f, s), run);
     }},
    {{"MATE"},
     [](const std::string& f, TWallpaperStyle s, const TToolRunner& run) {
         return RunSteps(GSettingsSteps(kMate, f, s), run);
     }},
    {{"XFCE"}, ApplyXfce},
    // Plasma's tool knows no centred or stretched before Plasma 6; the wallpaper keeps the
    // positioning the user chose there.
    {{"KDE"},
     [](const std::string& f, TWallpaperStyle, const TToolRunner& run) {
         return RunSteps({{{"plasma-apply-wallpaperimage", f}}}, run);
     }},
    {{"LXQt"},
     [](const std::string& f, TWallpaperStyle s, const TToolRunner& run) {
         const char* mode = s == TWallpaperStyle::Stretched ? "stretch" : "center";
         return RunSteps({{{"pcmanfm-qt", "--set-wallpaper", f, "--wallpaper-mode", mode}}}, run);
     }},
    {{"LXDE"},
     [](const std::string& f, TWallpaperStyle s, const TToolRunner& run) {
         const char* mode = s == TWallpaperStyle::Stretched ? "stretch" : "center";
         return RunSteps({{{"pcmanfm", "--set-wallpaper", f, "--wallpaper-mode", mode}}}, run);
     }},
};

const DesktopRow* FindDesktop(std::string_view currentDesktop) {
    while (!currentDesktop.empty()) {
        const size_t colon = currentDesktop.find(':');
        const std::string_view name = currentDesktop.substr(0, colon);
        for (const DesktopRow& row : kDesktops)
            for (std::string_view known : row.names)
                if (!known.empty() && EqualsIgnoringCase(name, known)) return &row;
        if (colon == std::string_view::npos) break;
        currentDesktop.remove_prefix(colon + 1);
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// The root window

// How one channel of a TrueColor visual sits in a pixel value.
struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel ChannelOf(unsigned long mask) {
    Channel c;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++c.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++c.bits;
    }
    return c;
}

unsigned long Place(int value8, Channel c) {
    if (c.bits == 0) return 0;
    const unsigned long v =
        c.bits >= 8 ? static_cast<unsigned long>(value8) << (c.bits - 8) : value8 >> (8 - c.bits);
    return v << c.shift;
}

int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::optional<Pixmap> ReadPixmapProperty(Display* display, Window root, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<Pixmap> result;
    if (XGetWindowProperty(display, root, property, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                           &after, &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1 && data)
        result = *reinterpret_cast<Pixmap*>(data);
    if (data) XFree(data);
    return result;
}

// The picture at the screen's size: centred on black (cut when larger) or stretched over it.
QImage ScreenPicture(const QImage& picture, int width, int height, TWallpaperStyle style) {
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    if (style == TWallpaperStyle::Stretched) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, width, height), picture);
    } else {
        painter.drawImage((width - picture.width()) / 2, (height - picture.height()) / 2, picture);
    }
    return canvas;
}

bool PutRootPixmap(Display* display, const QImage& picture, TWallpaperStyle style) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    Visual* visual = DefaultVisual(display, screen);
    const int depth = DefaultDepth(display, screen);
    if (visual->c_class != TrueColor) {
        std::fprintf(stderr, "Setting the wallpaper: the X screen has no true-colour visual\n");
        return false;
    }
    const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
    const QImage canvas = ScreenPicture(picture, width, height, style);

    XImage* image =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    image->data = static_cast<char*>(
        std::malloc(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    const Channel red = ChannelOf(visual->red_mask), green = ChannelOf(visual->green_mask),
                  blue = ChannelOf(visual->blue_mask);
    for (int y = 0; y < height; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < width; ++x)
            XPutPixel(image, x, y,
                      Place(qRed(row[x]), red) | Place(qGreen(row[x]), green) |
                          Place(qBlue(row[x]), blue));
    }
    const Pixmap pixmap =
        XCreatePixmap(display, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned>(depth));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display, gc);
    XDestroyImage(image);

    // A pixmap that an earlier setter left behind for good (both properties naming it) is
    // freed by ending the connection that kept it, as the setters agree among themselves.
    const Atom rootId = XInternAtom(display, "_XROOTPMAP_ID", False);
    const Atom esetrootId = XInternAtom(display, "ESETROOT_PMAP_ID", False);
    const std::optional<Pixmap> oldRoot = ReadPixmapProperty(display, root, rootId);
    const std::optional<Pixmap> oldEsetroot = ReadPixmapProperty(display, root, esetrootId);
    if (oldRoot && oldEsetroot && *oldRoot == *oldEsetroot && *oldRoot != pixmap) {
        // The old pixmap may be gone already; that error must not end the program.
        XSync(display, False);
        auto* previous = XSetErrorHandler(IgnoreXError);
        XKillClient(display, *oldRoot);
        XSync(display, False);
        XSetErrorHandler(previous);
    }
    XChangeProperty(display, root, rootId, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XChangeProperty(display, root, esetrootId, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XClearWindow(display, root);
    // The pixmap must outlive this connection (and the program).
    XSetCloseDownMode(display, RetainPermanent);
    XSync(display, False);
    return true;
}

} // namespace

std::string FileUri(const std::string& file) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : file) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

std::string GVariantString(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

TDesktopOutcome ApplyDesktopWallpaper(std::string_view currentDesktop, const std::string& file,
                                      TWallpaperStyle style, const TToolRunner& run) {
    const DesktopRow* row = FindDesktop(currentDesktop);
    return row ? row->apply(file, style, run) : TDesktopOutcome::NotKnown;
}

TToolResult RunDesktopTool(const std::vector<std::string>& argv) {
    if (argv.empty()) return {};
    QStringList arguments;
    for (size_t i = 1; i < argv.size(); ++i)
        arguments << QString::fromStdString(argv[i]);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QString::fromStdString(argv[0]), arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(kToolStartMs)) return {};
    if (!process.waitForFinished(kToolFinishMs)) {
        process.kill();
        process.waitForFinished(kToolStartMs);
        return {};
    }
    TToolResult result;
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    result.out = process.readAllStandardOutput().toStdString();
    return result;
}

bool SetRootWindowWallpaper(const std::string& file, TWallpaperStyle style) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display()) {
        std::fprintf(stderr, "Setting the wallpaper: no desktop to set it on\n");
        return false;
    }
    const QImage picture(QString::fromStdString(file));
    if (picture.isNull()) {
        std::fprintf(stderr, "Setting the wallpaper: %s cannot be read\n", file.c_str());
        return false;
    }
    // A connection of its own, whose resources stay when it closes.
    Display* display = XOpenDisplay(DisplayString(x11->display()));
    if (!display) {
        std::fprintf(stderr, "Setting the wallpaper: cannot open the X display\n");
        return false;
    }
    const bool done = PutRootPixmap(display, picture, style);
    XCloseDisplay(display);
    return done;
}

std::optional<std::string> SwayQuoted(const std::string& file) {
    for (const char c : file)
        if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    return '"' + file + '"';
}

void SetWlrootsWallpaper(const std::string& file, TWallpaperStyle style) {
    const char* sway = std::getenv("SWAYSOCK");
    if (sway && *sway) {
        ApplySway(file, style, RunDesktopTool);
        return;
    }
    // swaybg draws the background of any compositor with the layer-shell protocol for as
    // long as it runs, so it is left running when the show ends.
    const char* mode = style == TWallpaperStyle::Stretched ? "fill" : "center";
    if (QProcess::startDetached(QStringLiteral("swaybg"),
                                {QStringLiteral("-i"), QString::fromStdString(file),
                                 QStringLiteral("-m"), QString::fromLatin1(mode)}))
        return;
    std::fprintf(stderr, "Setting the wallpaper: this desktop is not one we know, and swaybg is "
                         "not installed to set it\n");
}

void ApplyWallpaper(const std::string& file, TWallpaperStyle style) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const TDesktopOutcome outcome =
        ApplyDesktopWallpaper(desktop ? desktop : "", file, style, RunDesktopTool);
    if (outcome != TDesktopOutcome::NotKnown) return;
    if (desktop && *desktop)
        std::fprintf(stderr,
                     "Setting the wallpaper: the desktop \"%s\" is not one we know; setting the "
                     "session's own background instead\n",
                     desktop);
    DisplaySession().SetBareWallpaper(file, style);
}

} // namespace pictorelle

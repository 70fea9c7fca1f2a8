#include "media/flash/RuffleHost.h"

#include "core/LibraryChatter.h"
#include "media/flash/RufflePage.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace pictorelle::flash {
namespace {

const QByteArray kScheme = "pictorelle-flash";
const QByteArray kPublicPath = "pictorelle-flash://player/ruffle/";
const QString kPageUrl = QStringLiteral("pictorelle-flash://player/index.html");
// The web engine's start, Ruffle's script and its WebAssembly: seconds on a slow machine.
constexpr int kStartTimeoutMs = 30000;
// How often the page is asked about the movie; the end watch asks every 100 ms.
constexpr int kStatePollMs = 40;

bool gSchemeRegistered = false;
QLoggingCategory::CategoryFilter gEarlierFilter = nullptr;

// The web engine's start report and the page's console are the library's business, not the
// user's: off unless the libraries' chatter is asked for.
void QuietWebEngineCategories(QLoggingCategory* category) {
    if (gEarlierFilter) gEarlierFilter(category);
    const char* name = category->categoryName();
    if (std::strncmp(name, "qt.webengine", 12) != 0 && std::strcmp(name, "js") != 0) return;
    for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
        category->setEnabled(type, false);
}

// Ruffle's folder: named by PICTORELLE_RUFFLE_DIR, else beside the program (its share folder,
// as installed or in the build tree), else where this build installs or built it.
QString RuffleDirectory() {
    std::vector<std::string> candidates;
    if (const char* named = std::getenv("PICTORELLE_RUFFLE_DIR")) {
        candidates.push_back(named);
    } else {
        std::error_code error;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) candidates.push_back(self.parent_path() / "../share/pictorelle/ruffle");
#ifdef PICTORELLE_RUFFLE_INSTALL_DIR
        candidates.push_back(PICTORELLE_RUFFLE_INSTALL_DIR);
#endif
#ifdef PICTORELLE_RUFFLE_BUILD_DIR
        candidates.push_back(PICTORELLE_RUFFLE_BUILD_DIR);
#endif
    }
    for (const std::string& dir : candidates) {
        const QString path = QString::fromStdString(dir);
        if (QFileInfo(path + QStringLiteral("/ruffle.js")).isFile())
            return QDir(path).canonicalPath();
    }
    return {};
}

QByteArray MimeType(const QString& name) {
    if (name.endsWith(QStringLiteral(".js"))) return "text/javascript";
    if (name.endsWith(QStringLiteral(".wasm"))) return "application/wasm";
    if (name.endsWith(QStringLiteral(".html"))) return "text/html";
    return "application/octet-stream";
}

// Everything the page asks for that is not this program's own scheme is refused.
class LocalOnly final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme != QLatin1String(kScheme) && scheme != QLatin1String("data") &&
            scheme != QLatin1String("blob"))
            info.block(true);
    }
};

class Host;

class Files final : public QWebEngineUrlSchemeHandler {
public:
    Files(Host& host, QString ruffleDir, QObject* parent)
        : QWebEngineUrlSchemeHandler(parent), host_(host), ruffleDir_(std::move(ruffleDir)) {}
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    Host& host_;
    QString ruffleDir_;
};

class Host final : public QObject {
public:
    // The view lives in viewParent from the start: as a window of its own, moving it into the
    // panel would take the activation from the show, and losing it ends a screen saver.
    Host(const QString& ruffleDir, QWidget& viewParent) {
        profile_ = new QWebEngineProfile(this); // no storage name: off the record
        profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        profile_->setSpellCheckEnabled(false);
        profile_->setUrlRequestInterceptor(new LocalOnly(profile_));
        profile_->installUrlSchemeHandler(kScheme, new Files(*this, ruffleDir, profile_));
        page_ = new QWebEnginePage(profile_, this);
        QWebEngineSettings* s = page_->settings();
        s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
        s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
        s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        page_->setBackgroundColor(Qt::black);
        connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
            std::fprintf(stderr, "The Flash player's page ended unexpectedly\n");
            broken_ = true;
            state_ = TRuffleState::Stopped;
        });
        view_ = new QWebEngineView(&viewParent);
        view_->setPage(page_);
        // The show's exit rules see every input; the view takes neither the pointer nor keys.
        view_->setContextMenuPolicy(Qt::NoContextMenu);
        view_->setAttribute(Qt::WA_TransparentForMouseEvents);
        view_->setFocusPolicy(Qt::NoFocus);
        view_->hide();
        poll_.setInterval(kStatePollMs);
        connect(&poll_, &QTimer::timeout, this, [this] { AskState(); });
    }

    ~Host() override {
        poll_.stop();
        delete view_.data();
        delete page_;
        delete profile_;
    }

    // Loads the page and Ruffle's empty warm-up movie; false when it does not come up, or when
    // the application's end quits the wait first.
    bool Start() {
        QEventLoop loop;
        bool failed = false;
        // The page answers after its own delay, possibly after this wait has ended: the answer
        // finds the loop through a guard, never on this stack.
        struct Wait {
            QPointer<QEventLoop> loop;
            bool ready = false;
            bool asking = false;
        };
        const auto wait = std::make_shared<Wait>();
        wait->loop = &loop;
        QTimer ask;
        ask.setInterval(50);
        connect(page_, &QWebEnginePage::loadFinished, &loop, [&](bool ok) {
            if (!ok) {
                failed = true;
                loop.quit();
                return;
            }
            page_->runJavaScript(QStringLiteral("pictorelle.load('blank.swf', false)"));
            ask.start();
        });
        connect(&ask, &QTimer::timeout, &loop, [this, wait] {
            if (wait->asking) return; // one question at a time, however slow the page is
            wait->asking = true;
            page_->runJavaScript(QStringLiteral("pictorelle.ready"), [wait](const QVariant& v) {
                wait->asking = false;
                if (!v.toBool() || !wait->loop) return;
                wait->ready = true;
                wait->loop->quit();
            });
        });
        QTimer::singleShot(kStartTimeoutMs, &loop, [&] {
            failed = true;
            loop.quit();
        });
        page_->load(QUrl(kPageUrl));
        loop.exec();
        if (!wait->ready || failed || broken_) return false;
        page_->runJavaScript(QStringLiteral("pictorelle.unload()"));
        return true;
    }

    bool Broken() const { return broken_; }

    QWebEngineView* View() { return view_; }

    void Load(const QString& path, bool menu) {
        movie_ = path;
        ++serial_;
        state_ = TRuffleState::Starting;
        page_->runJavaScript(QStringLiteral("pictorelle.load('movie/%1.swf', %2)")
                                 .arg(serial_)
                                 .arg(menu ? QStringLiteral("true") : QStringLiteral("false")));
        poll_.start();
    }

    void Unload() {
        poll_.stop();
        movie_.clear();
        ++serial_;
        state_ = TRuffleState::Starting;
        page_->runJavaScript(QStringLiteral("pictorelle.unload()"));
    }

    void Play() { page_->runJavaScript(QStringLiteral("pictorelle.play()")); }
    void Stop() { page_->runJavaScript(QStringLiteral("pictorelle.stop()")); }
    TRuffleState State() const { return state_; }

    // The movie file behind a page's request, when it asks for the current one.
    QString MovieFor(const QString& name) const {
        return !movie_.isEmpty() && name == QStringLiteral("%1.swf").arg(serial_) ? movie_
                                                                                  : QString();
    }

private:
    void AskState() {
        const unsigned serial = serial_;
        page_->runJavaScript(QStringLiteral("pictorelle.state()"),
                             [this, serial](const QVariant& v) {
                                 if (serial != serial_ || broken_) return;
                                 const int s = v.toInt();
                                 if (s >= 0 && s <= 3) state_ = static_cast<TRuffleState>(s);
                             });
    }

    QWebEngineProfile* profile_ = nullptr;
    QWebEnginePage* page_ = nullptr;
    QPointer<QWebEngineView> view_;
    QTimer poll_;
    QString movie_;
    unsigned serial_ = 0;
    TRuffleState state_ = TRuffleState::Starting;
    bool broken_ = false;
};

void Files::requestStarted(QWebEngineUrlRequestJob* job) {
    const QString path = job->requestUrl().path();
    const auto replyBytes = [job](const QByteArray& mime, const QByteArray& bytes) {
        auto* buffer = new QBuffer(job);
        buffer->setData(bytes);
        buffer->open(QIODevice::ReadOnly);
        job->reply(mime, buffer);
    };
    const auto replyFile = [job](const QByteArray& mime, const QString& file) {
        auto* device = new QFile(file, job);
        if (!device->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        job->reply(mime, device);
    };
    const int slash = static_cast<int>(path.lastIndexOf(QLatin1Char('/')));
    const QString folder = path.left(slash);
    const QString name = path.mid(slash + 1);
    if (path == QStringLiteral("/index.html")) {
        replyBytes("text/html", RufflePageHtml(kPublicPath));
    } else if (path == QStringLiteral("/blank.swf")) {
        replyBytes("application/x-shockwave-flash", BlankMovie());
    } else if (folder == QStringLiteral("/ruffle") && !name.isEmpty() &&
               !name.startsWith(QLatin1Char('.'))) {
        replyFile(MimeType(name), ruffleDir_ + QLatin1Char('/') + name);
    } else if (folder == QStringLiteral("/movie") && !host_.MovieFor(name).isEmpty()) {
        replyFile("application/x-shockwave-flash", host_.MovieFor(name));
    } else {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    }
}

Host* gHost = nullptr;

void ShutdownHost() {
    delete gHost;
    gHost = nullptr;
}

// One control of the design's use over the shared host; it outlives the host harmlessly (the
// show's end stops the web engine before the last control goes).
class RufflePlayer final : public TShockWaveFlashEx {
public:
    RufflePlayer(Host& host, QWidget& parent) : host_(&host) {
        QWebEngineView* view = host.View();
        if (view->parentWidget() != &parent) view->setParent(&parent);
        view->setGeometry(parent.rect());
        view->hide();
    }
    ~RufflePlayer() override {
        if (!host_) return;
        if (!movie_.isEmpty()) host_->Unload();
        if (QWidget* view = host_->View()) view->hide();
    }

    void SetMovie(const QString& path) override {
        if (path == QStringLiteral("none") || path.isEmpty()) {
            movie_.clear();
            if (host_) host_->Unload();
            return;
        }
        movie_ = path;
        if (host_) host_->Load(path, menu_);
    }
    QString Movie() const override { return movie_.isEmpty() ? QStringLiteral("none") : movie_; }
    void SetPlaying(bool playing) override { playing ? Play() : Stop(); }
    void SetMenu(bool menu) override { menu_ = menu; }
    void Play() override {
        if (host_) host_->Play();
    }
    void Stop() override {
        if (host_) host_->Stop();
    }
    bool IsPlaying() const override {
        return !movie_.isEmpty() && host_ && host_->State() != TRuffleState::Stopped;
    }
    QWidget* Widget() override { return host_ ? host_->View() : nullptr; }

private:
    QPointer<Host> host_;
    QString movie_;
    bool menu_ = false;
};

} // namespace

void PrepareWebEngine() {
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::CorsEnabled |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
    gSchemeRegistered = true;

    // The page talks to nobody: no background requests, and a movie's sound needs no click.
    std::string flags = "--disable-background-networking --disable-component-update "
                        "--autoplay-policy=no-user-gesture-required";
    // Chromium's sandbox cannot run as root; for root alone it is left out. Every other user
    // keeps it. (The switch rather than Qt's variable, which says so on standard error.)
    if (geteuid() == 0) flags += " --no-sandbox";
    if (const char* given = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS"))
        flags = std::string(given) + " " + flags;
    if (!LibraryChatterWanted()) {
        // Chromium's own log lines (a blocked WebGL, an absent audio service) only at fatal
        // level, unless the user's flags ask for another.
        flags = "--log-level=3 " + flags;
        gEarlierFilter = QLoggingCategory::installFilter(QuietWebEngineCategories);
    }
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
    // The view's scene graph draws in software: the display panel it lives in becomes a native
    // window of its own once a video has played there (the media player draws into it), and an
    // OpenGL scene graph then cannot draw at all, which stops every later picture too.
    setenv("QT_QUICK_BACKEND", "software", 0);
    // Qt's scene graph under the view would keep compiled shaders in the user's cache folder.
    setenv("QT_DISABLE_SHADER_DISK_CACHE", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

std::unique_ptr<TShockWaveFlashEx> CreateRufflePlayer(QWidget& parent) {
    if (!gSchemeRegistered)
        throw FlashPlayerUnavailable("the web engine was not prepared before the application");
    if (gHost && gHost->Broken()) ShutdownHost();
    if (!gHost) {
        const QString dir = RuffleDirectory();
        if (dir.isEmpty()) throw FlashPlayerUnavailable("Ruffle's files were not found");
        auto host = std::make_unique<Host>(dir, parent);
        if (!host->Start()) throw FlashPlayerUnavailable("the web engine did not start Ruffle");
        gHost = host.release();
        // The page's processes end with the show at the latest, before the application goes.
        static const bool connected =
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { ShutdownHost(); });
        (void)connected;
    }
    return std::make_unique<RufflePlayer>(*gHost, parent);
}

void StopWebEngine() {
    ShutdownHost();
}

} // namespace pictorelle::flash

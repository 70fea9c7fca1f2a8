#include "UiTest.h"

#include "UiTestApp.h"
#include "platform/Application.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace pictorelle::test {
namespace {

QApplication& Application() {
    return UiApp();
}

// Closes each message box as soon as it is shown and remembers what it said.
class MessageWatch : public QObject {
public:
    explicit MessageWatch(std::vector<SeenMessage>& seen) : seen_(seen) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            seen_.push_back({box->windowTitle(), box->text(), box->icon()});
            box->accept();
        });
        timer_.start();
    }

private:
    std::vector<SeenMessage>& seen_;
    QTimer timer_;
};

} // namespace

AddressRecorder::AddressRecorder() {
    for (const char* scheme : {"http", "https", "mailto", "file"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
}

AddressRecorder::~AddressRecorder() {
    for (const char* scheme : {"http", "https", "mailto", "file"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void AddressRecorder::Open(const QUrl& url) {
    opened << url.toString();
}

void UiTest::SetUp() {
    Application();
    ASSERT_GE(QGuiApplication::screens().size(), 2);
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry(), kPrimaryScreen);
    ResetApplicationEnd();
    SetApplicationTitle(QStringLiteral("Screen Saver")); // as the program starts
    char pattern[] = "/tmp/pictorelle-ui-XXXXXX";
    dir = ::mkdtemp(pattern);
    // Each test has a settings store of its own, never the user's.
    ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    // ... and F2's wallpaper lands there too, never on the user's own desktop.
    ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    ::unsetenv("XDG_CURRENT_DESKTOP");
    messageWatch_ = new MessageWatch(messages);
}

void UiTest::TearDown() {
    delete messageWatch_;
    if (!dir.empty()) std::filesystem::remove_all(dir);
    ResetApplicationEnd();
}

PackageContent UiTest::BasicPackage() {
    PackageContent c;
    PackageHeader& h = c.Header;
    h.Seconds = 5;
    h.EffectSpeed = 4;
    h.GradientStyle = 1;
    h.BackColor = 0x00112233;
    h.ExitMouseMove = h.ExitMouseButton = h.ExitKeyboard = h.ExitESC = true;
    h.DisableTwoMonitors = true;
    h.AllowStandalone = true;
    h.LogoTransparentColor = kNoColorValue;
    c.Strings[StringId::SaverTitle] = "Caf\xE9 Show";
    return c;
}

std::string UiTest::WriteShow(const PackageContent& content, const std::string& name) {
    const std::vector<uint8_t> bytes = WritePackage(content);
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::unique_ptr<TSSWindow> UiTest::Create(const std::string& file, std::vector<std::string> args) {
    return std::make_unique<TSSWindow>(TStartup{file, std::move(args)});
}

bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

void SendMouseMove(QWidget& window, QPoint global) {
    QMouseEvent event(QEvent::MouseMove, QPointF(window.mapFromGlobal(global)), QPointF(global),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

void SendMousePress(QWidget& window, Qt::MouseButton button, QPoint global) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(window.mapFromGlobal(global)),
                      QPointF(global), button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

void SendKey(QWidget& window, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(window.windowHandle(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(window.windowHandle(), &release);
}

} // namespace pictorelle::test

// Shared set-up of the window tests: one application on Qt's offscreen platform with two
// screens, packages written to a scratch folder, and message boxes answered automatically.
#pragma once

#include "package/PackageWriter.h"
#include "show/PresentationControls.h"
#include "show/SSWindow.h"
#include "show/ShowDisplays.h"

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace pictorelle::test {

// The screens every window test sees: the primary one first.
inline const QRect kPrimaryScreen(0, 0, 1024, 768);
inline const QRect kSecondScreen(1024, 0, 800, 600);
// Only in the run with PICTORELLE_UI_SCREENS=3.
inline const QRect kThirdScreen(1824, 0, 640, 480);

// A message box that appeared during a test, closed at once.
struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Records the addresses the program asked the desktop to open instead of opening them.
class AddressRecorder : public QObject {
    Q_OBJECT
public:
    AddressRecorder();
    ~AddressRecorder() override;
    QStringList opened;

public slots:
    void Open(const QUrl& url);
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A package with settings that keep each test's own choices visible: every exit
    // condition on, one monitor, and the title "Café Show".
    static PackageContent BasicPackage();
    // Writes the package as a show file; name decides between .scr and .exe.
    std::string WriteShow(const PackageContent& content, const std::string& name = "show.scr");
    std::unique_ptr<TSSWindow> Create(const std::string& file, std::vector<std::string> args);

    // Message boxes shown while this test ran, in order.
    std::vector<SeenMessage> messages;
    AddressRecorder addresses;
    std::string dir;

private:
    QObject* messageWatch_ = nullptr;
};

// Runs the event loop until done() holds or the time is up; returns done().
bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Sends input to the window as the platform would: to its native window first.
void SendMouseMove(QWidget& window, QPoint global);
void SendMousePress(QWidget& window, Qt::MouseButton button, QPoint global);
void SendKey(QWidget& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

} // namespace pictorelle::test

// The main window's preparations in each mode: full screen, second monitor, options panel,
// preview, password change, presentation, and the failures of start-up.
#include "UiTest.h"
#include "host/Startup.h"
#include "platform/Application.h"
#include "platform/Cursor.h"
#include "show/Image32.h"
#include "show/MonitorWindow.h"
#include "show/OptionsPanel.h"
#include "show/Panel.h"

#include <QBuffer>
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QWindow>
#include <fstream>

namespace pictorelle::test {
namespace {

class MainWindowModes : public UiTest {};

TEST_F(MainWindowModes, FullScreenCoversThePrimaryScreenInTheBackgroundColour) {
    const int cursorBefore = CursorShowCount();
    auto w = Create(WriteShow(BasicPackage()), {"/s"});
    EXPECT_TRUE(w->Flags().SaverActive);
    EXPECT_FALSE(w->Flags().PreviewMode);
    EXPECT_FALSE(w->Flags().PresentationMode);
    EXPECT_FALSE(ApplicationEndRequested());
    EXPECT_EQ(w->geometry(), kPrimaryScreen);
    const Qt::WindowFlags flags = w->windowFlags();
    EXPECT_TRUE(flags & Qt::X11BypassWindowManagerHint);
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w->ScreenSaverHost()->OwnerHooked());
    EXPECT_EQ(CursorShowCount(), cursorBefore - 1);
    EXPECT_EQ(w->Displays().Image32()->Bitmap().Width(), 1024);
    EXPECT_EQ(w->Displays().Image32()->Bitmap().Height(), 768);
    EXPECT_EQ(ApplicationTitle(), QString::fromUtf8("Caf\u00e9 Show"));
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Caf\u00e9 Show"));
    EXPECT_FALSE(w->OptionsPanel()->isVisibleTo(w.get()));
    EXPECT_FALSE(w->Flags().SecondMonitorInUse);

    w->show();
    const QImage shown = w->grab().toImage();
    EXPECT_EQ(shown.pixel(500, 400), 0xFF332211u); // 0x00BBGGRR read as a pixel
    w->FinishScreenSaver(true);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->ScreenSaverHost(), nullptr);
    EXPECT_GE(CursorShowCount(), 0);
}

TEST_F(MainWindowModes, SecondMonitorGetsItsOwnWindowUnlessDisabled) {
    PackageContent twoMonitors = BasicPackage();
    twoMonitors.Header.DisableTwoMonitors = false;
    auto w = Create(WriteShow(twoMonitors), {"/s"});
    ASSERT_TRUE(w->Flags().SecondMonitorInUse);
    ASSERT_NE(w->Displays().SecondMonitorWindow(), nullptr);
    TMonitorWindow& second = *w->Displays().SecondMonitorWindow();
    EXPECT_TRUE(second.isVisible());
    EXPECT_EQ(second.geometry(), kSecondScreen);
    EXPECT_TRUE(second.windowFlags() & Qt::X11BypassWindowManagerHint);
    EXPECT_EQ(second.Image()->geometry(), QRect(0, 0, 800, 600));
    EXPECT_EQ(second.Image()->Bitmap().Width(), 800);
    EXPECT_EQ(second.Image()->Bitmap().Height(), 600);

    w->show();
    w->FinishScreenSaver(true);
    EXPECT_EQ(w->Displays().SecondMonitorWindow(), nullptr);
    EXPECT_FALSE(second.isVisible()); // deleted later, once the event loop runs again
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    auto single = Create(WriteShow(BasicPackage()), {"/s"});
    EXPECT_FALSE(single->Flags().SecondMonitorInUse);
    EXPECT_EQ(single->Displays().SecondMonitorWindow(), nullptr);
}

TEST_F(MainWindowModes, OptionsPanelIsCentredWithAFixedSize) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/c:1234"}, std::vector<std::string>{},
          std::vector<std::string>{"s"}}) {
        auto w = Create(WriteShow(BasicPackage()), args);
        EXPECT_FALSE(w->Flags().SaverActive);
        EXPECT_FALSE(ApplicationEndRequested());
        EXPECT_TRUE(w->OptionsPanel()->isVisibleTo(w.get()));
        // Without a banner the panel loses its banner strip and the unused link strip.
        EXPECT_EQ(w->OptionsPanel()->geometry(), QRect(0, 0, 513, 381 - 69 - 15));
        EXPECT_FALSE(w->MoviePanel()->isVisibleTo(w.get()));
        EXPECT_FALSE(w->Presentation().PresPanel->isVisibleTo(w.get()));
        EXPECT_EQ(w->minimumSize(), QSize(513, 297));
        EXPECT_EQ(w->maximumSize(), QSize(513, 297));
        EXPECT_EQ(w->pos(), QPoint((1024 - 513) / 2, (768 - 297) / 2));
        EXPECT_FALSE(w->windowFlags() & Qt::X11BypassWindowManagerHint);
        EXPECT_FALSE(w->ScreenSaverHost()->OwnerHooked());
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Caf\u00e9 Show"));

        // No input hook: the options panel is an ordinary window.
        w->show();
        SendMouseMove(*w, QPoint(900, 700));
        SendKey(*w, Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
        w->close();
        EXPECT_FALSE(w->isVisible());
    }
}

TEST_F(MainWindowModes, PreviewBecomesASmallDeafChildOfTheHostWindow) {
    QWidget host;
    host.setGeometry(100, 100, 400, 300);
    host.show();
    const std::string id = std::to_string(host.winId());

    // The preview picture keeps its own colours although the preview takes no input.
    PackageContent c = BasicPackage();
    QImage green(152, 112, QImage::Format_RGB32);
    green.fill(QColor(0, 160, 0));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    green.save(&buffer, "BMP");
    c.Preview.assign(bmp.begin(), bmp.end());
    auto w = Create(WriteShow(c), {"/p", id});
    EXPECT_TRUE(w->Flags().PreviewMode);
    EXPECT_TRUE(w->Flags().SaverActive);
    ASSERT_NE(w->windowHandle(), nullptr);
    EXPECT_EQ(w->windowHandle()->parent(), host.windowHandle());
    EXPECT_EQ(w->geometry(), QRect(0, 0, 152, 112));
    EXPECT_TRUE(w->windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(w->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(w->palette().color(QPalette::Window), QColor(Qt::black));
    // A preview reads no package and never ends the show on input.
    EXPECT_FALSE(w->ScreenSaverHost()->OwnerHooked());
    EXPECT_TRUE(w->Data().Strings[StringId::SaverTitle].empty());

    w->show();
    EXPECT_EQ(w->PreviewPicture()->geometry(), QRect(0, 0, 152, 112));
    EXPECT_EQ(w->grab().toImage().pixelColor(76, 56), QColor(0, 160, 0));

    // The preview goes away with its host, and ends the program.
    host.windowHandle()->destroy();
    EXPECT_TRUE(ProcessEventsUntil([] { return ApplicationEndRequested(); }));
    EXPECT_EQ(ApplicationEndStatus(), 0);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowModes, PreviewWithoutAUsableHostKeepsItsWindow) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/p:1234"}, std::vector<std::string>{"/p"},
          std::vector<std::string>{"/p", "0x7ffffff0"}, std::vector<std::string>{"/p", "-1"}}) {
        auto w = Create(WriteShow(BasicPackage()), args);
        EXPECT_TRUE(w->Flags().PreviewMode);
        EXPECT_TRUE(w->isEnabled());
        EXPECT_EQ(w->size(), QSize(513, 381));
        EXPECT_TRUE(w->windowHandle() == nullptr || w->windowHandle()->parent() == nullptr);
    }
}

TEST_F(MainWindowModes, PasswordModeEndsTheProgramWithoutAShow) {
    auto w = Create(WriteShow(BasicPackage()), {"/a", "77"});
    EXPECT_TRUE(ApplicationEndRequested());
    EXPECT_EQ(ApplicationEndStatus(), 0);
    EXPECT_FALSE(w->Flags().SaverActive);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowModes, ExeNameRunsThePresentationWhateverTheCommandLine) {
    for (const char* name : {"show.exe", "show.Exe"}) {
        auto w = Create(WriteShow(BasicPackage(), name), {"/c"});
        EXPECT_TRUE(w->Flags().SaverActive);
        EXPECT_TRUE(w->Flags().PresentationMode);
        EXPECT_FALSE(w->Flags().PreviewMode);
        EXPECT_EQ(w->geometry(), kPrimaryScreen);
        EXPECT_EQ(w->Presentation().PresPanel->geometry(),
                  QRect((1024 - 193) / 2, 768 - 41 - 20, 193, 41));
        EXPECT_FALSE(w->Presentation().PresPanel->isVisibleTo(w.get()));
        // Only Esc ends a presentation, whatever the package says.
        EXPECT_FALSE(w->CurrentSettings().ExitMouseMove);
        EXPECT_FALSE(w->CurrentSettings().ExitMouseButton);
        EXPECT_FALSE(w->CurrentSettings().ExitKeyboard);
        EXPECT_TRUE(w->CurrentSettings().ExitESC);
        EXPECT_FALSE(ApplicationEndRequested());
    }
}

TEST_F(MainWindowModes, PresentationOfAShowThatForbidsItEnds) {
    PackageContent content = BasicPackage();
    content.Header.AllowStandalone = false;
    auto w = Create(WriteShow(content, "show.exe"), {});
    EXPECT_TRUE(ApplicationEndRequested());
    EXPECT_NE(ApplicationEndStatus(), 0);
    // No window of the show, but the user learns why.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains("only run as a screen saver"));

    // The same show as a screen saver runs.
    ResetApplicationEnd();
    auto saver = Create(WriteShow(content, "show.scr"), {"/s"});
    EXPECT_FALSE(ApplicationEndRequested());
}

TEST_F(MainWindowModes, PlayOneRandomKeepsOneMelodyOfTheList) {
    PackageContent content = BasicPackage();
    content.Header.PlayOneRandom = true;
    for (const char* ext : {".mp3", ".ogg", ".wav"}) {
        PackageEntry<MelodyRecord> melody;
        melody.Record.Ext = ext;
        melody.Data.assign(64, static_cast<uint8_t>(ext[1]));
        content.Melodies.push_back(melody);
    }
    auto w = Create(WriteShow(content), {"/s"});
    ASSERT_EQ(w->Data().Melodies.size(), 1u);
    EXPECT_EQ(w->Data().Header.MelodyCount, 1);
    const std::string chosen = w->Data().Melodies[0].Ext;
    EXPECT_TRUE(chosen == ".mp3" || chosen == ".ogg" || chosen == ".wav") << chosen;
    EXPECT_EQ(w->Media().CurrentMelody(), 0);

    content.Melodies.resize(1);
    content.Melodies[0].Record.Ext = ".ogg";
    auto single = Create(WriteShow(content), {"/s"});
    ASSERT_EQ(single->Data().Melodies.size(), 1u);
    EXPECT_EQ(single->Data().Melodies[0].Ext, ".ogg");
}

TEST_F(MainWindowModes, UnreadablePackageShowsTheFixedMessageAndFails) {
    const std::string file = dir + "/bare.scr";
    std::ofstream(file) << std::string(4000, 'x');
    for (const char* mode : {"/s", "/c"}) {
        messages.clear();
        ResetApplicationEnd();
        auto w = Create(file, {mode});
        EXPECT_TRUE(ApplicationEndRequested()) << mode;
        EXPECT_EQ(ApplicationEndStatus(), 1);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, QStringLiteral("Screen Saver"));
        EXPECT_EQ(messages[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(
            messages[0].text.startsWith(QStringLiteral("The screen saver can not run because of")));
        EXPECT_TRUE(messages[0].text.contains(QStringLiteral("* The file is corrupted")));
        EXPECT_GE(CursorShowCount(), 0); // the pointer is back for the message
    }
}

TEST_F(MainWindowModes, MissingFlashPlayerEndsStartUpWithItsMessage) {
    PackageContent content = BasicPackage();
    content.FlashControl = {'M', 'Z', 1, 2, 3};
    const std::string file = WriteShow(content);
    const int cursorBefore = CursorShowCount();
    EXPECT_THROW(Create(file, {"/s"}), FlashPlayerUnavailable);
    EXPECT_EQ(CursorShowCount(), cursorBefore); // the failed window undid its mode

    EXPECT_EQ(RunPlayer(TStartup{file, {"/s"}}), 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Unable to find Macromedia Shockwave Flash."));
    EXPECT_EQ(messages[0].title, QStringLiteral("Screen Saver"));
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);

    // Only the show creates the player: the options panel of the same package opens.
    ResetApplicationEnd();
    auto options = Create(file, {"/c"});
    EXPECT_FALSE(ApplicationEndRequested());
}

} // namespace
} // namespace pictorelle::test

// Ending the full-screen show: the input hook's rules on real events, F1 and F2, the password
// bracket, a running transition, and what closing opens.
#include "UiTest.h"
#include "package/TempFolder.h"
#include "platform/Application.h"
#include "platform/Cursor.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <filesystem>
#include <fstream>

namespace pictorelle::test {
namespace {

const QPoint kOrigin(300, 300);

class MainWindowExit : public UiTest {
protected:
    // A shown full-screen show whose pointer origin is kOrigin.
    std::unique_ptr<TSSWindow> StartShow(const PackageContent& content,
                                         const std::string& name = "show.scr") {
        QCursor::setPos(kOrigin);
        auto w = Create(WriteShow(content, name), {"/s"});
        w->show();
        EXPECT_EQ(w->Flags().MouseOrigin, kOrigin);
        return w;
    }
    static PackageContent Exits(bool move, bool button, bool keyboard, bool esc) {
        PackageContent c = BasicPackage();
        c.Header.ExitMouseMove = move;
        c.Header.ExitMouseButton = button;
        c.Header.ExitKeyboard = keyboard;
        c.Header.ExitESC = esc;
        return c;
    }
};

TEST_F(MainWindowExit, MoveOfFivePixelsKeepsTheShowSixEndIt) {
    auto w = StartShow(BasicPackage());
    for (QPoint p : {QPoint(305, 300), QPoint(295, 305), QPoint(305, 295), kOrigin}) {
        SendMouseMove(*w, p);
        ASSERT_TRUE(w->isVisible()) << p.x() << "," << p.y();
    }
    SendMouseMove(*w, QPoint(300, 306));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->ScreenSaverHost(), nullptr);
    EXPECT_FALSE(ApplicationEndRequested()); // the closed last window ends the program
}

TEST_F(MainWindowExit, WithOnlyEscOtherInputOnlyBringsThePointerBack) {
    auto w = StartShow(Exits(false, false, false, true));
    const int hidden = CursorShowCount();
    SendMouseMove(*w, QPoint(600, 600));
    SendMousePress(*w, Qt::LeftButton, QPoint(600, 600));
    SendKey(*w, Qt::Key_A);
    SendKey(*w, Qt::Key_F2);
    SendKey(*w, Qt::Key_Escape, Qt::AltModifier);
    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QCoreApplication::sendEvent(qApp, &inactive);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->Flags().CursorShown);
    EXPECT_EQ(CursorShowCount(), hidden + 1);

    SendKey(*w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowExit, ButtonsAndLeavingTheApplicationEndAMouseButtonShow) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        auto w = StartShow(Exits(false, true, false, false));
        SendKey(*w, Qt::Key_Escape);
        SendMouseMove(*w, QPoint(0, 0));
        ASSERT_TRUE(w->isVisible());
        SendMousePress(*w, button, QPoint(0, 0));
        EXPECT_FALSE(w->isVisible()) << button;
    }
    auto w = StartShow(Exits(false, true, false, false));
    QApplicationStateChangeEvent active(Qt::ApplicationActive);
    QCoreApplication::sendEvent(qApp, &active);
    ASSERT_TRUE(w->isVisible());
    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QCoreApplication::sendEvent(qApp, &inactive);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowExit, F2KeepsTheShowAndF1SwapsTheExitAddress) {
    PackageContent c = BasicPackage();
    c.Strings[StringId::ExitLinkAddress] = "https://exit.example/";
    c.Strings[StringId::F1LinkAddress] = "https://f1.example/";
    auto w = StartShow(c);
    SendKey(*w, Qt::Key_F2);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(addresses.opened.isEmpty());
    SendKey(*w, Qt::Key_F1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(addresses.opened, QStringList{QStringLiteral("https://f1.example/")});
}

TEST_F(MainWindowExit, ClosingOpensOnlyASafeExitAddressAndOnlyForTheShow) {
    struct Case {
        const char* exitLink;
        const char* f1Link;
        int key;
        QStringList expected;
    };
    const Case cases[] = {
        {"example.org/bye", "", Qt::Key_F1, {"http://example.org/bye"}},
        {"mailto:me@example.org", "", Qt::Key_Space, {"mailto:me@example.org"}},
        {"file:///etc/passwd", "", Qt::Key_Space, {}},
        {"", "https://f1.example/", Qt::Key_Space, {}},
    };
    for (const Case& k : cases) {
        addresses.opened.clear();
        PackageContent c = BasicPackage();
        c.Strings[StringId::ExitLinkAddress] = k.exitLink;
        c.Strings[StringId::F1LinkAddress] = k.f1Link;
        auto w = StartShow(c);
        SendKey(*w, k.key);
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(addresses.opened, k.expected) << k.exitLink;
    }

    // The options panel and the preview never open it.
    addresses.opened.clear();
    PackageContent c = BasicPackage();
    c.Strings[StringId::ExitLinkAddress] = "https://exit.example/";
    const std::string file = WriteShow(c);
    Create(file, {"/c"})->close();
    Create(file, {"/p:1"})->close();
    EXPECT_TRUE(addresses.opened.isEmpty());
}

TEST_F(MainWindowExit, ClosingDeletesTheShowsTemporaryFiles) {
    PackageContent c = BasicPackage();
    PackageEntry<MelodyRecord> melody;
    melody.Record.Ext = ".ogg";
    melody.Data.assign(16, 1);
    c.Melodies.push_back(melody);
    auto w = StartShow(c);
    const std::string data = TempFilePath("SSDATA.DAT");
    const std::string song = TempFilePath("SSSND", ".ogg");
    const std::string other = TempFilePath("SSIMG", ".png");
    for (const std::string& path : {data, song, other})
        std::ofstream(path) << "x";
    SendKey(*w, Qt::Key_Escape);
    ASSERT_FALSE(w->isVisible());
    EXPECT_FALSE(std::filesystem::exists(data));
    EXPECT_FALSE(std::filesystem::exists(song));
    EXPECT_TRUE(std::filesystem::exists(other)); // the rest goes with the folder at exit
}

TEST_F(MainWindowExit, ARunningTransitionIsStoppedBeforeTheWindowCloses) {
    auto w = StartShow(BasicPackage());
    w->TransitionState().TransitionRunning = true;
    SendKey(*w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->TransitionState().StopRequested);
    EXPECT_TRUE(w->TransitionState().SuppressFinalPaint);
    EXPECT_NE(w->ScreenSaverHost(), nullptr);

    // The transition's end asks again.
    w->TransitionState().TransitionRunning = false;
    w->FinishScreenSaver(true);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->ScreenSaverHost(), nullptr);
}

TEST_F(MainWindowExit, SuspendedInputIsIgnoredAndThePasswordBracketResumes) {
    auto w = StartShow(BasicPackage());
    w->Suspend();
    EXPECT_FALSE(w->SlideTimer().isActive());
    SendKey(*w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    w->Resume();
    EXPECT_TRUE(w->SlideTimer().isActive());
    EXPECT_FALSE(w->Flags().InputSuspended);

    // FinishScreenSaver without an exit asks nothing and keeps the show.
    w->FinishScreenSaver(false);
    EXPECT_TRUE(w->isVisible());
    SendKey(*w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->SlideTimer().isActive());
    EXPECT_TRUE(w->TransitionState().StopRequested);
}

TEST_F(MainWindowExit, APresentationEndsOnlyByEsc) {
    auto w = StartShow(BasicPackage(), "show.exe");
    ASSERT_TRUE(w->Flags().PresentationMode);
    SendMouseMove(*w, QPoint(900, 10));
    SendMousePress(*w, Qt::LeftButton, QPoint(900, 10));
    SendKey(*w, Qt::Key_Q);
    EXPECT_TRUE(w->isVisible());
    SendKey(*w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

} // namespace
} // namespace pictorelle::test

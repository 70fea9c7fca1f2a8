// The exit banner: its place and size, what a click, the glyph and Esc do, and that the show's
// close shows it once, in the full-screen show only, and only after a transition has ended.
#include "ShowTest.h"
#include "UiTest.h"
#include "platform/Application.h"
#include "windows/ExitWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace pictorelle::test {
namespace {

TEST(ExitBannerPlace, CentredByHalvesTowardZeroWithTheGlyphAtTheTopRight) {
    const QRect screen(0, 0, 1024, 768);
    EXPECT_EQ(ExitBannerGeometry(screen, 400, 300), QRect(312, 234, 400, 300));
    EXPECT_EQ(ExitBannerGeometry(screen, 401, 301), QRect(311, 233, 401, 301));
    // Larger than the screen: negative, rounded toward zero (not down).
    EXPECT_EQ(ExitBannerGeometry(screen, 1101, 869), QRect(-38, -50, 1101, 869));
    EXPECT_EQ(ExitBannerGeometry(QRect(1024, 0, 800, 600), 400, 300), QRect(1224, 150, 400, 300));
    EXPECT_EQ(CloseGlyphRect(400), QRect(370, 8, 21, 21));
}

class ExitWindowTest : public UiTest {
protected:
    std::unique_ptr<TExitWindow> Make(const std::string& link) {
        auto w = std::make_unique<TExitWindow>(
            link, [this](std::string_view a) { opened.emplace_back(a); });
        QImage banner =
            SolidImage(400, 300, QColor(200, 40, 40)).convertToFormat(QImage::Format_ARGB32);
        // Transparent corners: the outline and the white fill show through.
        banner.setPixel(0, 0, 0x00000000u);
        banner.setPixel(1, 1, 0x00000000u);
        w->LoadBanner(banner, kPrimaryScreen);
        w->show();
        return w;
    }
    std::vector<std::string> opened;
};

TEST_F(ExitWindowTest, TakesThePicturesSizeInTheMiddleWithAFramelessTopWindow) {
    auto w = Make("https://example.org/");
    EXPECT_EQ(w->geometry(), QRect(312, 234, 400, 300));
    EXPECT_EQ(w->imgClose->geometry(), QRect(370, 8, 21, 21));
    EXPECT_EQ(w->imgBanner->geometry(), QRect(0, 0, 400, 300));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w->isModal());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Exit Banner"));
    EXPECT_EQ(w->imgClose->toolTip(), QStringLiteral("Close"));
    EXPECT_EQ(w->imgClose->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w->imgBanner->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(Make("")->imgBanner->cursor().shape(), Qt::PointingHandCursor);

    const QImage shown = w->grab().toImage();
    EXPECT_EQ(QColor(shown.pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(shown.pixel(1, 1)), QColor(Qt::white));
    EXPECT_EQ(QColor(shown.pixel(200, 150)), QColor(200, 40, 40));
    EXPECT_NE(QColor(shown.pixel(380, 18)), QColor(200, 40, 40)); // the glyph
}

TEST_F(ExitWindowTest, AClickOnTheBannerOpensItsAddressAndClosesLinkOrNot) {
    auto w = Make("https://example.org/a b");
    QTest::mouseClick(w->imgBanner, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/a b"});
    EXPECT_FALSE(w->isVisible());

    opened.clear();
    auto plain = Make("");
    QTest::mouseClick(plain->imgBanner, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(plain->isVisible());
}

TEST_F(ExitWindowTest, TheGlyphAndEscCloseWithoutOpeningAndStrayInputDoesNothing) {
    auto w = Make("https://example.org/");
    // The release of the click that ended the show, a right click, a held-down key.
    QTest::mouseRelease(w->imgBanner, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseClick(w->imgBanner, Qt::RightButton, {}, QPoint(100, 100));
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(w.get(), &repeat);
    // Pressed on the banner, let go on the glyph: no click on either.
    QTest::mousePress(w->imgBanner, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseRelease(w->imgClose, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(opened.empty());

    QTest::mouseClick(w->imgClose, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(w->isVisible());
    auto byKey = Make("https://example.org/");
    QTest::keyClick(byKey.get(), Qt::Key_Escape);
    EXPECT_FALSE(byKey->isVisible());
    EXPECT_TRUE(opened.empty());
}

class ExitBannerAtClose : public UiTest {
protected:
    PackageContent WithBanner(const std::string& link) {
        PackageContent c = BasicPackage();
        c.Header.ExitBannerExt = ".png";
        c.ExitBanner = PngBytes(SolidImage(400, 300, QColor(10, 200, 30)));
        c.Strings[StringId::ExitLinkAddress] = "";
        c.Strings[StringId::ExitBannerLinkAddress] = link;
        return c;
    }

    // Watches for the banner while a modal loop runs: records where it appeared and clicks
    // its middle (or its glyph).
    void ClickBannerWhenShown(bool onGlyph = false, int waitMs = 5000) {
        QTimer::singleShot(50, [this, onGlyph, waitMs] {
            ProcessEventsUntil([&] { return Banner() != nullptr; }, waitMs);
            TExitWindow* banner = Banner();
            if (!banner) return;
            ++shown;
            where = banner->geometry();
            if (onGlyph)
                QTest::mouseClick(banner->imgClose, Qt::LeftButton, {}, QPoint(10, 10));
            else
                QTest::mouseClick(banner->imgBanner, Qt::LeftButton, {}, QPoint(200, 150));
        });
    }
    static TExitWindow* Banner() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* banner = dynamic_cast<TExitWindow*>(w); banner && banner->isVisible())
                return banner;
        return nullptr;
    }

    int shown = 0;
    QRect where;
};

TEST_F(ExitBannerAtClose, TheShowsCloseShowsItModallyAndItsClickOpensTheSafeAddress) {
    auto w = Create(WriteShow(WithBanner("https://banner.example/")), {"/s"});
    w->show();
    ClickBannerWhenShown();
    SendKey(*w, Qt::Key_Escape); // returns once the banner has closed
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(where, QRect(312, 234, 400, 300));
    EXPECT_EQ(addresses.opened, QStringList{QStringLiteral("https://banner.example/")});
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->Flags().ExitBannerShown);
    EXPECT_EQ(Banner(), nullptr);

    // A link the player must not follow is not opened; the banner still closes.
    addresses.opened.clear();
    shown = 0;
    auto unsafe = Create(WriteShow(WithBanner("file:///etc/passwd")), {"/s"});
    unsafe->show();
    ClickBannerWhenShown();
    SendKey(*unsafe, Qt::Key_Escape);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(addresses.opened.isEmpty());
}

TEST_F(ExitBannerAtClose, AStopDuringATransitionShowsItOnceAfterTheTransitionEnded) {
    auto w = Create(WriteShow(WithBanner("https://banner.example/")), {"/s"});
    w->show();
    w->TransitionState().TransitionRunning = true;
    SendKey(*w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(shown, 0);

    // The transition's end: the close and the end notification both ask for the banner.
    w->TransitionState().TransitionRunning = false;
    ClickBannerWhenShown(true);
    w->RestartTimer();
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(addresses.opened.isEmpty()); // closed by its glyph
    EXPECT_TRUE(w->Flags().ExitBannerShown);
}

TEST_F(ExitBannerAtClose, NoneInTheOptionsOrPreviewAndABrokenOneIsPassedOver) {
    const std::string file = WriteShow(WithBanner("https://banner.example/"));
    ClickBannerWhenShown(false, 1000);
    Create(file, {"/c"})->close();
    Create(file, {"/p:1"})->close();
    ProcessEventsUntil([] { return false; }, 1500);
    EXPECT_EQ(shown, 0);
    ResetApplicationEnd(); // the preview's close ended the application

    PackageContent broken = WithBanner("https://banner.example/");
    broken.ExitBanner.assign(500, 0x42);
    auto w = Create(WriteShow(broken), {"/s"});
    w->show();
    SendKey(*w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->Flags().ExitBannerShown);
    EXPECT_TRUE(addresses.opened.isEmpty());
}

} // namespace
} // namespace pictorelle::test

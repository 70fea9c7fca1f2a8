#include "UiTestApp.h"
#include "package/Translation.h"
#include "show/OptionsPanel.h"
#include "windows/AboutWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace pictorelle {
namespace {

class OptionsPanelTest : public ::testing::Test {
protected:
    void SetUp() override { FreeTranslationTable(); }
    void TearDown() override { FreeTranslationTable(); }
    // A click as the user makes it, so the panel's click handlers run.
    static void Click(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    }
    QApplication& app = test::UiApp(); // before any widget
    TOptionsPanel panel;
};

TEST_F(OptionsPanelTest, HasTheDesignedFrameAndControls) {
    EXPECT_EQ(panel.size(), QSize(513, 381));
    EXPECT_EQ(panel.PageControl->geometry(), QRect(10, 7, 399, 281));
    EXPECT_EQ(panel.btnClose->geometry(), QRect(418, 263, 83, 25));
    // The effect list shows whole rows, at most the designed 105 pixels, and never scrolls
    // sideways.
    const int frame = 2 * panel.lbEffects->frameWidth(), row = panel.lbEffects->sizeHintForRow(0);
    EXPECT_EQ(panel.lbEffects->width(), 209);
    EXPECT_LE(panel.lbEffects->height(), 105);
    EXPECT_EQ((panel.lbEffects->height() - frame) % row, 0);
    EXPECT_EQ(panel.lbEffects->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    ASSERT_EQ(panel.lbEffects->count(), 120);
    EXPECT_EQ(panel.lbEffects->item(0)->text(), "Slide From Up Left");
    EXPECT_EQ(panel.lbEffects->item(119)->text(), "Fade Unfold From Bottom");
    EXPECT_EQ(panel.btnAbout->text(), "About...");
    EXPECT_EQ(panel.rbSizeResize->text(), "&Resize to fit screen *");
    EXPECT_EQ(panel.PageControl->tabText(0), "General");
    EXPECT_EQ(panel.gbDualMonitor->title(), "Dual Monitor Support");
    EXPECT_FALSE(panel.gbPosition->isEnabled());
    EXPECT_EQ(panel.tbEffectSpeed->value(), 4);
    EXPECT_EQ(panel.Preview->ImgPT1.Width(), 119);
    EXPECT_EQ(panel.Preview->ImgPT2.Height(), 95);
    EXPECT_NE(panel.Preview->ImgPT1.Pixel(60, 40), panel.Preview->ImgPT2.Pixel(60, 40));
}

TEST_F(OptionsPanelTest, TranslatesCaptionsAndHidesTabs) {
    BuildTranslationTable("Screen Saver\r\nAbout=Info\r\nWebsite=Site\r\nGeneral=Allgemein\r\n"
                          "Fast=\r\nTwo=x\r\n&Mute sounds=Line#13two",
                          "Screen Saver");
    panel.RenameFormControls();
    EXPECT_EQ(panel.btnAbout->text(), "Info...");
    EXPECT_EQ(panel.btnWebsite->text(), "Site...");
    EXPECT_EQ(panel.PageControl->tabText(0), "Allgemein");
    EXPECT_EQ(panel.GroupBox10->title(), "Allgemein") << "one key serves two controls";
    EXPECT_EQ(panel.Label26->text(), "");
    EXPECT_EQ(panel.cbMute->text(), "Line\r\ntwo");
    EXPECT_EQ(panel.btnClose->text(), "Close");

    PackageHeader h;
    h.AllowOwnPlaylist = true;
    h.HideSoundTab = true;
    h.HideGeneralTab = true;
    panel.ApplyPackageRules(h, 2, 1);
    EXPECT_FALSE(panel.PageControl->isTabVisible(0));
    EXPECT_TRUE(panel.PageControl->isTabVisible(1));
    EXPECT_FALSE(panel.PageControl->isTabVisible(3));
    EXPECT_TRUE(panel.gbDualMonitor->isHidden());
    panel.ApplyPackageRules(h, 2, 2);
    EXPECT_FALSE(panel.gbDualMonitor->isHidden());
}

TEST_F(OptionsPanelTest, KeepsAtLeastOneExitCondition) {
    SaverSettings s;
    s.ExitMouseMove = s.ExitMouseButton = s.ExitKeyboard = false;
    s.ExitESC = true;
    panel.ShowSettings(s);
    Click(panel.cbExitEscape);
    EXPECT_TRUE(panel.cbExitEscape->isChecked()) << "the last one is checked again";
    Click(panel.cbExitKeyboard);
    Click(panel.cbExitEscape);
    EXPECT_FALSE(panel.cbExitEscape->isChecked());
    EXPECT_TRUE(panel.cbExitKeyboard->isChecked());
}

TEST_F(OptionsPanelTest, StoresSizeAndPositionCodes) {
    SaverSettings s;
    panel.ShowSettings(s);
    Click(panel.rbSizeNone);
    EXPECT_TRUE(panel.gbPosition->isEnabled());
    Click(panel.rbPosRandom);
    EXPECT_EQ(panel.CollectSettings(s).Stretch, 3);
    Click(panel.rbSizeResize);
    EXPECT_FALSE(panel.gbPosition->isEnabled());
    EXPECT_EQ(panel.CollectSettings(s).Stretch, 0) << "the position only counts while enabled";
    Click(panel.rbSizeResizeBig);
    EXPECT_EQ(panel.CollectSettings(s).Stretch, 5);

    for (int stretch : {0, 1, 2, 3, 4, 5}) {
        s.Stretch = stretch;
        panel.ShowSettings(s);
        EXPECT_EQ(panel.CollectSettings(s).Stretch, stretch);
    }
    s.Stretch = 9; // unknown: the selection stays as it was
    panel.ShowSettings(s);
    EXPECT_EQ(panel.CollectSettings(s).Stretch, 5);
}

TEST_F(OptionsPanelTest, KeepsAnUnknownOrderUntilTheUserChooses) {
    SaverSettings s;
    s.DisplayOrder = 7;
    panel.ShowSettings(s);
    EXPECT_TRUE(panel.rbSequential->isChecked());
    EXPECT_EQ(panel.CollectSettings(s).DisplayOrder, 7);
    Click(panel.rbMixed);
    EXPECT_EQ(panel.CollectSettings(s).DisplayOrder, 2);
    Click(panel.rbSequential);
    EXPECT_EQ(panel.CollectSettings(s).DisplayOrder, 0);
}

TEST_F(OptionsPanelTest, CutsTypedFractionsOfSeconds) {
    panel.edSeconds->selectAll();
    QTest::keyClicks(panel.edSeconds, "7.9");
    EXPECT_EQ(panel.CollectSettings({}).Seconds, 7);
}

TEST_F(OptionsPanelTest, EffectsRoundTripThroughTheChecklist) {
    SaverSettings s;
    s.Effect = "\x46\x01\x46";
    s.EffectSpeed = 9;
    panel.ShowSettings(s);
    EXPECT_EQ(panel.lbEffects->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(panel.lbEffects->item(69)->checkState(), Qt::Checked);
    EXPECT_EQ(panel.CollectSettings(s).Effect, "\x01\x46");
    EXPECT_EQ(panel.CollectSettings(s).EffectSpeed, 9);
    Click(panel.btnSelectAll);
    EXPECT_EQ(panel.CollectSettings(s).Effect.size(), 120u);
    Click(panel.btnSelectNone);
    EXPECT_EQ(panel.CollectSettings(s).Effect, "");
}

TEST_F(OptionsPanelTest, PlaylistRulesFollowThePackage) {
    PackageHeader h;
    h.AllowOwnPlaylist = true;
    panel.ApplyPackageRules(h, 0, 1);
    EXPECT_TRUE(panel.rbPlayMyOwn->isChecked()) << "no melodies: the user's own list";
    EXPECT_FALSE(panel.rbPlayBuiltIn->isEnabled());

    TOptionsPanel noOwn;
    h.AllowOwnPlaylist = false;
    noOwn.ApplyPackageRules(h, 3, 1);
    EXPECT_EQ(noOwn.gbPlaylist->height(), 95);
    EXPECT_TRUE(noOwn.rbPlayMyOwn->isHidden());
    EXPECT_TRUE(noOwn.btnPlaylistEditor->isHidden());
    EXPECT_EQ(noOwn.gbPlaylist->height() - noOwn.cbLoop->y(), 75) << "anchored to the bottom";

    TOptionsPanel oneMelody;
    oneMelody.ApplyPackageRules(h, 1, 1);
    EXPECT_EQ(oneMelody.gbPlaylist->height(), 111);
    EXPECT_TRUE(oneMelody.cbShuffle->isHidden());
    EXPECT_TRUE(oneMelody.cbPlayOneRandom->isHidden());
    EXPECT_FALSE(oneMelody.cbLoop->isHidden());
}

TEST_F(OptionsPanelTest, BannerStripComesAndGoesWithTheBanner) {
    panel.ShowBanner(QImage(), false);
    EXPECT_EQ(panel.height(), 381 - 69 - 15);
    EXPECT_TRUE(panel.BannerPlaceHolderPanel->isHidden());
    EXPECT_EQ(panel.ConfigControlsPanel->y(), 0);

    TOptionsPanel withBanner;
    QImage banner(400, 50, QImage::Format_ARGB32);
    banner.fill(Qt::red);
    withBanner.ShowBanner(banner, true);
    EXPECT_EQ(withBanner.height(), 381 - 15);
    EXPECT_EQ(withBanner.imgBanner->cursor().shape(), Qt::PointingHandCursor);
    int clicks = 0;
    QObject::connect(&withBanner, &TOptionsPanel::bannerClicked, [&] { ++clicks; });
    QTest::mouseClick(withBanner.imgBanner, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
}

// Clicking an effect previews it within a few timer ticks, alternating the sample pictures;
// a click during a preview stops it and the next tick starts the newly highlighted effect.
TEST_F(OptionsPanelTest, PreviewsTheHighlightedEffect) {
    panel.StartEffectPreview();
    EXPECT_TRUE(panel.Preview->tmrPreviewTrans->isActive());
    EXPECT_EQ(panel.Preview->tmrPreviewTrans->interval(), 200);
    EXPECT_EQ(panel.Preview->ImgPreviewTrans->Bitmap().Pixel(60, 40),
              panel.Preview->ImgPT2.Pixel(60, 40));

    auto clickEffect = [&](int row) {
        panel.lbEffects->setCurrentRow(row);
        const QRect r = panel.lbEffects->visualItemRect(panel.lbEffects->item(row));
        QTest::mouseClick(panel.lbEffects->viewport(), Qt::LeftButton, {}, r.center());
    };
    panel.lbEffects->scrollToItem(panel.lbEffects->item(68));
    clickEffect(68); // Box Out
    EXPECT_TRUE(panel.Preview->PreviewPending);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return panel.Preview->PreviewTransition.TransitionRunning.load(); }, 5000));
    EXPECT_TRUE(panel.Preview->PreviewToggle) << "the next preview ends on the other picture";
    clickEffect(69); // stops the running one; the next tick previews Box In
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.Preview->PreviewPending; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !panel.Preview->PreviewTransition.TransitionRunning.load(); }, 10000));
    EXPECT_FALSE(panel.Preview->PreviewToggle);
    EXPECT_EQ(panel.Preview->ImgPreviewTrans->Bitmap().Pixel(60, 40),
              panel.Preview->ImgPT2.Pixel(60, 40))
        << "the second preview ends on the second sample";
}

TEST_F(OptionsPanelTest, AboutWindowShowsThePackageAndTranslates) {
    BuildTranslationTable("Screen Saver\r\nAbout=Info\r\nClose=Shut", "Screen Saver");
    StringBlock strings;
    strings[StringId::AboutText] = "Line one\r\nCaf\u00e9";
    QString opened;
    TAboutWindow about(strings, [&](const QString& a) { opened = a; });
    about.show();
    EXPECT_EQ(about.size(), QSize(354, 211));
    EXPECT_EQ(about.windowTitle(), "Info");
    EXPECT_EQ(about.btnClose->text(), "Shut");
    EXPECT_EQ(about.Title->text(), "Screen Saver") << "an empty title keeps the designed caption";
    EXPECT_EQ(about.Text->text(), QString::fromUtf8("Line one\nCaf\u00e9")) << "a line break";
    EXPECT_FALSE(about.Link->isVisible()) << "no address, no link";
    about.close();

    strings[StringId::SaverTitle] = "<i>Tom</i> & Jerry: a < b > c";
    strings[StringId::WebsiteAddress] = "example.org";
    TAboutWindow linked(strings, [&](const QString& a) { opened = a; });
    linked.show();
    EXPECT_EQ(linked.Title->text(), "<i>Tom</i> & Jerry: a < b > c");
    for (const QLabel* label : {linked.Title, linked.Text, linked.Link})
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << "never read as markup";
    EXPECT_EQ(linked.Bevel1->geometry(), QRect(8, 164, 337, 1));
    ASSERT_TRUE(linked.Link->isVisible());
    QTest::mouseClick(linked.Link, Qt::LeftButton);
    EXPECT_EQ(opened, "example.org");
}

// Return, keypad Enter and Esc close the panel from whatever control has the focus; Tab runs
// from the tabs through the page to the buttons; the seconds label's mnemonic reaches its box.
TEST_F(OptionsPanelTest, KeysCloseThePanelFromAnyControlAndTabRunsThroughThePage) {
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    int closed = 0;
    QObject::connect(&panel, &TOptionsPanel::closeClicked, [&] { ++closed; });
    const std::pair<QWidget*, Qt::Key> presses[] = {
        {panel.edSeconds, Qt::Key_Return},
        {panel.rbSequential, Qt::Key_Escape},
        {panel.PageControl->tabBar(), Qt::Key_Return},
        {panel.lbEffects, Qt::Key_Escape},
    };
    for (const auto& [widget, key] : presses) {
        for (QWidget* page : {panel.tsGeneral, panel.tsEffects})
            if (page->isAncestorOf(widget)) panel.PageControl->setCurrentWidget(page);
        widget->setFocus();
        QTest::keyClick(widget, key);
    }
    QTest::keyClick(panel.edSeconds, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(closed, 5);

    // The next control Tab gives the focus to.
    auto next = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()));
        return w;
    };
    panel.PageControl->setCurrentWidget(panel.tsGeneral);
    EXPECT_EQ(next(panel.PageControl->tabBar()), panel.edSeconds);
    EXPECT_EQ(next(panel.btnAbout), panel.btnWebsite);
    EXPECT_EQ(panel.Label12->buddy(), panel.edSeconds);
    EXPECT_EQ(panel.Label12->textFormat(), Qt::PlainText);
}

// A translated group title with a line break shows both lines, above the group's controls.
TEST_F(OptionsPanelTest, AGroupTitleOfTwoLinesMakesRoomForItself) {
    const int boxTop = panel.cbMute->y();
    BuildTranslationTable("Screen Saver\r\nGeneral=Sound and#13music", "Screen Saver");
    panel.RenameFormControls();
    auto* title = panel.GroupBox10->findChild<QLabel*>("groupTitle");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Sound and\nmusic");
    EXPECT_GT(panel.cbMute->y(), boxTop);
    EXPECT_GE(panel.cbMute->y(), title->geometry().bottom());
    panel.RenameFormControls(); // again: nothing moves further
    EXPECT_EQ(panel.cbMute->y() - boxTop, panel.GroupBox10->fontMetrics().height());
    FreeTranslationTable();
}

// A click on an effect's check box highlights the row and asks for its preview; the program's
// own checks (the stored selection, Select All) do neither.
TEST_F(OptionsPanelTest, CheckingAnEffectHighlightsAndPreviewsIt) {
    panel.btnSelectAll->click();
    EXPECT_FALSE(panel.Preview->PreviewPending);
    panel.lbEffects->setCurrentRow(0);
    panel.lbEffects->item(40)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(panel.lbEffects->currentRow(), 40);
    EXPECT_TRUE(panel.Preview->PreviewPending);
}

} // namespace
} // namespace pictorelle

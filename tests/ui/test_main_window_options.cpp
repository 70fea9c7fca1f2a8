// The main window as the options panel: the package's translations, hidden tabs and banner,
// the user's stored settings, the buttons, and what closing writes back.
#include "UiTest.h"
#include "package/TempFolder.h"
#include "platform/Application.h"
#include "platform/store/SqliteRegistry.h"
#include "show/OptionsPanel.h"

#include <QBuffer>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

namespace pictorelle::test {
namespace {

const char* const kKey = "Software\\Pictorelle\\Caf\u00e9 Show";

class MainWindowOptions : public UiTest {
protected:
    SqliteRegistry Store() const { return SqliteRegistry(SqliteRegistry::DefaultPath()); }
};

TEST_F(MainWindowOptions, TranslatesCaptionsAndHidesTabsFromThePackage) {
    PackageContent c = BasicPackage();
    c.Strings[StringId::InterfaceTexts] = "Screen Saver\r\nClose=Shut\r\nAbout=Info\r\nFast=";
    c.Header.HideSoundTab = true;
    auto w = Create(WriteShow(c), {"/c"});
    ASSERT_FALSE(ApplicationEndRequested());
    EXPECT_EQ(w->OptionsPanel()->btnClose->text(), "Shut");
    EXPECT_EQ(w->OptionsPanel()->btnAbout->text(), "Info...");
    EXPECT_EQ(w->OptionsPanel()->Label26->text(), "");
    EXPECT_FALSE(w->OptionsPanel()->PageControl->isTabVisible(3));
    EXPECT_TRUE(w->OptionsPanel()->PageControl->isTabVisible(2));
    EXPECT_TRUE(w->OptionsPanel()->btnWebsite->isHidden()) << "no address, no button";
    EXPECT_TRUE(w->OptionsPanel()->Preview->tmrPreviewTrans->isActive());
}

// A package whose texts are UTF-8: the title, the translations and the user's key all carry
// what Windows-1252 could not.
TEST_F(MainWindowOptions, AUtf8PackageTitlesTranslatesAndKeysTheStoreInItsOwnLetters) {
    const std::string title = "\u041F\u043E\u0435\u0437\u0434\u043A\u0430 \u65C5";
    PackageContent c = BasicPackage();
    c.Header.TextCodePage = kCodePageUtf8;
    c.Strings[StringId::SaverTitle] = title;
    c.Strings[StringId::InterfaceTexts] =
        "Screen Saver\r\nClose=\u0417\u0430\u043A\u0440\u044B\u0442\u044C";
    auto w = Create(WriteShow(c), {"/c"});
    ASSERT_FALSE(ApplicationEndRequested());
    EXPECT_EQ(w->windowTitle(), QString::fromStdString(title));
    EXPECT_EQ(ApplicationTitle(), QString::fromStdString(title));
    EXPECT_EQ(w->OptionsPanel()->btnClose->text(),
              QString::fromUtf8("\u0417\u0430\u043A\u0440\u044B\u0442\u044C"));
    QTest::mouseClick(w->OptionsPanel()->btnClose, Qt::LeftButton);
    EXPECT_EQ(Store().ReadAllValues("Software\\Pictorelle\\" + title).size(), 16u);
}

TEST_F(MainWindowOptions, ClosingWritesAllValuesAndKeepsAnUnknownOrder) {
    {
        SqliteRegistry store = Store();
        RegistryKey(store, kKey).WriteInteger("DisplayOrder", 7);
        RegistryKey(store, kKey).WriteInteger("Seconds", 9);
    }
    auto w = Create(WriteShow(BasicPackage()), {"/c"});
    EXPECT_EQ(w->OptionsPanel()->edSeconds->value(), 9);
    EXPECT_TRUE(w->OptionsPanel()->rbSequential->isChecked());
    QTest::mouseClick(w->OptionsPanel()->btnClose, Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());

    SqliteRegistry store = Store();
    const auto values = store.ReadAllValues(kKey);
    EXPECT_EQ(values.size(), 16u);
    RegistryKey key(store, kKey);
    EXPECT_EQ(key.ReadInteger("DisplayOrder"), 7);
    EXPECT_EQ(key.ReadInteger("Seconds"), 9);
    EXPECT_EQ(key.ReadString("Effect"), std::string()) << "the package selected no effects";
    EXPECT_EQ(key.ReadInteger("UseCustomPlaylist"), 1) << "a package without melodies";
}

TEST_F(MainWindowOptions, FullScreenAndPreviewNeverWriteSettings) {
    const std::string file = WriteShow(BasicPackage());
    Create(file, {"/s"})->close();
    Create(file, {"/p:1"})->close();
    EXPECT_FALSE(Store().KeyExists(kKey));
}

// A stored value of the wrong type neither stops the show nor locks the user out of the
// panel: the show's own value stands in for it, one line names it, and closing the panel
// stores a good one over it.
TEST_F(MainWindowOptions, AStoredValueOfTheWrongTypeKeepsTheShowsOwnUntilThePanelMendsIt) {
    {
        SqliteRegistry store = Store();
        RegistryKey(store, kKey).WriteString("Seconds", "10");
        RegistryKey(store, kKey).WriteInteger("Effect", 3);
        RegistryKey(store, kKey).WriteInteger("DisplayOrder", 2);
    }
    const std::string file = WriteShow(BasicPackage());
    testing::internal::CaptureStderr();
    auto show = Create(file, {"/s"});
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ApplicationEndRequested());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(show->CurrentSettings().Seconds, 5) << "the package's value";
    EXPECT_EQ(show->CurrentSettings().DisplayOrder, 2) << "the good values still count";
    EXPECT_NE(said.find("Ignoring the stored setting Seconds,"), std::string::npos) << said;
    EXPECT_NE(said.find("Ignoring the stored setting Effect,"), std::string::npos) << said;
    show->close();
    show.reset();

    auto panel = Create(file, {"/c"});
    ASSERT_FALSE(ApplicationEndRequested());
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(panel->OptionsPanel()->edSeconds->value(), 5);
    QTest::mouseClick(panel->OptionsPanel()->btnClose, Qt::LeftButton);
    SqliteRegistry store = Store();
    RegistryKey key(store, kKey);
    EXPECT_EQ(key.ReadInteger("Seconds"), 5);
    EXPECT_EQ(key.ReadString("Effect"), std::string());
    EXPECT_EQ(key.ReadInteger("DisplayOrder"), 2);
}

TEST_F(MainWindowOptions, BannerShowsAndOpensItsLink) {
    QImage picture(470, 62, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer bmp;
    bmp.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&bmp, "BMP"));
    PackageContent c = BasicPackage();
    c.Banner.assign(bmp.data().begin(), bmp.data().end());
    c.Strings[StringId::BannerLinkAddress] = "https://banner.example/";
    c.Strings[StringId::WebsiteAddress] = "example.org";
    auto w = Create(WriteShow(c), {"/c"});
    EXPECT_EQ(w->height(), 381 - 15);
    EXPECT_FALSE(w->OptionsPanel()->BannerPlaceHolderPanel->isHidden());
    EXPECT_EQ(w->OptionsPanel()->imgBanner->pixmap().size(), QSize(470, 62));
    EXPECT_FALSE(std::filesystem::exists(TempFilePath("SSIMGkk.BMP")));

    QTest::mouseClick(w->OptionsPanel()->imgBanner, Qt::LeftButton);
    QTest::mouseClick(w->OptionsPanel()->btnWebsite, Qt::LeftButton);
    QTest::mouseClick(w->OptionsPanel()->btnWebsite, Qt::LeftButton);
    EXPECT_EQ(addresses.opened,
              QStringList({"https://banner.example/", "http://example.org", "http://example.org"}));
    EXPECT_EQ(w->Data().Strings[StringId::WebsiteAddress], "http://example.org")
        << "the completed address stays for the About link";
}

} // namespace
} // namespace pictorelle::test

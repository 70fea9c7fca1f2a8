#include "UiTest.h"
#include "package/Translation.h"
#include "platform/Application.h"
#include "platform/store/SqliteRegistry.h"
#include "show/OptionsPanel.h"
#include "sound/PlaylistWindow.h"
#include "sound/engine/AudioFormats.h"
#include "sound/engine/CustomPlaylist.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <fstream>

namespace pictorelle {
namespace {

using Lines = std::vector<std::string>;

class PlaylistWindowTest : public test::UiTest {
protected:
    void SetUp() override {
        test::UiTest::SetUp();
        FreeTranslationTable();
        // The preview player must not reach a sound server the machine may run.
        ::setenv("PULSE_SERVER", "unix:/nonexistent/pictorelle", 1);
        ::setenv("PIPEWIRE_REMOTE", "/nonexistent/pictorelle", 1);
        store = std::make_unique<SqliteRegistry>(dir + "/registry.db");
    }
    void TearDown() override {
        FreeTranslationTable();
        store.reset();
        test::UiTest::TearDown();
    }
    void Store(const Lines& lines) {
        std::vector<RegistryValue> values;
        for (size_t i = 0; i < lines.size(); ++i)
            values.push_back({PlaylistValueName(i), lines[i]});
        store->WriteValues(key, values);
    }
    bool Stored(size_t n) { return store->ReadValue(key, PlaylistValueName(n)).has_value(); }
    std::string File(const std::string& name) {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << "RIFF";
        return path;
    }
    static void Click(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    }
    // Remove, Remove All, up, down, play and stop share one state.
    static std::vector<bool> ListButtons(const TPlaylistWindow& w) {
        return {w.btnMelodyDelete->isEnabled(), w.btnMelodyDelAll->isEnabled(),
                w.btnMelodyUp->isEnabled(),     w.btnMelodyDown->isEnabled(),
                w.btnPlay->isEnabled(),         w.btnStop->isEnabled()};
    }

    std::unique_ptr<SqliteRegistry> store;
    const std::string key = PlaylistKeyPath("Show");
};

const std::vector<bool> kAllOn(6, true);
const std::vector<bool> kAllOff(6, false);

TEST_F(PlaylistWindowTest, CreatedWithItsCaptionsSizeAndFilter) {
    BuildTranslationTable("Screen Saver\r\nMy Playlist=Meine Liste\r\nRemove All=Alle weg\r\n"
                          "Sound Preview=Vorh\xC3\xB6ren",
                          "Screen Saver");
    TPlaylistWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Meine Liste"));
    EXPECT_EQ(w.btnMelodyDelAll->text(), QStringLiteral("Alle weg"));
    EXPECT_EQ(w.lblSoundPreview->text(), QString::fromUtf8("Vorh\xC3\xB6ren"));
    // Keys without a translation keep their English text.
    EXPECT_EQ(w.btnMelodyAdd->text(), QStringLiteral("Add"));
    EXPECT_EQ(w.btnMelodyDelete->text(), QStringLiteral("Remove"));
    EXPECT_EQ(w.btnClose->text(), QStringLiteral("Close"));
    EXPECT_EQ(w.size(), QSize(486, 320));
    EXPECT_EQ(ListButtons(w), kAllOff);
    EXPECT_TRUE(w.btnMelodyAdd->isEnabled());
    EXPECT_FALSE(w.btnPlay->icon().isNull());
    EXPECT_EQ(w.OpenMelodyDlg->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(w.OpenMelodyDlg->nameFilters(), TPlaylistWindow::kMelodyFilter);
}

// The Add dialog's filters are written the way a Linux dialog reads them, and the first one
// lets through every kind of sound file the show plays.
TEST_F(PlaylistWindowTest, TheAddDialogOffersEverySoundTheShowPlays) {
    const QStringList filters = TPlaylistWindow::kMelodyFilter;
    ASSERT_GT(filters.size(), 1);
    auto patterns = [](const QString& filter) {
        const qsizetype open = filter.indexOf('(');
        EXPECT_EQ(filter.count('('), 1) << filter.toStdString();
        EXPECT_FALSE(filter.contains(';')) << filter.toStdString();
        return filter.mid(open + 1, filter.indexOf(')') - open - 1).split(' ');
    };
    EXPECT_TRUE(filters.first().startsWith("Audio Files ("));
    const QStringList all = patterns(filters.first());
    for (const char* name :
         {"a.mid", "a.midi", "a.mp3", "a.wav", "a.wma", "a.ogg", "a.flac", "a.m4a", "a.opus"}) {
        EXPECT_TRUE(QDir::match(all, name)) << name;
        EXPECT_TRUE(IsAudioFileName(name)) << name;
    }
    EXPECT_FALSE(QDir::match(all, "notes.txt"));
    EXPECT_FALSE(QDir::match(all, "wma")) << "every pattern keeps its dot";
    // One entry per kind, together holding exactly the patterns of the first.
    QStringList kinds;
    for (qsizetype i = 1; i < filters.size(); ++i)
        kinds << patterns(filters[i]);
    EXPECT_EQ(kinds, all);
}

TEST_F(PlaylistWindowTest, EmptyStoredEntriesAreNotShownAndTheFirstLineIsSelected) {
    Store({"/a.mp3", "", "/c.wav"});
    TPlaylistWindow w;
    w.LoadCustomPlayList(*store, key);
    EXPECT_EQ(w.Lines(), (Lines{"/a.mp3", "/c.wav"}));
    EXPECT_EQ(w.lbMelodies->currentRow(), 0);
    EXPECT_EQ(ListButtons(w), kAllOn);

    // Saving writes the shown lines back without the hole.
    ASSERT_TRUE(w.SaveCustomPlayList(*store, key));
    EXPECT_EQ(LoadCustomPlayListNoWindow(*store, key), (Lines{"/a.mp3", "/c.wav"}));
}

TEST_F(PlaylistWindowTest, ShrinkingAStoredListOfFiveToTwo) {
    Store({"/1.mp3", "/2.mp3", "/3.mp3", "/4.mp3", "/5.mp3"});
    TPlaylistWindow w;
    w.LoadCustomPlayList(*store, key);
    w.lbMelodies->setCurrentRow(4);
    for (int i = 0; i < 3; ++i)
        Click(w.btnMelodyDelete);
    EXPECT_EQ(w.Lines(), (Lines{"/1.mp3", "/2.mp3"}));
    ASSERT_TRUE(w.SaveCustomPlayList(*store, key));
    EXPECT_FALSE(Stored(2));
    EXPECT_TRUE(Stored(3));
    EXPECT_TRUE(Stored(4));
    EXPECT_EQ(LoadCustomPlayListNoWindow(*store, key).size(), 2u);
}

TEST_F(PlaylistWindowTest, RemovingKeepsASelectionUntilTheListIsEmpty) {
    Store({"/a.mp3", "/b.mp3", "/c.mp3"});
    TPlaylistWindow w;
    w.LoadCustomPlayList(*store, key);
    w.lbMelodies->setCurrentRow(1);
    Click(w.btnMelodyDelete); // the line after it moves into its place
    EXPECT_EQ(w.Lines(), (Lines{"/a.mp3", "/c.mp3"}));
    EXPECT_EQ(w.lbMelodies->currentRow(), 1);
    Click(w.btnMelodyDelete); // the last line: the new last one is selected
    EXPECT_EQ(w.Lines(), (Lines{"/a.mp3"}));
    EXPECT_EQ(w.lbMelodies->currentRow(), 0);
    EXPECT_EQ(ListButtons(w), kAllOn);
    Click(w.btnMelodyDelete); // the only line
    EXPECT_TRUE(w.Lines().empty());
    EXPECT_EQ(ListButtons(w), kAllOff);
    EXPECT_TRUE(w.btnMelodyAdd->isEnabled());
    EXPECT_TRUE(w.btnClose->isEnabled());

    Store({"/a.mp3", "/b.mp3"});
    w.LoadCustomPlayList(*store, key);
    Click(w.btnMelodyDelAll);
    EXPECT_TRUE(w.Lines().empty());
    EXPECT_EQ(ListButtons(w), kAllOff);
}

TEST_F(PlaylistWindowTest, UpAndDownMoveTheSelectedLineWithinTheList) {
    Store({"/a.mp3", "/b.mp3", "/c.mp3"});
    TPlaylistWindow w;
    w.LoadCustomPlayList(*store, key);
    Click(w.btnMelodyUp); // the first line stays first
    EXPECT_EQ(w.Lines(), (Lines{"/a.mp3", "/b.mp3", "/c.mp3"}));
    Click(w.btnMelodyDown);
    Click(w.btnMelodyDown);
    EXPECT_EQ(w.Lines(), (Lines{"/b.mp3", "/c.mp3", "/a.mp3"}));
    EXPECT_EQ(w.lbMelodies->currentRow(), 2);
    Click(w.btnMelodyDown); // the last line stays last
    EXPECT_EQ(w.Lines(), (Lines{"/b.mp3", "/c.mp3", "/a.mp3"}));
    Click(w.btnMelodyUp);
    EXPECT_EQ(w.Lines(), (Lines{"/b.mp3", "/a.mp3", "/c.mp3"}));
    EXPECT_EQ(w.lbMelodies->currentRow(), 1);
}

TEST_F(PlaylistWindowTest, ThreeFilesChosenInOneAddAreAppendedInTheDialogsOrder) {
    const std::string first = File("one.wav"), second = File("two.mp3"), third = File("three.mid");
    Store({"/old.mp3"});
    TPlaylistWindow w;
    w.LoadCustomPlayList(*store, key);
    // Answer the real dialog as a user would: three names typed into its file name box.
    w.RunOpenMelodyDlg = [&](QFileDialog& dialog) {
        dialog.setDirectory(QString::fromStdString(dir));
        QTimer::singleShot(0, &dialog, [&dialog] {
            auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText("\"one.wav\" \"two.mp3\" \"three.mid\"");
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        return dialog.exec() == QDialog::Accepted;
    };
    Click(w.btnMelodyAdd);
    EXPECT_EQ(w.Lines(), (Lines{"/old.mp3", first, second, third}));
    EXPECT_EQ(w.OpenMelodyDlg->directory().absolutePath(), QString::fromStdString(dir));

    // A cancelled dialog adds nothing.
    w.RunOpenMelodyDlg = [](QFileDialog&) { return false; };
    Click(w.btnMelodyAdd);
    EXPECT_EQ(w.Lines().size(), 4u);
}

TEST_F(PlaylistWindowTest, PreviewPlaysAnExistingFileAndReportsAMissingOne) {
    Store({"/nowhere/gone.mp3", File("tone.wav")});
    TPlaylistWindow w;
    w.LoadCustomPlayList(*store, key);
    Click(w.btnPlay);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Specified file does not exist."));
    EXPECT_EQ(messages[0].title, QStringLiteral("Screen Saver"));
    EXPECT_EQ(messages[0].icon, QMessageBox::Critical);
    EXPECT_FALSE(w.MPlay->Playing());

    w.lbMelodies->setCurrentRow(1);
    Click(w.btnPlay);
    EXPECT_EQ(w.MPlay->FileName(), w.Lines()[1]);
    EXPECT_TRUE(w.MPlay->Playing());
    Click(w.btnStop);
    EXPECT_FALSE(w.MPlay->Playing());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(PlaylistWindowTest, OptionsPanelButtonEditsTheStoredList) {
    SetApplicationTitle(QString::fromUtf8("Caf\xC3\xA9 Show"));
    SqliteRegistry user(SqliteRegistry::DefaultPath());
    const std::string userKey = PlaylistKeyPath("Caf\xC3\xA9 Show");
    const std::vector<RegistryValue> stored = {{"item0", std::string("/a.mp3")},
                                               {"item1", std::string("/b.mp3")}};
    user.WriteValues(userKey, stored);

    TOptionsPanel panel;
    ASSERT_TRUE(panel.btnPlaylistEditor->isEnabled());
    Lines shown;
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<TPlaylistWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        shown = editor->Lines();
        editor->lbMelodies->setCurrentRow(0);
        editor->btnMelodyDeleteClick();
        editor->btnCloseClick();
    });
    Click(panel.btnPlaylistEditor);
    EXPECT_EQ(shown, (Lines{"/a.mp3", "/b.mp3"}));
    EXPECT_EQ(LoadCustomPlayListNoWindow(user, userKey), (Lines{"/b.mp3"}));
}

} // namespace
} // namespace pictorelle

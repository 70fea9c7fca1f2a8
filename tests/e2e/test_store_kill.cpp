// The settings store and the temporary folder when a show is killed or its store is spoilt:
// an options panel killed while it saves leaves the old values or the new ones, never a mix;
// a store the show cannot use (locked, spoilt) leaves the show on its own defaults with one
// line saying why;
// no temporary folder outlives a show, and one left by SIGKILL goes at the next start.
#include "PlayerFixture.h"
#include "platform/store/SqliteRegistry.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <sqlite3.h>
#include <thread>

namespace pictorelle::test {
namespace {

const char* const kKey = "Software\\Pictorelle\\E2E Show";

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::string Bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class StoreOnDisplay : public PlayerOnDisplay {
protected:
    std::string StorePath() const { return dir / "config/pictorelle/registry.db"; }

    std::string Integrity() const {
        sqlite3* db = nullptr;
        std::string result = "cannot open";
        if (sqlite3_open_v2(StorePath().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW)
                result = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return result;
    }

    // Clicks the panel's Close button.
    void ClickClose(const std::string& window) {
        const auto info = x.Info(window);
        ASSERT_TRUE(info);
        x.MoveMouse(info->x + 418 + 40, info->y + 263 + 12);
        x.Click(1);
    }
};

// Killed at random moments around its save, many times over: the store stays sound and holds
// either the three values written before or all sixteen of the panel's save.
TEST_F(StoreOnDisplay, AnOptionsPanelKilledWhileSavingLeavesOldOrNewValues) {
    const std::string show = MakeShow(ShowContent());
    std::mt19937 random(2024);
    int old = 0, saved = 0;
    for (int round = 0; round < 16; ++round) {
        {
            SqliteRegistry store(StorePath());
            store.ReplaceValues(kKey, std::vector<RegistryValue>{
                                          {"Seconds", int32_t{7}},
                                          {"Loop", int32_t{0}},
                                          {"Mute", int32_t{1}},
                                      });
        }
        auto panel = Start(show, {"/c"});
        const std::string window = WaitForWindow(kTitleRegex);
        ASSERT_FALSE(window.empty()) << panel->Err();
        // The click travels through xdotool and the X server; the kill races it from the moment
        // it is sent, so some rounds end before the save, some inside it, some after it.
        const auto info = x.Info(window);
        ASSERT_TRUE(info);
        std::thread click([&] {
            x.MoveMouse(info->x + 418 + 40, info->y + 263 + 12);
            x.Click(1);
        });
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 25000)(random)));
        panel->Kill(SIGKILL);
        click.join();
        panel->WaitExit(kExitTimeoutMs);

        ASSERT_EQ(Integrity(), "ok") << "round " << round;
        SqliteRegistry store(StorePath());
        const auto values = store.ReadAllValues(kKey);
        ASSERT_TRUE(values.size() == 3 || values.size() == 16) << values.size();
        (values.size() == 3 ? old : saved)++;
        RegistryKey key(store, kKey);
        EXPECT_EQ(key.ReadInteger("Seconds"), 7);
        EXPECT_EQ(key.ReadInteger("Mute"), 1);
        EXPECT_EQ(key.ReadInteger("Loop"), 0);
    }
    std::printf("killed panels: %d kept the old values, %d the new ones\n", old, saved);
}

// A store that another program keeps locked, or that is garbage, a link or a folder: the show
// runs on the package's settings and says once why; closing the panel says once that nothing
// was saved; the file stays as it was.
TEST_F(StoreOnDisplay, AStoreItCannotUseLeavesTheDefaultsAndStaysUntouched) {
    const std::string show = MakeShow(ShowContent());
    fs::create_directories(dir / "config/pictorelle");
    const std::string elsewhere = dir / "elsewhere.db";
    WriteText(elsewhere, "precious");
    for (const char* kind : {"locked", "garbage", "link", "folder"}) {
        for (const char* part : {"", "-wal", "-shm"})
            fs::remove_all(StorePath() + part);
        sqlite3* holder = nullptr;
        if (std::string(kind) == "locked") {
            // A lock that keeps readers out, as a program in exclusive mode holds it.
            { SqliteRegistry create(StorePath()); }
            ASSERT_EQ(sqlite3_open(StorePath().c_str(), &holder), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(holder,
                                   "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                                   "DELETE FROM vals;",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
        }
        if (std::string(kind) == "garbage") WriteText(StorePath(), std::string(5000, 'G'));
        if (std::string(kind) == "link") fs::create_symlink(elsewhere, StorePath());
        if (std::string(kind) == "folder") fs::create_directory(StorePath());

        const auto started = std::chrono::steady_clock::now();
        auto full = Start(show, {"/s"});
        ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << kind << full->Err();
        // A lock delays the start by a second, not by the time a save may wait for it.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8)) << kind;
        EXPECT_TRUE(KeepsRunning(*full)) << kind << full->Err();
        x.Key("Escape");
        ASSERT_TRUE(full->WaitExit(kExitTimeoutMs)) << kind;
        EXPECT_EQ(full->Status(), 0) << kind << full->Err();
        EXPECT_EQ(Count(full->Err(), "Using the show's own settings"), 1u) << kind << full->Err();

        auto panel = Start(show, {"/c"});
        const std::string window = WaitForWindow(kTitleRegex);
        ASSERT_FALSE(window.empty()) << kind << panel->Err();
        ClickClose(window);
        ASSERT_TRUE(panel->WaitExit(kExitTimeoutMs)) << kind;
        EXPECT_EQ(panel->Status(), 0) << kind;
        EXPECT_EQ(Count(panel->Err(), "Using the show's own settings"), 1u) << kind;
        EXPECT_EQ(Count(panel->Err(), "Your settings could not be saved"), 1u) << kind;
        if (std::string(kind) == "garbage") {
            EXPECT_EQ(Bytes(StorePath()), std::string(5000, 'G'));
        }
        sqlite3_close(holder);
    }
    EXPECT_TRUE(fs::is_directory(StorePath()));
    EXPECT_TRUE(fs::is_empty(StorePath()));
    EXPECT_EQ(Bytes(elsewhere), "precious");
    const auto entries =
        std::distance(fs::directory_iterator(dir / "config/pictorelle"), fs::directory_iterator());
    EXPECT_EQ(entries, 1) << "no copy, journal or replacement beside the store";
}

// Ended by a signal it can catch, a show takes its temporary folder with it.
TEST_F(StoreOnDisplay, NoTemporaryFolderOutlivesASignal) {
    const std::string show = MakeShow(ShowContent());
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        auto full = Start(show, {"/s"});
        ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << full->Err();
        EXPECT_FALSE(TempFoldersGone()) << "the show has its folder while it runs";
        full->Kill(sig);
        ASSERT_TRUE(full->WaitExit(kExitTimeoutMs)) << sig;
        EXPECT_TRUE(TempFoldersGone()) << "signal " << sig;
    }
}

// SIGKILL leaves the folder behind; the next show removes it.
TEST_F(StoreOnDisplay, TheNextShowRemovesTheFolderOfAKilledOne) {
    const std::string show = MakeShow(ShowContent());
    auto killed = Start(show, {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << killed->Err();
    const int killedPid = killed->Pid();
    killed->Kill(SIGKILL);
    ASSERT_TRUE(killed->WaitExit(kExitTimeoutMs));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir / "tmp"))
        left.push_back(e.path().filename());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].rfind("pictorelle-" + std::to_string(killedPid) + "-", 0), 0u) << left[0];

    auto next = Start(show, {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << next->Err();
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(dir / ("tmp/" + left[0])); }));
    x.Key("Escape");
    ASSERT_TRUE(next->WaitExit(kExitTimeoutMs));
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

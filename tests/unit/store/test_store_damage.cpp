// The settings store when things go wrong outside our control: a file that is not a sound
// database, a link, a folder, a store we may not write, a store locked by another program, and
// writers killed with SIGKILL in the middle of a save. The store must refuse what it cannot
// use, touch nothing it refuses, read what it may only read, and never leave a half-written
// save.
#include "package/SaverSettings.h"
#include "platform/store/SqliteRegistry.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

const char* const kKey = "Software\\Pictorelle\\Show";

class StoreDamageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pictorelle-damage-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern));
        dir = pattern;
        path = dir + "/registry.db";
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string Bytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }
    // What PRAGMA integrity_check says about the file, opened behind the store's back.
    std::string Integrity() const {
        sqlite3* db = nullptr;
        std::string result = "cannot open";
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW)
                result = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return result;
    }
    // A save where every integer setting holds generation.
    static SaverSettings Generation(int generation) {
        SaverSettings s;
        s.Seconds = s.Stretch = s.DisplayOrder = s.EffectSpeed = generation;
        s.Effect = std::string(static_cast<size_t>(generation % 100 + 1), '\x07');
        return s;
    }
    // The generation the stored key holds; fails the test when the values come from
    // different saves.
    int StoredGeneration() {
        SqliteRegistry store(path);
        SaverSettings s = Generation(-1);
        ReadSaverSettings(store, "Show", s);
        EXPECT_EQ(s.Seconds, s.Stretch);
        EXPECT_EQ(s.Seconds, s.DisplayOrder);
        EXPECT_EQ(s.Seconds, s.EffectSpeed);
        if (s.Seconds >= 0) {
            EXPECT_EQ(s.Effect.size(), static_cast<size_t>(s.Seconds % 100 + 1));
        }
        return s.Seconds;
    }

    std::string dir;
    std::string path;
};

// Each kind of unusable store is refused with a reason, and left exactly as it was.
TEST_F(StoreDamageTest, RefusesWhatItCannotUseAndLeavesItAlone) {
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(3));
    }
    const std::string good = Bytes(path);
    ASSERT_FALSE(good.empty());

    auto expectRefused = [&](const std::string& at, const char* reason) {
        try {
            SqliteRegistry store(at);
            ADD_FAILURE() << "opened " << reason;
        } catch (const RegistryAccessError& e) {
            EXPECT_NE(std::string(e.what()).find(at), std::string::npos) << e.what();
        }
    };

    const std::string garbage = dir + "/garbage.db";
    Put(garbage, std::string(3000, 'Z'));
    expectRefused(garbage, "a file of garbage");
    EXPECT_EQ(Bytes(garbage), std::string(3000, 'Z'));

    // A database whose pages were damaged after its header.
    const std::string damaged = dir + "/damaged.db";
    std::string broken = good;
    for (size_t i = 4096 + 8; i < broken.size(); i += 7)
        broken[i] = '\xA5';
    Put(damaged, broken);
    expectRefused(damaged, "a damaged database");
    EXPECT_EQ(Bytes(damaged), broken);

    const std::string link = dir + "/link.db";
    fs::create_symlink(path, link);
    expectRefused(link, "a symbolic link");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Bytes(path), good);

    const std::string folder = dir + "/folder.db";
    fs::create_directory(folder);
    expectRefused(folder, "a folder");
    EXPECT_TRUE(fs::is_empty(folder));

    // Links in place of the file or of its folder, dangling or not, are never followed:
    // nothing is made where they point.
    fs::create_symlink(dir + "/nowhere.db", dir + "/dangling.db");
    expectRefused(dir + "/dangling.db", "a dangling link");
    fs::create_directory(dir + "/real");
    fs::create_symlink(dir + "/real", dir + "/linked");
    expectRefused(dir + "/linked/registry.db", "a folder that is a link");
    EXPECT_TRUE(fs::is_empty(dir + "/real"));
    fs::create_symlink(dir + "/gone", dir + "/gone-link");
    expectRefused(dir + "/gone-link/registry.db", "a folder that is a dangling link");
    EXPECT_FALSE(fs::exists(dir + "/nowhere.db"));
    EXPECT_FALSE(fs::exists(dir + "/gone"));
}

// A store the user may not write, the file or its folder: the saved values are read, only a
// save fails, and nothing beside the store is made. Root may write anything, so the store is
// used by an ordinary user.
TEST_F(StoreDamageTest, AStoreItMayNotWriteIsReadAndOnlySavingFails) {
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(3));
    }
    const std::string before = Bytes(path);
    for (const bool folderReadOnly : {false, true}) {
        ::chmod(path.c_str(), folderReadOnly ? 0666 : 0444);
        ::chmod(dir.c_str(), folderReadOnly ? 0555 : 0777);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(8);
            int status = 0;
            try {
                SqliteRegistry store(path);
                SaverSettings s = Generation(-1);
                ReadSaverSettings(store, "Show", s);
                if (!store.ReadOnly() || s.Seconds != 3) status |= 1;
                try {
                    WriteSaverSettings(store, "Show", Generation(4));
                    status |= 2;
                } catch (const RegistryAccessError&) {
                }
            } catch (...) {
                status |= 4;
            }
            ::_exit(status);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "folder read-only: " << folderReadOnly
            << " (1: values not read, 2: saved, 4: refused, 8: could not drop root)";
        EXPECT_EQ(Bytes(path), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
    ::chmod(dir.c_str(), 0700);
}

// Another program holding the store: its write lock does not hold up the start read at all;
// a lock that keeps readers out does, for the read allowance only, and then the show goes on
// with its own settings and one line saying why.
TEST_F(StoreDamageTest, ALockedStoreDelaysTheStartReadByTheReadAllowanceAtMost) {
    using Clock = std::chrono::steady_clock;
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(3));
    }
    std::string said;
    auto readAtStart = [&](SaverSettings& s) {
        const auto start = Clock::now();
        testing::internal::CaptureStderr();
        ReadStoredSettings(path, "Show", s);
        said = testing::internal::GetCapturedStderr();
        return Clock::now() - start;
    };
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE vals SET data = 99;", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    SaverSettings s = Generation(-1);
    EXPECT_LT(readAtStart(s), SqliteRegistry::kSaveWait);
    EXPECT_EQ(s.Seconds, 3);
    EXPECT_EQ(said, "");

    ASSERT_EQ(sqlite3_exec(other,
                           "ROLLBACK; PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                           "UPDATE vals SET data = 99;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    s = Generation(-1);
    const auto waited = readAtStart(s);
    EXPECT_GE(waited, SqliteRegistry::kReadWait * 9 / 10);
    EXPECT_LT(waited, SqliteRegistry::kSaveWait);
    EXPECT_EQ(s.Seconds, -1) << "the package's settings stay";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(said.rfind("Using the show's own settings: ", 0), 0u) << said;
    EXPECT_NE(said.find("in use by another program"), std::string::npos) << said;
    sqlite3_close(other);
}

// A number stored as text, written behind the store's back: the show keeps its own value for
// it, reads the rest, and says in one line which value it passed over.
TEST_F(StoreDamageTest, ANumberStoredAsTextIsPassedOverWithOneLine) {
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(3));
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "UPDATE vals SET data = 'ten' WHERE name = 'Seconds'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    SaverSettings s = Generation(-1);
    testing::internal::CaptureStderr();
    ReadStoredSettings(path, "Show", s);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.Seconds, -1) << "the package's value";
    EXPECT_EQ(s.Stretch, 3);
    EXPECT_EQ(s.EffectSpeed, 3);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_EQ(said.rfind("Ignoring the stored setting Seconds,", 0), 0u) << said;
}

// A writer killed inside its save transaction, after half of the values: the key keeps the
// previous save whole.
TEST_F(StoreDamageTest, AWriterKilledInsideItsTransactionLeavesTheOldSave) {
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(5));
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db,
                     "BEGIN IMMEDIATE;"
                     "UPDATE vals SET data = 99 WHERE name IN ('Seconds', 'Stretch');",
                     nullptr, nullptr, nullptr);
        (void)!::write(ready[1], "x", 1);
        for (;;)
            ::pause();
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(Integrity(), "ok");
    EXPECT_EQ(StoredGeneration(), 5);
}

// A writer saving as fast as it can, killed at random moments many times over: the file
// stays sound and every save is there whole or not at all.
TEST_F(StoreDamageTest, WritersKilledAtRandomNeverLeaveAMixedSave) {
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(0));
    }
    std::mt19937 random(12345);
    int last = 0;
    for (int round = 1; round <= 40; ++round) {
        const int first = round * 100000;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SqliteRegistry store(path);
            for (int g = first;; ++g)
                WriteSaverSettings(store, "Show", Generation(g));
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(2000, 30000)(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ASSERT_EQ(Integrity(), "ok") << "round " << round;
        const int g = StoredGeneration();
        EXPECT_TRUE(g == last || g >= first) << "round " << round << ": " << g;
        last = g;
    }
}

} // namespace
} // namespace pictorelle

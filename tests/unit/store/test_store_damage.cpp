// The settings store when things go wrong outside our control: a file that is not a sound
// database, a link, a folder, a file we may not write, and writers killed with SIGKILL in the
// middle of a save. The store must refuse what it cannot use, touch nothing it refuses, and
// never leave a half-written save.
#include "package/SaverSettings.h"
#include "platform/store/SqliteRegistry.h"

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
        } catch (const RegistryError& e) {
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
}

// A user who made the store read-only gets no silent write failure later: the store is
// refused at once. Root may write anything, so this runs as an ordinary user.
TEST_F(StoreDamageTest, RefusesAFileItMayNotWrite) {
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", Generation(3));
    }
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.c_str(), 0777);
    const std::string before = Bytes(path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        try {
            SqliteRegistry store(path);
            ::_exit(1);
        } catch (const RegistryError&) {
            ::_exit(0);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened a read-only store, 3: could not drop root";
    EXPECT_EQ(Bytes(path), before);
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

#include "package/SaverSettings.h"
#include "platform/store/SqliteRegistry.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pictorelle-store-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern));
        dir = pattern;
        path = dir + "/cfg/pictorelle/registry.db";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs SQL on the store's file directly, as a user with the sqlite3 tool would.
    void Sql(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    std::string dir;
    std::string path;
};

TEST_F(StoreTest, CreatesAPrivateStoreAtTheConfiguredPlace) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", (dir + "/cfg").c_str(), 1);
    EXPECT_EQ(SqliteRegistry::DefaultPath(), path);
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SqliteRegistry::DefaultPath(), "/home/someone/.config/pictorelle/registry.db");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", home.c_str(), 1);

    SqliteRegistry store(path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const fs::path& folder : {fs::path(path).parent_path(), fs::path(dir + "/cfg")}) {
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    // A link above the store's own folder (a linked ~/.config) is the user's choice.
    fs::create_directory_symlink(dir + "/cfg", dir + "/linked-cfg");
    RegistryKey(store, "K").WriteInteger("Seconds", 4);
    SqliteRegistry linked(dir + "/linked-cfg/pictorelle/registry.db");
    EXPECT_EQ(RegistryKey(linked, "K").ReadInteger("Seconds"), 4);
}

TEST_F(StoreTest, KeysAreOpenedOrCreatedCaseInsensitively) {
    SqliteRegistry store(path);
    EXPECT_FALSE(RegistryKey::Open(store, "Software\\Pictorelle\\Show", false));
    auto key = RegistryKey::Open(store, "Software\\Pictorelle\\Show", true);
    ASSERT_TRUE(key);
    EXPECT_TRUE(store.KeyExists("software\\pictorelle\\SHOW"));
    EXPECT_TRUE(store.KeyExists("Software\\Pictorelle")) << "parents are created too";
    key->WriteInteger("Seconds", 9);
    EXPECT_EQ(RegistryKey(store, "SOFTWARE\\pictorelle\\show").ReadInteger("seconds"), 9);
}

TEST_F(StoreTest, ValuesAreTypedAndStringsKeepEveryByte) {
    SqliteRegistry store(path);
    RegistryKey key(store, "K");
    const std::string selection("\x01\x45\x78\x00\xFF", 5);
    key.WriteString("Effect", selection);
    key.WriteString("Empty", "");
    key.WriteInteger("Min", std::numeric_limits<int32_t>::min());
    EXPECT_EQ(key.ReadString("Effect"), selection);
    EXPECT_EQ(key.ReadString("Empty"), "");
    EXPECT_EQ(key.ReadInteger("Min"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(key.ReadInteger("Missing"), std::nullopt);
    EXPECT_THROW(key.ReadInteger("Effect"), RegistryError);
    EXPECT_THROW(key.ReadString("Min"), RegistryError);
    key.DeleteValue("Effect");
    EXPECT_EQ(key.ReadString("Effect"), std::nullopt);

    // Rows edited by hand that do not hold what their type says read as the wrong type.
    Sql("INSERT INTO vals VALUES('K','Big','REG_DWORD',4294967296);"
        "INSERT INTO vals VALUES('K','Word','REG_DWORD','12');");
    EXPECT_THROW(key.ReadInteger("Big"), RegistryError);
    EXPECT_THROW(key.ReadInteger("Word"), RegistryError);
}

TEST_F(StoreTest, ReplaceValuesLeavesExactlyTheNewSet) {
    SqliteRegistry store(path);
    const std::vector<RegistryValue> first = {{"a", int32_t{1}}, {"b", std::string("x")}};
    store.ReplaceValues("Software\\Pictorelle\\Show\\PlayList", first);
    const std::vector<RegistryValue> second = {{"c", std::string("y")}};
    store.ReplaceValues("Software\\Pictorelle\\Show\\PlayList", second);
    const auto values = store.ReadAllValues("Software\\Pictorelle\\Show\\PlayList");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].Name, "c");
}

// A save that fails half-way must leave the previous settings as they were.
TEST_F(StoreTest, AFailedSaveKeepsThePreviousSettings) {
    SaverSettings before;
    before.Seconds = 11;
    before.Effect = "\x05";
    {
        SqliteRegistry store(path);
        WriteSaverSettings(store, "Show", before);
    }
    // Make the store refuse the ninth value of the next save.
    Sql("CREATE TRIGGER refuse BEFORE INSERT ON vals WHEN NEW.name = 'EffectSpeed' "
        "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;");
    SqliteRegistry store(path);
    SaverSettings after = before;
    after.Seconds = 30;
    after.Effect = "\x06";
    EXPECT_THROW(WriteSaverSettings(store, "Show", after), RegistryError);
    SaverSettings read;
    ReadSaverSettings(store, "Show", read);
    EXPECT_EQ(read.Seconds, 11);
    EXPECT_EQ(read.Effect, "\x05");
}

// A preview and an options panel may read and write at the same time.
TEST_F(StoreTest, ConcurrentProcessesNeverCorruptTheStore) {
    { SqliteRegistry create(path); }
    std::vector<pid_t> children;
    for (int p = 0; p < 3; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int status = 0;
            try {
                SqliteRegistry store(path);
                for (int i = 0; i < 100; ++i) {
                    SaverSettings s;
                    s.Seconds = p * 1000 + i;
                    s.EffectSpeed = p * 1000 + i;
                    WriteSaverSettings(store, "Show", s);
                    SaverSettings r;
                    ReadSaverSettings(store, "Show", r);
                    // Whole saves only: both values always come from the same save.
                    if (r.Seconds != r.EffectSpeed) status = 3;
                }
            } catch (...) {
                status = 2;
            }
            ::_exit(status);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    SqliteRegistry store(path);
    EXPECT_EQ(store.ReadAllValues("Software\\Pictorelle\\Show").size(), 16u);
}

} // namespace
} // namespace pictorelle

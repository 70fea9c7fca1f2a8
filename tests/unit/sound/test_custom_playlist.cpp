#include "platform/store/SqliteRegistry.h"
#include "sound/engine/CustomPlaylist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class CustomPlaylistTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pictorelle-playlist-XXXXXX";
        ASSERT_TRUE(::mkdtemp(pattern));
        dir = pattern;
        store = std::make_unique<SqliteRegistry>(dir + "/registry.db");
    }
    void TearDown() override {
        store.reset();
        fs::remove_all(dir);
    }
    void Put(size_t n, RegistryData data) {
        const RegistryValue value{PlaylistValueName(n), std::move(data)};
        store->WriteValues(key, std::span(&value, 1));
    }
    bool Stored(size_t n) { return store->ReadValue(key, PlaylistValueName(n)).has_value(); }

    std::string dir;
    std::unique_ptr<SqliteRegistry> store;
    // A title with an "é", as the package reader gives it: the key holds it as it is.
    const std::string key = PlaylistKeyPath("Caf\u00e9 Show");
};

TEST_F(CustomPlaylistTest, KeyIsThePlayListSubkeyOfTheSettings) {
    EXPECT_EQ(key, "Software\\Pictorelle\\Caf\xC3\xA9 Show\\PlayList");
}

TEST_F(CustomPlaylistTest, MissingKeyIsCreatedAndReadsEmpty) {
    EXPECT_TRUE(LoadCustomPlayListNoWindow(*store, key).empty());
    EXPECT_TRUE(store->KeyExists(key));
    EXPECT_TRUE(ReadPlaylistLines(*store, key).empty());
}

TEST_F(CustomPlaylistTest, EmptyEntryIsKeptForTheShowAndSkippedByTheEditor) {
    Put(0, std::string("/music/a.mp3"));
    Put(1, std::string());
    Put(2, std::string("/music/c.wav"));
    EXPECT_EQ(LoadCustomPlayListNoWindow(*store, key), (Lines{"/music/a.mp3", "", "/music/c.wav"}));
    EXPECT_EQ(ReadPlaylistLines(*store, key), (Lines{"/music/a.mp3", "/music/c.wav"}));
}

TEST_F(CustomPlaylistTest, ScanStopsAtTheFirstGap) {
    Put(0, std::string("/a.mp3"));
    Put(2, std::string("/c.mp3"));
    Put(10, std::string("/k.mp3"));
    EXPECT_EQ(LoadCustomPlayListNoWindow(*store, key), (Lines{"/a.mp3"}));
}

TEST_F(CustomPlaylistTest, EntryOfTheWrongTypeCountsAsEmpty) {
    Put(0, std::string("/a.mp3"));
    Put(1, int32_t{7});
    Put(2, std::string("/c.mp3"));
    EXPECT_EQ(LoadCustomPlayListNoWindow(*store, key), (Lines{"/a.mp3", "", "/c.mp3"}));
    EXPECT_EQ(ReadPlaylistLines(*store, key), (Lines{"/a.mp3", "/c.mp3"}));
}

TEST_F(CustomPlaylistTest, ShrinkingDeletesOnlyTheEntryAfterTheNewEnd) {
    const Lines five = {"/1.mp3", "/2.mp3", "/3.mp3", "/4.mp3", "/5.mp3"};
    ASSERT_TRUE(SaveCustomPlayList(*store, key, five));
    ASSERT_TRUE(SaveCustomPlayList(*store, key, Lines{"/x.wav", "/y.wav"}));
    EXPECT_FALSE(Stored(2));
    EXPECT_TRUE(Stored(3));
    EXPECT_TRUE(Stored(4));
    EXPECT_EQ(LoadCustomPlayListNoWindow(*store, key), (Lines{"/x.wav", "/y.wav"}));

    // Growing by one fills the gap and opens the next one: the old item4 stays unread.
    ASSERT_TRUE(SaveCustomPlayList(*store, key, Lines{"/x.wav", "/y.wav", "/z.wav"}));
    EXPECT_EQ(ReadPlaylistLines(*store, key), (Lines{"/x.wav", "/y.wav", "/z.wav"}));
    EXPECT_FALSE(Stored(3));
    EXPECT_TRUE(Stored(4));
}

TEST_F(CustomPlaylistTest, SavingAnEmptyListEndsItAtItem0) {
    ASSERT_TRUE(SaveCustomPlayList(*store, key, Lines{"/a.mp3", "/b.mp3"}));
    ASSERT_TRUE(SaveCustomPlayList(*store, key, Lines{}));
    EXPECT_TRUE(LoadCustomPlayListNoWindow(*store, key).empty());
    EXPECT_TRUE(Stored(1));
}

// A store whose writes fail, as a locked or read-only file does.
class FailingStore final : public Registry {
public:
    bool KeyExists(std::string_view) override { return false; }
    void CreateKey(std::string_view) override { Fail(); }
    std::optional<RegistryData> ReadValue(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    void WriteValues(std::string_view, std::span<const RegistryValue>) override { Fail(); }
    void DeleteValue(std::string_view, std::string_view) override { Fail(); }
    std::vector<RegistryValue> ReadAllValues(std::string_view) override { return {}; }
    void ReplaceValues(std::string_view, std::span<const RegistryValue>) override { Fail(); }

private:
    [[noreturn]] static void Fail() { throw RegistryError("store is read-only"); }
};

TEST(CustomPlaylistStore, StoreThatCannotBeWrittenLosesTheEditsQuietly) {
    FailingStore store;
    EXPECT_FALSE(SaveCustomPlayList(store, PlaylistKeyPath("Show"), Lines{"/b.mp3"}));
}

} // namespace
} // namespace pictorelle

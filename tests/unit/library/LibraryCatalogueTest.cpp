#include "library/LibraryCache.h"
#include "library/LibraryList.h"

#include "LibraryFolder.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace pictorelle {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::string> paths(const TLibraryList& list) {
    std::vector<std::string> out;
    for (size_t i = 0; i < list.Size(); ++i) out.emplace_back(list.Path(i));
    return out;
}

// Lists a library to its end; what the worker said on standard error goes to said.
std::shared_ptr<const TLibraryList> listAll(const TLibraryCatalogue::TOptions& options,
                                            std::string* said = nullptr) {
    testing::internal::CaptureStderr();
    TLibraryCatalogue catalogue(options);
    catalogue.Start();
    EXPECT_TRUE(catalogue.WaitForComplete(30s));
    std::string text = testing::internal::GetCapturedStderr();
    if (said) *said = text;
    return catalogue.Snapshot();
}

size_t lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(LibraryList, PathOrderGoesFolderByFolderAndFindsByHalves) {
    // "a/b" sorts before "a-b" folder by folder, though '/' is above '-' as a byte.
    EXPECT_TRUE(LibraryPathLess("a/b.jpg", "a-b.jpg"));
    EXPECT_FALSE(LibraryPathLess("a-b.jpg", "a/b.jpg"));
    EXPECT_TRUE(LibraryPathLess("a", "a/b"));
    EXPECT_FALSE(LibraryPathLess("a/b", "a/b"));
    EXPECT_TRUE(LibraryPathLess("Z.jpg", "a.jpg"));
    EXPECT_TRUE(LibraryPathLess("a.jpg", "\xE9.jpg")); // bytes compare unsigned

    TLibraryList list;
    for (const char* p : {"a/b.jpg", "a/c/d.png", "a-b.jpg", "b.jpg", "\xff.gif"}) list.Append(p, 1);
    for (size_t i = 0; i < list.Size(); ++i) EXPECT_EQ(list.Find(list.Path(i)), i);
    EXPECT_FALSE(list.Find("a/c.jpg"));
    EXPECT_FALSE(list.Find("a"));
}

TEST(LibraryCatalogue, ListsPicturesInPathOrderSkippingHiddenAndFollowingLinks) {
    TLibraryFolder lib;
    for (const char* p : {"b.JPG", "a-b.png", "a/z.webp", "a/deep/c.gif", "notes.txt", ".hidden.jpg",
                          ".cache/x.jpg", "c/\xff\xfe.jpeg", "noext"})
        lib.Touch(p);
    fs::create_symlink(lib.Path("b.JPG"), lib.Path("link.jpg"));
    fs::create_symlink(lib.Path("a"), lib.Path("a/deep/up")); // leads back into the tree
    fs::create_symlink("self", lib.Path("self"));              // a link that never ends

    std::string said;
    auto list = listAll({lib.Root(), true, ""}, &said);
    EXPECT_EQ(paths(*list), (std::vector<std::string>{"a/deep/c.gif", "a/z.webp", "a-b.png",
                                                      "b.JPG", "c/\xff\xfe.jpeg", "link.jpg"}));
    EXPECT_EQ(list->Generation(), 1u);
    EXPECT_EQ(lines(said), 2u) << said; // the loop back and the endless link, once each

    auto top = listAll({lib.Root(), false, ""});
    EXPECT_EQ(paths(*top), (std::vector<std::string>{"a-b.png", "b.JPG", "link.jpg"}));
}

TEST(LibraryCatalogue, AFolderThatCannotBeReadIsPassedOverWithOneLine) {
    if (geteuid() == 0) GTEST_SKIP() << "the superuser reads every folder";
    TLibraryFolder lib;
    lib.Touch("locked/x.jpg");
    lib.Touch("open/y.jpg");
    fs::permissions(lib.Path("locked"), fs::perms::none);
    std::string said;
    auto list = listAll({lib.Root(), true, ""}, &said);
    fs::permissions(lib.Path("locked"), fs::perms::owner_all);
    EXPECT_EQ(paths(*list), std::vector<std::string>{"open/y.jpg"});
    EXPECT_EQ(lines(said), 1u) << said;
}

TEST(LibraryCatalogue, AMissingOrEmptyLibrarySaysWhy) {
    TLibraryFolder lib;
    lib.Touch("readme.txt");
    TLibraryCatalogue::TOptions missing{lib.Path("gone"), true, lib.Path("cache")};
    testing::internal::CaptureStderr();
    {
        TLibraryCatalogue catalogue(missing);
        catalogue.Start();
        ASSERT_TRUE(catalogue.WaitForComplete(30s));
        EXPECT_FALSE(catalogue.WaitForAny(0ms));
        EXPECT_NE(catalogue.EmptyReason().find("does not exist"), std::string::npos);
        TLibraryCatalogue empty({lib.Root(), true, ""});
        empty.Start();
        ASSERT_TRUE(empty.WaitForComplete(30s));
        EXPECT_NE(empty.EmptyReason().find("holds no pictures"), std::string::npos);
    }
    EXPECT_EQ(lines(testing::internal::GetCapturedStderr()), 2u);
    EXPECT_FALSE(fs::exists(lib.Path("cache"))); // nothing learnt, nothing written
}

// A show lists its folder again and again: listings that share what they told say each
// trouble once, however often the folder is listed.
TEST(LibraryCatalogue, ListingsThatShareTheirLinesTellEachTroubleOnce) {
    TLibraryFolder lib;
    lib.Touch("a.jpg");
    fs::create_directory_symlink(lib.Root(), lib.Path("loop"));
    TLibraryCatalogue::TOptions options{lib.Root(), true, ""};
    std::string first, again;
    listAll(options, &first);
    listAll(options, &again);
    EXPECT_EQ(lines(first), 1u) << first;
    EXPECT_EQ(again, first) << "listings that share nothing both tell";
    options.told = std::make_shared<TLibraryToldLines>();
    listAll(options, &first);
    listAll(options, &again);
    EXPECT_EQ(lines(first), 1u) << first;
    EXPECT_EQ(again, "");
}

TEST(LibraryCatalogue, TheCacheGivesTheWholeListAtOnceThenTheChanges) {
    TLibraryFolder lib, cache;
    for (const char* p : {"2019/a.jpg", "2019/b.jpg", "2020/c.jpg"}) lib.Touch(p);
    const TLibraryCatalogue::TOptions options{lib.Root(), true, cache.Path("pictorelle")};
    listAll(options);
    const auto before = fs::directory_iterator(lib.Root());
    std::string cacheFile = TLibraryCatalogue(options).CacheFile();
    struct stat st {};
    ASSERT_EQ(stat(cacheFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat(options.cacheFolder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    lib.Touch("2021/d.jpg");
    fs::remove(lib.Path("2019/b.jpg"));
    TLibraryCatalogue catalogue(options);
    catalogue.Start();
    ASSERT_TRUE(catalogue.WaitForAny(30s));
    auto first = catalogue.Snapshot();
    if (!catalogue.Complete()) { // the worker may already be through a folder this small
        EXPECT_TRUE(first->FromCache());
        EXPECT_EQ(paths(*first),
                  (std::vector<std::string>{"2019/a.jpg", "2019/b.jpg", "2020/c.jpg"}));
    }
    ASSERT_TRUE(catalogue.WaitForComplete(30s));
    auto now = catalogue.Snapshot();
    EXPECT_EQ(paths(*now), (std::vector<std::string>{"2019/a.jpg", "2020/c.jpg", "2021/d.jpg"}));
    EXPECT_EQ(now->Generation(), 2u);
    EXPECT_EQ(now->FirstSeen(0), 1u);
    EXPECT_EQ(now->FirstSeen(2), 2u);
    // Only the pictures are in the library: no listing or lock file was left beside them.
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(lib.Root()), {}), 6);
}

TEST(LibraryCatalogue, ADamagedOrHostileCacheIsIgnoredWithOneLine) {
    TLibraryFolder lib, cache;
    lib.Touch("x.jpg");
    const TLibraryCatalogue::TOptions options{lib.Root(), true, cache.Root()};
    const std::string file = TLibraryCatalogue(options).CacheFile();
    std::string trouble;
    auto writeList = [&](std::initializer_list<const char*> entries, uint32_t firstSeen) {
        TLibraryList list;
        for (const char* p : entries) list.Append(p, firstSeen);
        list.SetGeneration(3);
        ASSERT_TRUE(WriteLibraryCache(cache.Root(), file, lib.Root(), true, list, trouble));
    };
    auto spoil = [&](auto change) {
        std::string bytes;
        {
            std::ifstream in(file, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        change(bytes);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    };
    const std::vector<std::function<void()>> hostile = {
        [&] { writeList({"../../etc/passwd.jpg"}, 1); },
        [&] { writeList({"b.jpg", "a.jpg"}, 1); },
        [&] { writeList({"a.jpg"}, 9); },
        [&] {
            writeList({"a.jpg", "b.jpg"}, 1);
            spoil([](std::string& b) { b.resize(b.size() - 5); });
        },
        [&] {
            writeList({"a.jpg", "b.jpg"}, 1);
            spoil([](std::string& b) { b[40] ^= 1; });
        },
        [&] { spoil([](std::string& b) { b = "garbage"; }); },
        [&] {
            fs::remove(file);
            mkfifo(file.c_str(), 0600);
        },
    };
    for (size_t i = 0; i < hostile.size(); ++i) {
        hostile[i]();
        TLibraryCatalogue catalogue(options);
        testing::internal::CaptureStderr();
        catalogue.Start();
        ASSERT_TRUE(catalogue.WaitForComplete(30s));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(lines(said), 1u) << "case " << i << ": " << said;
        EXPECT_EQ(paths(*catalogue.Snapshot()), std::vector<std::string>{"x.jpg"}) << i;
    }
}

} // namespace
} // namespace pictorelle

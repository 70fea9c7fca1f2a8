#include "package/ExtractEntry.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"
#include "package/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return v;
}

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempFolder() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::optional<std::vector<uint8_t>> Contents(const std::string& path) {
    if (!fs::exists(path)) return std::nullopt;
    return ReadWholeFile(path);
}

class ExtractEntryTest : public ::testing::Test {
protected:
    // A source file: 100 bytes of lead-in, then the entry.
    std::string Source(const std::vector<uint8_t>& entry) {
        auto bytes = std::vector<uint8_t>(100, 0xEE);
        bytes.insert(bytes.end(), entry.begin(), entry.end());
        return WriteFile("source.bin", bytes);
    }
    const std::string dest = TempFilePath("SSIMG", ".bin");
};

TEST_F(ExtractEntryTest, CopiesRawBytesAcrossChunkBoundaries) {
    for (size_t size : {size_t{1000}, kRawCopyChunk, kRawCopyChunk * 2 + 17}) {
        const auto data = Pattern(size);
        ExtractEntry(Source(data), dest, false, 100, 0, static_cast<int64_t>(size));
        EXPECT_EQ(Contents(dest), data) << size;
    }
}

TEST_F(ExtractEntryTest, InflatesOneZlibStream) {
    const auto data = Pattern(300000);
    const auto stored = DeflateBytes(data);
    ExtractEntry(Source(stored), dest, true, 100, static_cast<int64_t>(stored.size()), 300000);
    EXPECT_EQ(Contents(dest), data);
}

TEST_F(ExtractEntryTest, EmptyRawEntryGivesAnEmptyFile) {
    ExtractEntry(Source({}), dest, false, 100, 0, 0);
    EXPECT_EQ(Contents(dest), std::vector<uint8_t>{});
}

// A broken entry leaves no file behind, whatever was there before.
TEST_F(ExtractEntryTest, BrokenEntriesExtractToNothing) {
    const auto data = Pattern(5000);
    const auto stored = DeflateBytes(data);
    const auto source = Source(stored);
    const auto storedSize = static_cast<int64_t>(stored.size());
    auto expectNothing = [&](bool compressed, int64_t offset, int64_t storedBytes, int64_t size,
                             const char* why) {
        WriteFile("SSIMG.bin", {1, 2, 3});
        ExtractEntry(source, dest, compressed, offset, storedBytes, size);
        EXPECT_FALSE(fs::exists(dest)) << why;
    };
    expectNothing(true, 100, storedSize, 4000, "inflates past its stated size (a bomb)");
    expectNothing(true, 100, storedSize, int64_t{1} << 40, "absurd inflated size");
    expectNothing(true, 100, storedSize, storedSize * 5000, "beyond zlib's best ratio");
    expectNothing(true, 100, int64_t{1} << 31, 5000, "stored size past the file");
    expectNothing(true, 101, storedSize - 1, 5000, "corrupt stream");
    expectNothing(true, -5, storedSize, 5000, "negative offset");
    expectNothing(false, 100, 0, storedSize + 1, "raw copy past the end of the file");
    expectNothing(false, 100, 0, -1, "negative size");
}

// Inflation runs in chunks: a stream far longer than any chunk comes out byte for byte, and
// one that runs on past its stated size or the caller's ceiling stops there without a file.
TEST_F(ExtractEntryTest, InflatesInChunksAndStopsAtTheFirstByteTooMany) {
    const std::vector<uint8_t> head = Pattern(1000);
    const uint64_t zeros = 3 * kInflateChunk + 123;
    const auto stream = DeflateWithZeros(head, zeros);
    const auto storedSize = static_cast<int64_t>(stream.size());
    const auto total = static_cast<int64_t>(head.size() + zeros);
    const auto source = Source(stream);

    ExtractEntry(source, dest, true, 100, storedSize, total);
    auto expected = head;
    expected.resize(static_cast<size_t>(total), 0);
    EXPECT_EQ(Contents(dest), expected);
    ExtractEntry(source, dest, true, 100, storedSize, total - 1);
    EXPECT_FALSE(fs::exists(dest)) << "one byte past the stated size";
    ExtractEntry(source, dest, true, 100, storedSize, total, total - 1);
    EXPECT_FALSE(fs::exists(dest)) << "stated size above the ceiling";
    ExtractEntry(source, dest, true, 100, storedSize, total, total);
    EXPECT_TRUE(fs::exists(dest)) << "exactly at the ceiling";
    ExtractEntry(source, dest, false, 100, 0, storedSize, storedSize - 1);
    EXPECT_FALSE(fs::exists(dest)) << "raw entry above the ceiling";
}

// A few megabytes of stream that would inflate to 4 GB: the extraction stops at the stated
// size long before, and never gets near the disk's or the memory's limits.
TEST_F(ExtractEntryTest, AHugeStreamStopsAtItsStatedSize) {
    const auto stream = DeflateWithZeros({0x89, 'P', 'N', 'G'}, uint64_t{4} << 30);
    EXPECT_LT(stream.size(), size_t{8} << 20);
    const auto source = Source(stream);
    const auto start = std::chrono::steady_clock::now();
    ExtractEntry(source, dest, true, 100, static_cast<int64_t>(stream.size()), 8 << 20);
    EXPECT_FALSE(fs::exists(dest));
    ExtractEntry(source, dest, true, 100, static_cast<int64_t>(stream.size()), kMaxInflatedEntrySize,
                 kMaxPictureEntrySize);
    EXPECT_FALSE(fs::exists(dest));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(ExtractEntryTest, MissingSourceOrUnwritableDestinationIsSilent) {
    ExtractEntry(TempFolder() + "no-such-file", dest, false, 0, 0, 10);
    EXPECT_FALSE(fs::exists(dest));
    ExtractEntry(Source(Pattern(10)), TempFolder() + "no-such-dir/x", false, 100, 0, 10);
    EXPECT_FALSE(fs::exists(TempFolder() + "no-such-dir"));
}

TEST(TempFolder, IsPrivateAndKeepsEntriesInside) {
    const std::string folder = TempFolder();
    ASSERT_EQ(folder.back(), '/');
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(TempFilePath("SSIMG", ".JPG"), folder + "SSIMG.JPG");
    for (const char* hostile : {"/../x", "\\..\\", "..", ".a/b"})
        EXPECT_EQ(TempFilePath("SSIMG", hostile), folder + "SSIMG") << hostile;
    EXPECT_EQ(TempFilePath("SSMASK", std::string_view("a\0b", 3)), folder + "SSMASK");
}

TEST(TempFolder, RemovedWithItsFilesAndRemadeOnDemand) {
    const std::string first = TempFolder();
    WriteFile("SSSND.mp3", Pattern(10));
    RemoveTempFolder();
    EXPECT_FALSE(fs::exists(first));
    const std::string second = TempFolder();
    EXPECT_TRUE(fs::is_directory(second));
    EXPECT_NE(first, second);
}

// The folder must not outlive a program that is ended by a signal.
TEST(TempFolder, RemovedWhenTheProcessIsTerminated) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            RemoveTempFolder(); // the child's own folder, not the one it inherited
            const std::string folder = TempFolder();
            WriteFile("SSIMG.jpg", Pattern(100));
            (void)!::write(fds[1], folder.c_str(), folder.size());
            ::close(fds[1]);
            std::raise(sig);
            ::_exit(0);
        }
        ::close(fds[1]);
        char path[4096] = {};
        const ssize_t n = ::read(fds[0], path, sizeof path - 1);
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_GT(n, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
        EXPECT_FALSE(fs::exists(path)) << "signal " << sig;
    }
}

// After a SIGKILL the next start clears the folder up, and nothing else: not a live show's
// folder, not another user's, not one opened up to others, not a link or what it points at.
TEST(TempFolder, StaleFoldersOfDeadShowsAreRemovedAndNothingElse) {
    char pattern[] = "/tmp/stale-test-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern));
    const std::string base = std::string(pattern) + "/";
    const pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const std::string d = std::to_string(dead);

    auto folder = [&](const std::string& name, fs::perms mode) {
        fs::create_directory(base + name);
        std::ofstream(base + name + "/SSIMG.jpg") << "x";
        fs::create_directory(base + name + "/sub");
        fs::permissions(base + name, mode);
        return base + name;
    };
    const std::string stale = folder("pictorelle-" + d + "-aB3xYz", fs::perms::owner_all);
    const std::string live =
        folder("pictorelle-" + std::to_string(::getppid()) + "-aaaaaa", fs::perms::owner_all);
    const std::string open = folder("pictorelle-" + d + "-bbbbbb", fs::perms(0755));
    const std::string oldStyle = folder("pictorelle-cccccc", fs::perms::owner_all);
    const std::string target = folder("target", fs::perms::owner_all);
    const std::string link = base + "pictorelle-" + d + "-dddddd";
    fs::create_directory_symlink(target, link);
    std::ofstream(base + "pictorelle-" + d + "-eeeeee") << "a file";
    std::string foreign;
    if (::geteuid() == 0) {
        foreign = folder("pictorelle-" + d + "-ffffff", fs::perms::owner_all);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }

    RemoveStaleTempFolders(base);
    EXPECT_FALSE(fs::exists(stale));
    for (const std::string& kept : {live, open, oldStyle, target + "/SSIMG.jpg", foreign}) {
        if (!kept.empty()) {
            EXPECT_TRUE(fs::exists(kept)) << kept;
        }
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::exists(base + "pictorelle-" + d + "-eeeeee"));
    fs::remove_all(pattern);
}

TEST(PackageEntries, WrittenEntriesExtractToTheirBytes) {
    PackageContent c;
    c.Items.push_back({ItemRecord{}, Pattern(70000)});       // compresses
    c.Items.push_back({ItemRecord{}, {0x01, 0x02, 0x03}});   // stored raw: compression won't pay
    c.Melodies.push_back({MelodyRecord{}, Pattern(4000)});
    std::vector<uint8_t> file(12345, 0x5A); // stands in for the player
    const auto package = WritePackage(c);
    file.insert(file.end(), package.begin(), package.end());
    const std::string show = WriteFile("show.scr", file);

    const Package p = ReadPackage(FileSource(show));
    const std::string dest = TempFilePath("SSIMG", ".bin");
    EXPECT_GT(p.Items[0].StoredSize, 0);
    EXPECT_EQ(p.Items[1].StoredSize, 0);
    for (size_t i = 0; i < 2; ++i) {
        const auto& r = p.Items[i];
        ExtractEntry(show, dest, r.Compressed(), p.EntryOffset(r), r.StoredSize, r.DataSize);
        EXPECT_EQ(Contents(dest), c.Items[i].Data);
    }
    const auto& m = p.Melodies[0];
    ExtractEntry(show, dest, m.Compressed(), p.EntryOffset(m), m.StoredSize, m.DataSize);
    EXPECT_EQ(Contents(dest), c.Melodies[0].Data);

    // By record: each kind finds its bytes from its own base.
    for (size_t i = 0; i < 2; ++i) {
        ExtractEntry(show, dest, p, p.Items[i]);
        EXPECT_EQ(Contents(dest), c.Items[i].Data) << i;
    }
    ExtractEntry(show, dest, p, m);
    EXPECT_EQ(Contents(dest), c.Melodies[0].Data);
}

TEST(TempFile, RemovesTheFileItOwnsWhenItGoes) {
    const std::string a = WriteFile("a.tmp", Pattern(3));
    const std::string b = WriteFile("b.tmp", Pattern(3));
    { const TempFile guard(a); }
    EXPECT_FALSE(fs::exists(a));
    {
        TempFile guard(b);
        guard.Keep();
    }
    EXPECT_TRUE(fs::exists(b));

    TempFile held(WriteFile("c.tmp", Pattern(3)));
    held = TempFile(b); // replaced: the old file goes
    EXPECT_FALSE(fs::exists(TempFolder() + "c.tmp"));
    held = TempFile(b); // the same file extracted again stays
    EXPECT_TRUE(fs::exists(b));
    TempFile moved(std::move(held));
    EXPECT_TRUE(fs::exists(b));
    moved = TempFile();
    EXPECT_FALSE(fs::exists(b));
}

} // namespace
} // namespace pictorelle

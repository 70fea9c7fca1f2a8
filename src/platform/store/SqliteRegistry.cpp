#include "platform/store/SqliteRegistry.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace pictorelle {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE);
CREATE TABLE IF NOT EXISTS vals(
  key  TEXT NOT NULL COLLATE NOCASE,
  name TEXT NOT NULL COLLATE NOCASE,
  type TEXT NOT NULL CHECK(type IN ('REG_DWORD','REG_SZ')),
  data NOT NULL,
  PRIMARY KEY(key, name));
)sql";

// SQLite's own words, and ours for the case a user is most likely to meet.
std::string Reason(sqlite3* db) {
    if (!db) return "out of memory";
    if ((sqlite3_errcode(db) & 0xFF) == SQLITE_BUSY)
        return std::string("it is in use by another program (") + sqlite3_errmsg(db) + ")";
    return sqlite3_errmsg(db);
}

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw RegistryAccessError(what + ": " + Reason(db));
}

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
    throw RegistryAccessError("the settings store " + path + " " + why);
}

std::string ErrnoText() {
    return std::strerror(errno);
}

// Creates the missing folders down to folder, private to the user; those that exist, links
// among them, are left as they are.
void CreateFolders(const fs::path& folder) {
    fs::path at;
    for (const auto& part : folder) {
        at /= part;
        if (::mkdir(at.c_str(), 0700) != 0 && errno != EEXIST) return; // the caller says why
    }
}

// The store's own folder, by a path without links: the folders above it are resolved (a
// linked ~/.config is common), the folder itself must be a real one and is made when
// missing. Never follows a link in the folder's place, so a dangling one creates nothing.
fs::path StoreFolder(const fs::path& folder, const std::string& shown) {
    const fs::path above = folder.parent_path();
    CreateFolders(above);
    char* resolved = ::realpath(above.c_str(), nullptr);
    if (!resolved) Refuse(shown, "cannot be reached: " + ErrnoText());
    const fs::path real = fs::path(resolved) / folder.filename();
    std::free(resolved);

    struct stat info {};
    bool made = false;
    if (::lstat(real.c_str(), &info) != 0) {
        if (errno != ENOENT) Refuse(shown, "cannot be reached: " + ErrnoText());
        if (::mkdir(real.c_str(), 0700) != 0 && errno != EEXIST)
            Refuse(shown, "cannot be made: " + ErrnoText());
        made = true;
    } else if (S_ISLNK(info.st_mode)) {
        Refuse(shown, "is in a folder that is a symbolic link");
    }
    // The open checks again, so a link put there since the look above is refused as well.
    const int fd = ::open(real.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP) Refuse(shown, "is in a folder that is a symbolic link");
        if (errno == ENOTDIR) Refuse(shown, "is in something that is not a folder");
        Refuse(shown, "cannot be reached: " + ErrnoText());
    }
    if (made) ::fchmod(fd, 0700); // the umask may have taken more than group and others
    ::close(fd);
    return real;
}

// Makes the file, private to the user, unless someone else made it just now. Never follows a
// link, dangling or not.
void CreateStoreFile(const fs::path& file, const std::string& shown) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return;
        Refuse(shown, "cannot be made: " + ErrnoText());
    }
    ::fchmod(fd, 0600);
    ::close(fd);
}

// Whether a read-only store has saves in its log that the file itself does not hold yet.
bool HasLog(const fs::path& file) {
    struct stat info {};
    return ::lstat((file.string() + "-wal").c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           info.st_size > 0;
}

// A file URI for SQLite, every byte that could mean something else escaped.
std::string FileUri(const std::string& path, const char* query) {
    std::string uri = "file:";
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) || c == '/' || c == '.' || c == '-' || c == '_') {
            uri += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", b);
            uri += escaped;
        }
    }
    return uri + "?" + query;
}

// One prepared statement, finalised with its scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) Fail(db, "prepare");
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, std::string_view text) {
        Check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement& BindBlob(int index, std::string_view bytes) {
        // A zero-length blob must still be a blob, not NULL.
        Check(bytes.empty() ? sqlite3_bind_zeroblob(stmt_, index, 0)
                            : sqlite3_bind_blob(stmt_, index, bytes.data(),
                                                static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Bind(int index, int32_t value) {
        Check(sqlite3_bind_int(stmt_, index, value));
        return *this;
    }
    // True while there is a row.
    bool Step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(db_, "step");
    }
    std::string Text(int column) {
        const auto* p = sqlite3_column_blob(stmt_, column);
        const int n = sqlite3_column_bytes(stmt_, column);
        return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
    }
    int Type(int column) { return sqlite3_column_type(stmt_, column); }
    int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }

private:
    void Check(int rc) {
        if (rc != SQLITE_OK) Fail(db_, "bind");
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// The stored row as a typed value; a row that does not hold what its type says is a
// wrong-type value too.
RegistryData DecodeRow(Statement& s, int typeColumn, int dataColumn, std::string_view name) {
    const std::string type = s.Text(typeColumn);
    if (type == "REG_DWORD") {
        const int64_t v = s.Int(dataColumn);
        if (s.Type(dataColumn) != SQLITE_INTEGER || v < std::numeric_limits<int32_t>::min() ||
            v > std::numeric_limits<int32_t>::max())
            throw RegistryError("value " + std::string(name) + " is not a 32-bit integer");
        return static_cast<int32_t>(v);
    }
    return s.Text(dataColumn);
}

} // namespace

// Writes take the lock up front so two processes never deadlock upgrading a read lock. Each
// one waits for the lock with the save's own allowance.
class SqliteRegistry::Transaction {
public:
    explicit Transaction(SqliteRegistry& r) : r_(r) {
        if (r_.readOnly_) Refuse(r_.path_, "may not be written");
        r_.waitLeft_ = &waitLeft_;
        try {
            r_.Exec("BEGIN IMMEDIATE");
        } catch (...) {
            r_.waitLeft_ = &r_.readWaitLeft_;
            throw;
        }
    }
    ~Transaction() {
        if (!done_) sqlite3_exec(r_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
        r_.waitLeft_ = &r_.readWaitLeft_;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        r_.Exec("COMMIT");
        done_ = true;
    }

private:
    SqliteRegistry& r_;
    bool done_ = false;
    std::chrono::nanoseconds waitLeft_ = kSaveWait;
};

SqliteRegistry::SqliteRegistry(const std::string& path) : path_(path) {
    std::error_code noFolder;
    const fs::path given = fs::absolute(path, noFolder);
    if (noFolder) Refuse(path, "cannot be reached: " + noFolder.message());
    const fs::path folder = StoreFolder(given.parent_path(), path);
    const fs::path file = folder / given.filename();

    // Only a plain file is used: a link could point the writes anywhere, and anything else is
    // left for the user to sort out, untouched.
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) {
        if (errno != ENOENT) Refuse(path, "cannot be reached: " + ErrnoText());
        CreateStoreFile(file, path);
        if (::lstat(file.c_str(), &info) != 0) Refuse(path, "cannot be reached: " + ErrnoText());
    }
    if (S_ISLNK(info.st_mode)) Refuse(path, "is a symbolic link");
    if (!S_ISREG(info.st_mode)) Refuse(path, "is not a file");

    // The log and its index live beside the file, so a folder that may not be written makes
    // the store read-only too.
    constexpr int kAccess = AT_EACCESS | AT_SYMLINK_NOFOLLOW;
    const bool writable = ::faccessat(AT_FDCWD, file.c_str(), W_OK, kAccess) == 0 &&
                          ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, kAccess) == 0;
    try {
        Open(file.string(), writable);
    } catch (const RegistryError& e) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw RegistryAccessError("cannot use the settings store " + path + ": " + e.what());
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

void SqliteRegistry::Open(const std::string& file, bool writable) {
    // A read-only store cannot have the index its log needs made beside it; unless it holds a
    // log, nobody can change it while it stays read-only, so SQLite may read it as it is.
    readOnly_ = !writable;
    const bool asItIs = readOnly_ && !HasLog(file);
    const std::string name = asItIs ? FileUri(file, "immutable=1") : file;
    const int flags = (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      (asItIs ? SQLITE_OPEN_URI : 0) | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK)
        throw RegistryAccessError(Reason(db_));
    sqlite3_busy_handler(db_, &SqliteRegistry::WaitForLock, this);
    // SQLite falls back to reading when it may not write after all.
    if (sqlite3_db_readonly(db_, "main") == 1) readOnly_ = true;
    if (!readOnly_) {
        bool wal = false;
        {
            Statement mode(db_, "PRAGMA journal_mode");
            wal = mode.Step() && mode.Text(0) == "wal";
        }
        if (!wal) Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=FULL");
    }
    CheckIntegrity();
    // Only a new store needs its tables: a start that had to take the write lock for them
    // would wait for every other writer.
    if (HasTables()) return;
    if (readOnly_) throw RegistryAccessError("it holds no settings and may not be written");
    Transaction t(*this);
    Exec(kSchema);
    t.Commit();
}

// Waits in short steps while the allowance in use lasts.
int SqliteRegistry::WaitForLock(void* self, int) {
    auto& r = *static_cast<SqliteRegistry*>(self);
    std::chrono::nanoseconds& left = *r.waitLeft_;
    if (left <= std::chrono::nanoseconds::zero()) return 0;
    const auto before = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(
        std::min<std::chrono::nanoseconds>(left, std::chrono::milliseconds(5)));
    left -= std::chrono::steady_clock::now() - before;
    return 1;
}

SqliteRegistry::~SqliteRegistry() {
    sqlite3_close(db_);
}

std::string SqliteRegistry::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config && *config == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : ".") / ".config";
    }
    return (base / "pictorelle" / "registry.db").string();
}

// A damaged file must not be read as settings, nor written over: the user may want to
// rescue it. The store is small, so the quick check costs next to nothing.
void SqliteRegistry::CheckIntegrity() {
    Statement check(db_, "PRAGMA quick_check");
    while (check.Step()) {
        if (check.Text(0) != "ok") throw RegistryError("the file is damaged: " + check.Text(0));
    }
}

bool SqliteRegistry::HasTables() {
    Statement s(db_, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                     "('keys', 'vals')");
    return s.Step() && s.Int(0) == 2;
}

void SqliteRegistry::Exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db_, "settings store");
}

bool SqliteRegistry::KeyExists(std::string_view key) {
    Statement s(db_, "SELECT 1 FROM keys WHERE path = ?1");
    return s.Bind(1, key).Step();
}

void SqliteRegistry::CreateKey(std::string_view key) {
    Transaction t(*this);
    InsertKeyWithParents(key);
    t.Commit();
}

// Like the registry, creating a key creates the keys above it.
void SqliteRegistry::InsertKeyWithParents(std::string_view key) {
    Statement s(db_, "INSERT OR IGNORE INTO keys(path) VALUES(?1)");
    for (size_t pos = key.find('\\'); pos != std::string_view::npos;
         pos = key.find('\\', pos + 1)) {
        Statement parent(db_, "INSERT OR IGNORE INTO keys(path) VALUES(?1)");
        parent.Bind(1, key.substr(0, pos)).Step();
    }
    s.Bind(1, key).Step();
}

void SqliteRegistry::InsertValue(std::string_view key, const RegistryValue& value) {
    Statement s(db_, "INSERT OR REPLACE INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    s.Bind(1, key).Bind(2, value.Name);
    if (const auto* n = std::get_if<int32_t>(&value.Data)) {
        s.Bind(3, std::string_view("REG_DWORD")).Bind(4, *n);
    } else {
        s.Bind(3, std::string_view("REG_SZ")).BindBlob(4, std::get<std::string>(value.Data));
    }
    s.Step();
}

std::optional<RegistryData> SqliteRegistry::ReadValue(std::string_view key, std::string_view name) {
    Statement s(db_, "SELECT type, data FROM vals WHERE key = ?1 AND name = ?2");
    if (!s.Bind(1, key).Bind(2, name).Step()) return std::nullopt;
    return DecodeRow(s, 0, 1, name);
}

void SqliteRegistry::WriteValues(std::string_view key, std::span<const RegistryValue> values) {
    Transaction t(*this);
    InsertKeyWithParents(key);
    for (const auto& v : values)
        InsertValue(key, v);
    t.Commit();
}

void SqliteRegistry::DeleteValue(std::string_view key, std::string_view name) {
    Transaction t(*this);
    Statement s(db_, "DELETE FROM vals WHERE key = ?1 AND name = ?2");
    s.Bind(1, key).Bind(2, name).Step();
    t.Commit();
}

std::vector<RegistryValue> SqliteRegistry::ReadAllValues(std::string_view key) {
    Statement s(db_, "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY name");
    s.Bind(1, key);
    std::vector<RegistryValue> values;
    while (s.Step()) {
        std::string name = s.Text(0);
        RegistryData data = DecodeRow(s, 1, 2, name);
        values.push_back({std::move(name), std::move(data)});
    }
    return values;
}

void SqliteRegistry::ReplaceValues(std::string_view key, std::span<const RegistryValue> values) {
    Transaction t(*this);
    InsertKeyWithParents(key);
    Statement clear(db_, "DELETE FROM vals WHERE key = ?1");
    clear.Bind(1, key).Step();
    for (const auto& v : values)
        InsertValue(key, v);
    t.Commit();
}

void ReadStoredSettings(const std::string& path, std::string_view saverTitle,
                        SaverSettings& settings) {
    try {
        SqliteRegistry store(path);
        for (const std::string& name : ReadSaverSettings(store, saverTitle, settings))
            std::fprintf(stderr,
                         "Ignoring the stored setting %s, which is not of its type: the show's "
                         "own value is used until the options panel saves a new one.\n",
                         name.c_str());
    } catch (const RegistryAccessError& e) {
        std::fprintf(stderr, "Using the show's own settings: %s\n", e.what());
    }
}

} // namespace pictorelle

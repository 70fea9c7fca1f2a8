#include "platform/store/SqliteRegistry.h"

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <sqlite3.h>
#include <sys/stat.h>

namespace pictorelle {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE);
CREATE TABLE IF NOT EXISTS vals(
  key  TEXT NOT NULL COLLATE NOCASE,
  name TEXT NOT NULL COLLATE NOCASE,
  type TEXT NOT NULL CHECK(type IN ('REG_DWORD','REG_SZ')),
  data NOT NULL,
  PRIMARY KEY(key, name));
)sql";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
    throw RegistryError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
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

// Writes take the lock up front so two processes never deadlock upgrading a read lock.
class SqliteRegistry::Transaction {
public:
    explicit Transaction(SqliteRegistry& r) : r_(r) { r_.Exec("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!done_) sqlite3_exec(r_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
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
};

SqliteRegistry::SqliteRegistry(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) {
        std::error_code ec;
        if (std::filesystem::create_directories(file.parent_path(), ec))
            ::chmod(file.parent_path().c_str(), 0700);
    }
    // Only a plain file of our own making is used: a link could point the writes anywhere,
    // and anything else is left for the user to sort out, untouched.
    struct stat info {};
    const bool existed = ::lstat(path.c_str(), &info) == 0;
    if (existed && S_ISLNK(info.st_mode))
        throw RegistryError("the settings store " + path + " is a symbolic link");
    if (existed && !S_ISREG(info.st_mode))
        throw RegistryError("the settings store " + path + " is not a file");
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX |
                            SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw RegistryError("cannot open the settings store " + path + ": " + message);
    }
    if (!existed) ::chmod(path.c_str(), 0600);
    try {
        sqlite3_busy_timeout(db_, 10000);
        if (sqlite3_db_readonly(db_, "main") == 1)
            throw RegistryError("the file cannot be written");
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA synchronous=FULL");
        CheckIntegrity();
        Transaction t(*this);
        Exec(kSchema);
        t.Commit();
    } catch (const RegistryError& e) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw RegistryError("cannot use the settings store " + path + ": " + e.what());
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

SqliteRegistry::~SqliteRegistry() { sqlite3_close(db_); }

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

void SqliteRegistry::Exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw RegistryError(std::string("settings store: ") + message);
    }
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
    for (size_t pos = key.find('\\'); pos != std::string_view::npos; pos = key.find('\\', pos + 1)) {
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
    for (const auto& v : values) InsertValue(key, v);
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
    for (const auto& v : values) InsertValue(key, v);
    t.Commit();
}

} // namespace pictorelle

// The per-user settings store: one SQLite file that mirrors the registry's keys and typed
// values. Several processes may use it at once (a preview and an options panel); every write
// is one transaction, so a crash leaves either the old or the new values, never a mix.
#pragma once

#include "package/Registry.h"
#include "package/SaverSettings.h"

#include <chrono>
#include <string>

struct sqlite3;

namespace pictorelle {

class SqliteRegistry final : public Registry {
public:
    // How long the store waits for another process's lock. All reads of one open store share
    // one allowance, so a store held by someone else delays a show's start by a second at
    // most; each save has its own, longer one, because a lost save costs the user more than a
    // short wait when the options panel closes.
    static constexpr std::chrono::milliseconds kReadWait{1000};
    static constexpr std::chrono::milliseconds kSaveWait{5000};

    // Opens the store, creating it when missing: its folder with mode 0700 (and the folders
    // above it when missing), the file with mode 0600. Neither the file nor its folder may be
    // a symbolic link, dangling or not; the folders above them are the user's own business.
    // A store that may not be written (the file or its folder) is opened for reading only:
    // reads work, every write throws RegistryAccessError. Throws RegistryAccessError, and
    // leaves the file as it found it, when the file or its folder is a link or not what it
    // should be, when it is not a sound SQLite database, or when it stays locked longer than
    // the read allowance.
    explicit SqliteRegistry(const std::string& path);
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    // $XDG_CONFIG_HOME/pictorelle/registry.db, or ~/.config/pictorelle/registry.db.
    static std::string DefaultPath();

    bool ReadOnly() const { return readOnly_; }

    bool KeyExists(std::string_view key) override;
    void CreateKey(std::string_view key) override;
    std::optional<RegistryData> ReadValue(std::string_view key, std::string_view name) override;
    void WriteValues(std::string_view key, std::span<const RegistryValue> values) override;
    void DeleteValue(std::string_view key, std::string_view name) override;
    std::vector<RegistryValue> ReadAllValues(std::string_view key) override;
    void ReplaceValues(std::string_view key, std::span<const RegistryValue> values) override;

private:
    class Transaction;
    static int WaitForLock(void* self, int count);
    void Open(const std::string& file, bool writable);
    void Exec(const char* sql);
    void CheckIntegrity();
    bool HasTables();
    void InsertKeyWithParents(std::string_view key);
    void InsertValue(std::string_view key, const RegistryValue& value);

    sqlite3* db_ = nullptr;
    std::string path_;
    bool readOnly_ = false;
    // What is left of the reads' allowance, and the allowance that the next wait draws on.
    std::chrono::nanoseconds readWaitLeft_ = kReadWait;
    std::chrono::nanoseconds* waitLeft_ = &readWaitLeft_;
};

// Reads the user's settings over the package's defaults in settings, as a show does when it
// starts. A store that cannot be used (missing folder that cannot be made, refused, locked
// past the read allowance, unreadable) leaves the settings as they are and says why in one
// line on standard error. A stored value of the wrong type keeps the package's value, with one
// line naming it.
void ReadStoredSettings(const std::string& path, std::string_view saverTitle,
                        SaverSettings& settings);

} // namespace pictorelle

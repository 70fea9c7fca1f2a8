// The per-user settings store: one SQLite file that mirrors the registry's keys and typed
// values. Several processes may use it at once (a preview and an options panel); every write
// is one transaction, so a crash leaves either the old or the new values, never a mix.
#pragma once

#include "package/Registry.h"

#include <string>

struct sqlite3;

namespace pictorelle {

class SqliteRegistry final : public Registry {
public:
    // Opens or creates the store (and its folder, private to the user). Throws RegistryError,
    // and leaves the file as it found it, when the path is a symbolic link or not a plain
    // file, when the file cannot be written, or when it is not a sound SQLite database.
    explicit SqliteRegistry(const std::string& path);
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry&) = delete;
    SqliteRegistry& operator=(const SqliteRegistry&) = delete;

    // $XDG_CONFIG_HOME/pictorelle/registry.db, or ~/.config/pictorelle/registry.db.
    static std::string DefaultPath();

    bool KeyExists(std::string_view key) override;
    void CreateKey(std::string_view key) override;
    std::optional<RegistryData> ReadValue(std::string_view key, std::string_view name) override;
    void WriteValues(std::string_view key, std::span<const RegistryValue> values) override;
    void DeleteValue(std::string_view key, std::string_view name) override;
    std::vector<RegistryValue> ReadAllValues(std::string_view key) override;
    void ReplaceValues(std::string_view key, std::span<const RegistryValue> values) override;

private:
    class Transaction;
    void Exec(const char* sql);
    void CheckIntegrity();
    void InsertKeyWithParents(std::string_view key);
    void InsertValue(std::string_view key, const RegistryValue& value);

    sqlite3* db_ = nullptr;
};

} // namespace pictorelle

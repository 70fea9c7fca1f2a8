// The per-user settings store, seen the way the settings code uses it: keys named by
// backslash-separated paths, each holding named values that are 32-bit integers (REG_DWORD)
// or byte strings (REG_SZ). The SQLite store of the platform layer implements it; tests use
// an in-memory one.
#pragma once

#include "core/Error.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pictorelle {

// The store cannot be read or written, or a value has the wrong type.
class RegistryError : public PictorelleError {
public:
    using PictorelleError::PictorelleError;
};

// The store itself cannot be used just now or at all (refused, locked by another process,
// read-only when writing, unreadable), as opposed to a value in it of the wrong type. A show
// that only reads goes on without the store.
class RegistryAccessError : public RegistryError {
public:
    using RegistryError::RegistryError;
};

using RegistryData = std::variant<int32_t, std::string>;

struct RegistryValue {
    std::string Name;
    RegistryData Data;
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual bool KeyExists(std::string_view key) = 0;
    virtual void CreateKey(std::string_view key) = 0;
    // Empty when the value does not exist.
    virtual std::optional<RegistryData> ReadValue(std::string_view key, std::string_view name) = 0;
    // Creates the key when missing and writes every value, all in one transaction: after a
    // crash either all of them or none are stored.
    virtual void WriteValues(std::string_view key, std::span<const RegistryValue> values) = 0;
    virtual void DeleteValue(std::string_view key, std::string_view name) = 0;
    // Every value of the key, in name order.
    virtual std::vector<RegistryValue> ReadAllValues(std::string_view key) = 0;
    // Replaces all of the key's values with the given ones in one transaction.
    virtual void ReplaceValues(std::string_view key, std::span<const RegistryValue> values) = 0;
};

// A value of the expected type; the other type throws RegistryError naming the value.
template <class T>
const T& ValueAs(const RegistryData& data, std::string_view key, std::string_view name) {
    if (const T* value = std::get_if<T>(&data)) return *value;
    throw RegistryError("value " + std::string(name) + " of " + std::string(key) +
                        " has the wrong type");
}

// An open key. Reads are typed: a value that exists with the other type is a RegistryError.
class RegistryKey {
public:
    RegistryKey(Registry& registry, std::string path)
        : registry_(&registry), path_(std::move(path)) {}

    // Opens a key, creating it when asked; empty when it does not exist and is not created.
    static std::optional<RegistryKey> Open(Registry& registry, std::string path, bool create);

    const std::string& Path() const { return path_; }
    std::optional<int32_t> ReadInteger(std::string_view name) const;
    std::optional<std::string> ReadString(std::string_view name) const;
    void WriteInteger(std::string_view name, int32_t value);
    void WriteString(std::string_view name, std::string value);
    void WriteValues(std::span<const RegistryValue> values) {
        registry_->WriteValues(path_, values);
    }
    void DeleteValue(std::string_view name) { registry_->DeleteValue(path_, name); }

private:
    Registry* registry_;
    std::string path_;
};

} // namespace pictorelle

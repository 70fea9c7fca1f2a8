// An in-memory per-user store for the engine's tests.
#pragma once

#include "package/Registry.h"

#include <map>
#include <string>
#include <vector>

namespace pictorelle {

// An in-memory store that counts its reads and records the order of writes.
class MemoryRegistry : public Registry {
public:
    bool KeyExists(std::string_view key) override { return keys.contains(std::string(key)); }
    void CreateKey(std::string_view key) override { keys[std::string(key)]; }
    std::optional<RegistryData> ReadValue(std::string_view key, std::string_view name) override {
        auto& values = keys[std::string(key)];
        auto it = values.find(std::string(name));
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    void WriteValues(std::string_view key, std::span<const RegistryValue> values) override {
        if (broken) throw RegistryAccessError("the store is locked");
        ++saves;
        for (const auto& v : values) {
            keys[std::string(key)][v.Name] = v.Data;
            written.push_back(v.Name);
        }
    }
    void DeleteValue(std::string_view key, std::string_view name) override {
        keys[std::string(key)].erase(std::string(name));
    }
    std::vector<RegistryValue> ReadAllValues(std::string_view key) override {
        if (broken) throw RegistryAccessError("the store is locked");
        ++snapshots;
        std::vector<RegistryValue> out;
        for (const auto& [name, data] : keys[std::string(key)])
            out.push_back({name, data});
        return out;
    }
    void ReplaceValues(std::string_view, std::span<const RegistryValue>) override {}

    std::map<std::string, std::map<std::string, RegistryData>> keys;
    std::vector<std::string> written;
    int saves = 0;
    int snapshots = 0;
    bool broken = false; // every read and write fails as a locked store's would
};

} // namespace pictorelle

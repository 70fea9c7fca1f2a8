#include "package/Registry.h"

namespace pictorelle {

std::optional<RegistryKey> RegistryKey::Open(Registry& registry, std::string path, bool create) {
    if (!registry.KeyExists(path)) {
        if (!create) return std::nullopt;
        registry.CreateKey(path);
    }
    return RegistryKey(registry, std::move(path));
}

std::optional<int32_t> RegistryKey::ReadInteger(std::string_view name) const {
    const auto data = registry_->ReadValue(path_, name);
    if (!data) return std::nullopt;
    if (const auto* value = std::get_if<int32_t>(&*data)) return *value;
    throw RegistryError("value " + std::string(name) + " of " + path_ + " is not an integer");
}

std::optional<bool> RegistryKey::ReadBool(std::string_view name) const {
    const auto value = ReadInteger(name);
    if (!value) return std::nullopt;
    return *value != 0;
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
    const auto data = registry_->ReadValue(path_, name);
    if (!data) return std::nullopt;
    if (const auto* value = std::get_if<std::string>(&*data)) return *value;
    throw RegistryError("value " + std::string(name) + " of " + path_ + " is not a string");
}

void RegistryKey::WriteInteger(std::string_view name, int32_t value) {
    const RegistryValue v{std::string(name), value};
    registry_->WriteValues(path_, {&v, 1});
}

void RegistryKey::WriteString(std::string_view name, std::string value) {
    const RegistryValue v{std::string(name), std::move(value)};
    registry_->WriteValues(path_, {&v, 1});
}

} // namespace pictorelle

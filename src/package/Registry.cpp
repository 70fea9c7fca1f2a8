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
    return ValueAs<int32_t>(*data, path_, name);
}

std::optional<std::string> RegistryKey::ReadString(std::string_view name) const {
    const auto data = registry_->ReadValue(path_, name);
    if (!data) return std::nullopt;
    return ValueAs<std::string>(*data, path_, name);
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

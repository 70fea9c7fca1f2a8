#include "package/SaverSettings.h"

#include <algorithm>
#include <cctype>

namespace pictorelle {
namespace {

// The stored values in the order they are read and written.
struct StoredSetting {
    const char* name;
    int32_t SaverSettings::*integer = nullptr;
    bool SaverSettings::*flag = nullptr;
    std::string SaverSettings::*text = nullptr;
};

using S = SaverSettings;
constexpr StoredSetting kStoredSettings[kStoredSettingCount] = {
    {"Seconds", &S::Seconds},
    {"Stretch", &S::Stretch},
    {"DisplayOrder", &S::DisplayOrder},
    {"DesktopStart", nullptr, &S::DesktopStart},
    {"Loop", nullptr, &S::Loop},
    {"Mute", nullptr, &S::Mute},
    {"ShuffleMelody", nullptr, &S::ShuffleMelody},
    {"Effect", nullptr, nullptr, &S::Effect},
    {"EffectSpeed", &S::EffectSpeed},
    {"PlayOneRandom", nullptr, &S::PlayOneRandom},
    {"ExitMouseMove", nullptr, &S::ExitMouseMove},
    {"ExitMouseButton", nullptr, &S::ExitMouseButton},
    {"ExitKeyboard", nullptr, &S::ExitKeyboard},
    {"ExitESC", nullptr, &S::ExitESC},
    {"UseCustomPlaylist", nullptr, &S::UseCustomPlaylist},
    {"DisableTwoMonitors", nullptr, &S::DisableTwoMonitors},
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

SaverSettings SettingsFromPackage(const PackageHeader& h, const StringBlock& strings) {
    SaverSettings s;
    s.Seconds = h.Seconds;
    s.Stretch = h.Stretch;
    s.DisplayOrder = h.DisplayOrder;
    s.DesktopStart = h.DesktopStart;
    s.Loop = h.Loop;
    s.Mute = h.Mute;
    s.ShuffleMelody = h.ShuffleMelody;
    s.Effect = strings[StringId::Effect];
    s.EffectSpeed = h.EffectSpeed;
    s.PlayOneRandom = h.PlayOneRandom;
    s.ExitMouseMove = h.ExitMouseMove;
    s.ExitMouseButton = h.ExitMouseButton;
    s.ExitKeyboard = h.ExitKeyboard;
    s.ExitESC = h.ExitESC;
    s.UseCustomPlaylist = false;
    s.DisableTwoMonitors = h.DisableTwoMonitors;
    return s;
}

std::string SettingsKeyPath(std::string_view saverTitle) {
    return "Software\\Pictorelle\\" + std::string(saverTitle);
}

std::vector<std::string> ReadSaverSettings(Registry& registry, std::string_view saverTitle,
                                           SaverSettings& settings) {
    const std::string key = SettingsKeyPath(saverTitle);
    if (!registry.KeyExists(key)) return {};
    // One read of the whole key, so a save by another process (an options panel closing
    // while a preview starts) is seen entirely or not at all. A row that does not hold what
    // its type says spoils that read; the values are then read one by one, so only the
    // spoilt one is lost.
    std::optional<std::vector<RegistryValue>> stored;
    try {
        stored = registry.ReadAllValues(key);
    } catch (const RegistryAccessError&) {
        throw;
    } catch (const RegistryError&) {
    }
    auto find = [&](const char* name) -> std::optional<RegistryData> {
        if (!stored) return registry.ReadValue(key, name);
        for (const auto& v : *stored)
            if (EqualsIgnoringCase(v.Name, name)) return v.Data;
        return std::nullopt;
    };
    // A value of the wrong type is the store's fault, not the show's: the show keeps its own
    // value for it, and the next save of the options panel writes a good one over it.
    SaverSettings read = settings;
    std::vector<std::string> ignored;
    for (const auto& s : kStoredSettings) {
        std::optional<RegistryData> data;
        try {
            data = find(s.name);
        } catch (const RegistryAccessError&) {
            throw;
        } catch (const RegistryError&) {
            ignored.push_back(s.name);
            continue;
        }
        if (!data) continue;
        if (std::holds_alternative<std::string>(*data) != (s.text != nullptr)) {
            ignored.push_back(s.name);
            continue;
        }
        if (s.integer)
            read.*s.integer = std::get<int32_t>(*data);
        else if (s.flag)
            read.*s.flag = std::get<int32_t>(*data) != 0;
        else
            read.*s.text = std::get<std::string>(*data);
    }
    settings = std::move(read);
    return ignored;
}

void WriteSaverSettings(Registry& registry, std::string_view saverTitle,
                        const SaverSettings& settings) {
    std::vector<RegistryValue> values;
    values.reserve(kStoredSettingCount);
    for (const auto& s : kStoredSettings) {
        if (s.integer)
            values.push_back({s.name, settings.*s.integer});
        else if (s.flag)
            values.push_back({s.name, int32_t{settings.*s.flag ? 1 : 0}});
        else
            values.push_back({s.name, settings.*s.text});
    }
    registry.WriteValues(SettingsKeyPath(saverTitle), values);
}

void ApplyPresentationOverrides(SaverSettings& settings) {
    settings.ExitMouseMove = false;
    settings.ExitMouseButton = false;
    settings.ExitKeyboard = false;
    settings.ExitESC = true;
}

} // namespace pictorelle

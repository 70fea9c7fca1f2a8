#include "package/SaverSettings.h"

#include "package/CodePage.h"

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
    return "Software\\Pictorelle\\" + Cp1252ToUtf8(saverTitle);
}

void ReadSaverSettings(Registry& registry, std::string_view saverTitle, SaverSettings& settings) {
    std::optional<RegistryKey> key;
    try {
        key = RegistryKey::Open(registry, SettingsKeyPath(saverTitle), false);
    } catch (const RegistryError&) {
        return; // a store that cannot be opened leaves the package's defaults
    }
    if (!key) return;
    for (const auto& s : kStoredSettings) {
        if (s.integer) {
            if (auto v = key->ReadInteger(s.name)) settings.*s.integer = *v;
        } else if (s.flag) {
            if (auto v = key->ReadBool(s.name)) settings.*s.flag = *v;
        } else if (auto v = key->ReadString(s.name)) {
            settings.*s.text = std::move(*v);
        }
    }
}

void WriteSaverSettings(Registry& registry, std::string_view saverTitle,
                        const SaverSettings& settings) {
    std::vector<RegistryValue> values;
    values.reserve(kStoredSettingCount);
    for (const auto& s : kStoredSettings) {
        if (s.integer) values.push_back({s.name, settings.*s.integer});
        else if (s.flag) values.push_back({s.name, int32_t{settings.*s.flag ? 1 : 0}});
        else values.push_back({s.name, settings.*s.text});
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

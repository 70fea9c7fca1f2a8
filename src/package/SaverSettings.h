// The run-time settings: the package's defaults, overwritten by the user's own choices from
// the per-user store, and written back when the options panel closes.
#pragma once

#include "package/PackageLayout.h"
#include "package/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace pictorelle {

struct SaverSettings {
    int32_t Seconds = 5;
    int32_t Stretch = 0;
    int32_t DisplayOrder = 0;
    bool DesktopStart = false;
    bool Loop = true;
    bool Mute = false;
    bool ShuffleMelody = false;
    std::string Effect; // effect selection: one byte per selected effect number
    int32_t EffectSpeed = 4;
    bool PlayOneRandom = false;
    bool ExitMouseMove = true;
    bool ExitMouseButton = true;
    bool ExitKeyboard = true;
    bool ExitESC = true;
    bool UseCustomPlaylist = false;
    bool DisableTwoMonitors = false;
};

// The number of values stored per user.
inline constexpr int kStoredSettingCount = 16;

// The package's defaults; the built-in playlist is the default choice.
SaverSettings SettingsFromPackage(const PackageHeader& header, const StringBlock& strings);

// The key of one screen saver's settings; the title is package text as the reader gives it
// (UTF-8), so a title reads the same key whatever code page its package used.
std::string SettingsKeyPath(std::string_view saverTitle);

// Reads every stored value over the given settings, in the fixed order. A missing key or
// value keeps the default, and so does a value of the wrong type: the names of those are
// returned, for the caller to say which were ignored. A store that cannot be read throws
// RegistryAccessError and leaves the settings as they were.
std::vector<std::string> ReadSaverSettings(Registry& registry, std::string_view saverTitle,
                                           SaverSettings& settings);

// Writes all sixteen values in one transaction, creating the key when needed.
void WriteSaverSettings(Registry& registry, std::string_view saverTitle,
                        const SaverSettings& settings);

// A show started as a plain program ends only by Esc, whatever the settings say.
void ApplyPresentationOverrides(SaverSettings& settings);

} // namespace pictorelle

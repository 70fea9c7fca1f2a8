#include "package/SaverSettings.h"

#include "package/MemoryRegistry.h"

#include <gtest/gtest.h>

namespace pictorelle {
namespace {

const std::vector<std::string> kOrder = {
    "Seconds",      "Stretch",       "DisplayOrder",      "DesktopStart",
    "Loop",         "Mute",          "ShuffleMelody",     "Effect",
    "EffectSpeed",  "PlayOneRandom", "ExitMouseMove",     "ExitMouseButton",
    "ExitKeyboard", "ExitESC",       "UseCustomPlaylist", "DisableTwoMonitors"};

TEST(SaverSettings, WithoutAKeyThePackageDefaultsApply) {
    PackageHeader h;
    h.Seconds = 8;
    h.Stretch = 4;
    h.ExitMouseMove = false;
    StringBlock strings;
    strings[StringId::Effect] = "\x45\x46";
    auto s = SettingsFromPackage(h, strings);
    MemoryRegistry store;
    ReadSaverSettings(store, "Show", s);
    EXPECT_EQ(store.snapshots, 0) << "nothing is read from a key that does not exist";
    EXPECT_EQ(s.Seconds, 8);
    EXPECT_EQ(s.Stretch, 4);
    EXPECT_EQ(s.Effect, "\x45\x46");
    EXPECT_FALSE(s.ExitMouseMove);
    EXPECT_FALSE(s.UseCustomPlaylist);
}

TEST(SaverSettings, StoredValuesOverrideInTheFixedOrderUnchecked) {
    MemoryRegistry store;
    auto& key = store.keys["Software\\Pictorelle\\Caf\u00e9"]; // the title as the reader gives it
    key["DisplayOrder"] = int32_t{7}; // not range-checked: kept as it is
    key["Stretch"] = int32_t{5};
    key["Loop"] = int32_t{0};
    key["ExitESC"] = int32_t{2}; // any non-zero is true
    key["Effect"] = std::string("\x01\x78");
    key["UseCustomPlaylist"] = int32_t{1};
    SaverSettings s;
    s.ExitESC = false;
    key["exitmousemove"] = int32_t{0}; // names compare without regard to case
    ReadSaverSettings(store, "Caf\u00e9", s);
    EXPECT_EQ(store.snapshots, 1) << "the key is read in one go";
    EXPECT_FALSE(s.ExitMouseMove);
    EXPECT_EQ(s.DisplayOrder, 7);
    EXPECT_EQ(s.Stretch, 5);
    EXPECT_FALSE(s.Loop);
    EXPECT_TRUE(s.ExitESC);
    EXPECT_EQ(s.Effect, "\x01\x78");
    EXPECT_TRUE(s.UseCustomPlaylist);
}

// A value of the wrong type costs only itself: the others are read, it keeps the value it
// had, and its name comes back to be reported.
TEST(SaverSettings, AValueOfTheWrongTypeKeepsItsDefaultAndIsNamed) {
    MemoryRegistry store;
    auto& key = store.keys["Software\\Pictorelle\\Show"];
    key["Seconds"] = std::string("10");
    key["Effect"] = int32_t{1};
    key["Loop"] = std::string("yes");
    key["Stretch"] = int32_t{3};
    key["EffectSpeed"] = int32_t{9};
    SaverSettings s;
    s.Seconds = 8;
    s.Effect = "\x05";
    const auto ignored = ReadSaverSettings(store, "Show", s);
    EXPECT_EQ(ignored, (std::vector<std::string>{"Seconds", "Loop", "Effect"}));
    EXPECT_EQ(s.Seconds, 8);
    EXPECT_EQ(s.Effect, "\x05");
    EXPECT_TRUE(s.Loop);
    EXPECT_EQ(s.Stretch, 3);
    EXPECT_EQ(s.EffectSpeed, 9);
}

// A row the store cannot decode spoils the one-piece read of the key; the values are then
// read one by one and only that one is lost.
TEST(SaverSettings, AnUndecodableValueCostsOnlyItself) {
    class Spoilt final : public MemoryRegistry {
    public:
        std::optional<RegistryData> ReadValue(std::string_view key,
                                              std::string_view name) override {
            if (name == "Stretch") throw RegistryError("value Stretch is not a 32-bit integer");
            return MemoryRegistry::ReadValue(key, name);
        }
        std::vector<RegistryValue> ReadAllValues(std::string_view) override {
            throw RegistryError("value Stretch is not a 32-bit integer");
        }
    } store;
    store.keys["Software\\Pictorelle\\Show"]["Seconds"] = int32_t{12};
    SaverSettings s;
    s.Stretch = 4;
    EXPECT_EQ(ReadSaverSettings(store, "Show", s), std::vector<std::string>{"Stretch"});
    EXPECT_EQ(s.Seconds, 12);
    EXPECT_EQ(s.Stretch, 4);
}

TEST(SaverSettings, WritesAllSixteenValuesInOneSave) {
    MemoryRegistry store;
    SaverSettings s;
    s.DisplayOrder = 7;
    s.Mute = true;
    s.Effect = std::string("\x00\x01", 2);
    WriteSaverSettings(store, "Show", s);
    EXPECT_EQ(store.saves, 1);
    EXPECT_EQ(store.written, kOrder);
    const auto& key = store.keys["Software\\Pictorelle\\Show"];
    EXPECT_EQ(std::get<int32_t>(key.at("DisplayOrder")), 7);
    EXPECT_EQ(std::get<int32_t>(key.at("Mute")), 1);
    EXPECT_EQ(std::get<int32_t>(key.at("Loop")), 1);
    EXPECT_EQ(std::get<std::string>(key.at("Effect")), std::string("\x00\x01", 2));
}

TEST(SaverSettings, PresentationEndsOnlyByEscape) {
    SaverSettings s;
    s.ExitESC = false;
    ApplyPresentationOverrides(s);
    EXPECT_FALSE(s.ExitMouseMove || s.ExitMouseButton || s.ExitKeyboard);
    EXPECT_TRUE(s.ExitESC);
}

} // namespace
} // namespace pictorelle

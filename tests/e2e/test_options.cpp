// The options panel on a real display: a fresh user's choices are stored when the panel is
// closed, and a setting of the wrong type is passed over without stopping the show.
#include "PlayerFixture.h"
#include "platform/store/SqliteRegistry.h"

namespace pictorelle::test {
namespace {

const char* const kKey = "Software\\Pictorelle\\E2E Show";

class OptionsOnDisplay : public PlayerOnDisplay {
protected:
    std::string StorePath() const { return dir / "config/pictorelle/registry.db"; }
};

TEST_F(OptionsOnDisplay, ClosingAFreshUsersPanelStoresEveryValue) {
    auto options = Start(MakeShow(ShowContent()), {"/c"});
    const std::string window = WaitForWindow(kTitleRegex);
    ASSERT_FALSE(window.empty()) << options->Err();
    const auto info = x.Info(window);
    ASSERT_TRUE(info);
    // "Close" sits at 418, 263 of the panel, 83 x 25; the panel has no banner strip here.
    x.MoveMouse(info->x + 418 + 40, info->y + 263 + 12);
    x.Click(1);
    ASSERT_TRUE(options->WaitExit(kExitTimeoutMs)) << options->Err();
    EXPECT_EQ(options->Status(), 0);

    SqliteRegistry store(StorePath());
    const auto values = store.ReadAllValues(kKey);
    ASSERT_EQ(values.size(), 16u);
    for (const auto& v : values) {
        const bool text = v.Name == "Effect";
        EXPECT_EQ(std::holds_alternative<std::string>(v.Data), text) << v.Name;
    }
    RegistryKey key(store, kKey);
    EXPECT_EQ(key.ReadInteger("Seconds"), 5);
    EXPECT_EQ(key.ReadInteger("ExitESC"), 1);
    EXPECT_TRUE(TempFoldersGone());
}

// A number stored as text is the store's fault: the show plays with its own value and says
// which stored one it passed over.
TEST_F(OptionsOnDisplay, AStringWhereANumberBelongsIsPassedOverWithOneLine) {
    {
        SqliteRegistry store(StorePath());
        RegistryKey(store, kKey).WriteString("Seconds", "ten");
    }
    auto show = Start(MakeShow(ShowContent()), {"/s"});
    ASSERT_FALSE(WaitForWindow(kTitleRegex).empty()) << show->Err();
    EXPECT_TRUE(WaitUntil([&] {
        return show->Err().find("Ignoring the stored setting Seconds,") != std::string::npos;
    })) << show->Err();
    x.Key("Escape");
    ASSERT_TRUE(show->WaitExit(kExitTimeoutMs));
    EXPECT_EQ(show->Status(), 0) << show->Err();
    EXPECT_EQ(show->Err().find("* The file is corrupted"), std::string::npos) << show->Err();
    EXPECT_TRUE(TempFoldersGone());
}

} // namespace
} // namespace pictorelle::test

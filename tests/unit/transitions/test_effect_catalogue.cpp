#include "core/Random.h"
#include "transitions/EffectCatalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

namespace pictorelle {
namespace {

TEST(EffectCatalogue, NumbersRunFromOneToOneHundredTwenty) {
    const auto all = EffectCatalogue();
    ASSERT_EQ(all.size(), 120u);
    std::map<EffectFamily, int> perFamily;
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].number, static_cast<int>(i) + 1);
        ++perFamily[all[i].family];
    }
    EXPECT_EQ(perFamily[EffectFamily::Reveal], 42);
    EXPECT_EQ(perFamily[EffectFamily::Shape], 19);
    EXPECT_STREQ(all[68].name, "Box Out");
    EXPECT_STREQ(all[88].name, all[89].name) << "two effects share one name";
}

TEST(EffectSelection, ChecklistRoundTrips) {
    std::array<bool, 120> checks{};
    checks.fill(true);
    const std::string all = ChecklistToSelection(checks);
    ASSERT_EQ(all.size(), 120u);
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(static_cast<unsigned char>(all[i]), i + 1);
    checks.fill(false);
    EXPECT_EQ(ChecklistToSelection(checks), "");

    SelectionToChecklist(std::string("\x46\x05\x46\x00\x79\xFF", 6), checks);
    EXPECT_TRUE(checks[69]);
    EXPECT_TRUE(checks[4]);
    EXPECT_EQ(std::count(checks.begin(), checks.end(), true), 2)
        << "repeats check once; 0 and numbers above 120 have no item";
    EXPECT_EQ(ChecklistToSelection(checks), "\x05\x46") << "rebuilt in ascending order";
}

TEST(EffectSelection, RandomEffectDrawsFromTheSelection) {
    RandomSeed(42);
    EXPECT_EQ(RandomEffect(""), 0);
    EXPECT_EQ(RandomEffect("\x45"), 69);
    EXPECT_EQ(RandomEffect("\xC8"), 200) << "out-of-range numbers pass through";
    std::map<int, int> seen;
    for (int i = 0; i < 3000; ++i) ++seen[RandomEffect("\x01\x02\x02")];
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_NEAR(seen[2] / 3000.0, 2.0 / 3.0, 0.05) << "chance follows the share of characters";
}

} // namespace
} // namespace pictorelle

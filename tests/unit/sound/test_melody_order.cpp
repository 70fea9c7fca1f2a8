#include "sound/engine/MelodyOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pictorelle {
namespace {

// The melodies the player would start, beginning as the show does: a sequential list with
// CurrentMelody, a shuffled one with the first choice. Stops at the end of the music or
// after `limit` melodies.
std::vector<int> Played(int count, bool shuffle, bool loop, int limit) {
    TMelodyOrder order;
    order.MelodyCount = count;
    std::vector<int> played;
    bool playing = shuffle ? ChooseNextMelody(order, shuffle, loop) : MelodyInRange(order);
    while (playing && static_cast<int>(played.size()) < limit) {
        played.push_back(order.CurrentMelody);
        playing = ChooseNextMelody(order, shuffle, loop);
    }
    return played;
}

TEST(MelodyOrder, SequentialListRepeatsOnlyWithLoop) {
    EXPECT_EQ(Played(3, false, true, 7), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(Played(3, false, false, 10), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Played(1, false, true, 3), (std::vector<int>{0, 0, 0}));
    EXPECT_TRUE(Played(0, false, true, 3).empty());
    EXPECT_TRUE(Played(0, true, true, 3).empty());
}

TEST(MelodyOrder, ShuffledPassPlaysEachMelodyOnceThenStops) {
    RandomSeed(7);
    for (int round = 0; round < 20; ++round) {
        std::vector<int> played = Played(5, true, false, 50);
        ASSERT_EQ(played.size(), 5u);
        std::sort(played.begin(), played.end());
        EXPECT_EQ(played, (std::vector<int>{0, 1, 2, 3, 4}));
    }
}

TEST(MelodyOrder, ShuffledLoopDealsFreshPasses) {
    RandomSeed(11);
    const std::vector<int> played = Played(4, true, true, 40);
    ASSERT_EQ(played.size(), 40u);
    std::vector<std::vector<int>> passes;
    for (size_t start = 0; start < played.size(); start += 4) {
        std::vector<int> pass(played.begin() + static_cast<long>(start),
                              played.begin() + static_cast<long>(start) + 4);
        passes.push_back(pass);
        std::sort(pass.begin(), pass.end());
        EXPECT_EQ(pass, (std::vector<int>{0, 1, 2, 3})) << "pass at " << start;
    }
    // Ten passes in the same order would mean the deck is not shuffled again.
    EXPECT_TRUE(std::any_of(passes.begin(), passes.end(),
                            [&](const auto& p) { return p != passes.front(); }));
}

TEST(MelodyOrder, UsedUpShuffleStaysEnded) {
    TMelodyOrder order;
    order.MelodyCount = 2;
    RandomSeed(3);
    EXPECT_TRUE(ChooseNextMelody(order, true, false));
    EXPECT_TRUE(ChooseNextMelody(order, true, false));
    EXPECT_TRUE(order.MelodyDeckExhausted);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(ChooseNextMelody(order, true, false));
        EXPECT_EQ(order.CurrentMelody, -1);
    }
}

TEST(MelodyOrder, KeepOneRandomNarrowsToOneMemberOfTheList) {
    RandomSeed(5);
    std::vector<bool> seen(4);
    for (int i = 0; i < 60; ++i) {
        std::vector<std::string> list = {"a", "b", "c", "d"};
        KeepOneRandom(list);
        ASSERT_EQ(list.size(), 1u);
        seen[static_cast<size_t>(list[0][0] - 'a')] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 4);

    std::vector<std::string> empty;
    KeepOneRandom(empty);
    EXPECT_TRUE(empty.empty());
}

} // namespace
} // namespace pictorelle

#include "show/sequence/ItemSequence.h"

#include "core/Random.h"

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <numeric>
#include <set>
#include <vector>

using namespace pictorelle;

namespace {

// The items a show puts on screen tick after tick: the first one, then each tick loads the
// item chosen before and chooses the next.
std::vector<int> shown(TItemSequence& s, std::string& effect, int ticks) {
    std::vector<int> items{s.StartShow(effect)};
    s.ChooseNextCounter(effect);
    for (int k = 1; k < ticks; ++k) {
        items.push_back(s.NextItem());
        s.ChooseNextCounter(effect);
    }
    return items;
}

std::vector<int> shown(int count, int order, bool once, int ticks) {
    TItemSequence s(count, order, once);
    std::string effect = "abc";
    return shown(s, effect, ticks);
}

bool isPermutation(std::vector<int> v, int from, int to) {
    std::sort(v.begin(), v.end());
    std::vector<int> want(static_cast<size_t>(to - from));
    std::iota(want.begin(), want.end(), from);
    return v == want;
}

} // namespace

TEST(ItemSequence, SequentialOrderWithAndWithoutTheFirstItemOnce) {
    EXPECT_EQ(shown(3, kOrderSequential, false, 7), (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(shown(3, kOrderSequential, true, 7), (std::vector<int>{0, 1, 2, 1, 2, 1, 2}));
    // Orders the show does not know play in sequence, also with the first item once.
    EXPECT_EQ(shown(3, 7, false, 4), (std::vector<int>{0, 1, 2, 0}));
    EXPECT_EQ(shown(3, -1, true, 5), (std::vector<int>{0, 1, 2, 1, 2}));
}

TEST(ItemSequence, EffectsAreDroppedWhenThereIsNothingToChangeBetween) {
    std::string effect = "abc";
    TItemSequence one(1, kOrderSequential, false);
    EXPECT_EQ(one.StartShow(effect), 0);
    EXPECT_EQ(effect, "");

    effect = "abc";
    TItemSequence none(0, kOrderRandom, false);
    EXPECT_EQ(none.StartShow(effect), -1);
    none.ChooseNextCounter(effect);
    EXPECT_EQ(none.NextItem(), -1);
    EXPECT_EQ(effect, "");

    // Two items, the first once: item 0 arrives, item 1 still comes with a transition, and
    // from then on item 1 is reloaded without one.
    effect = "abc";
    TItemSequence two(2, kOrderSequential, true);
    EXPECT_EQ(two.StartShow(effect), 0);
    two.ChooseNextCounter(effect);
    EXPECT_EQ(two.NextItem(), 1);
    EXPECT_EQ(effect, "abc");
    two.ChooseNextCounter(effect);
    EXPECT_EQ(two.NextItem(), 1);
    EXPECT_EQ(effect, "");

    // Three items with the first once keep their transitions.
    effect = "abc";
    TItemSequence three(3, kOrderSequential, true);
    shown(three, effect, 10);
    EXPECT_EQ(effect, "abc");
}

TEST(ItemSequence, RandomDecksDealEveryItemOnceAndNeverRepeatAcrossDecks) {
    for (uint64_t seed = 1; seed <= 30; ++seed) {
        RandomSeed(seed);
        const int n = 5;
        const std::vector<int> items = shown(n, kOrderRandom, false, 1 + 6 * n);
        for (int deck = 0; deck < 6; ++deck) {
            const auto first = items.begin() + deck * n;
            ASSERT_TRUE(isPermutation({first, first + n}, 0, n)) << "seed " << seed;
            if (deck > 0) {
                ASSERT_NE(*first, *(first - 1)) << "seed " << seed;
            }
        }
    }
    // With the first item once, item 0 never comes back.
    RandomSeed(99);
    const std::vector<int> once = shown(4, kOrderRandom, true, 31);
    EXPECT_EQ(once[0], 0);
    for (int deck = 0; deck < 10; ++deck) {
        const auto first = once.begin() + 1 + 3 * deck;
        ASSERT_TRUE(isPermutation({first, first + 3}, 1, 4)) << deck;
    }
}

TEST(ItemSequence, ShuffleRepeatsOneFixedCycle) {
    RandomSeed(5);
    const int n = 6;
    const std::vector<int> items = shown(n, kOrderShuffle, false, 4 * n);
    ASSERT_TRUE(isPermutation({items.begin(), items.begin() + n}, 0, n));
    for (size_t k = n; k < items.size(); ++k)
        ASSERT_EQ(items[k], items[k - n]) << k;

    // Two random generators, two cycles; the same seed, the same cycle.
    RandomSeed(5);
    EXPECT_EQ(shown(n, kOrderShuffle, false, 4 * n), items);
}

TEST(ItemSequence, BackStepsBackInSequenceAndDealsOnOtherwise) {
    std::string effect = "x";
    TItemSequence s(4, kOrderSequential, false);
    s.StartShow(effect);         // item 0 on screen
    s.ChooseNextCounter(effect); // item 1 chosen
    s.Back(effect);
    EXPECT_EQ(s.NextItem(), 3); // from item 0, back is the last item
    EXPECT_FALSE(s.GoBack());
    s.ChooseNextCounter(effect); // item 3 on screen now
    EXPECT_EQ(s.NextItem(), 0);
    s.Back(effect);
    EXPECT_EQ(s.NextItem(), 2);

    // The first item once: back from item 1 skips item 0.
    TItemSequence once(4, kOrderSequential, true);
    once.StartShow(effect);
    once.ChooseNextCounter(effect); // 1 chosen
    once.ChooseNextCounter(effect); // 1 on screen, 2 chosen
    once.Back(effect);
    EXPECT_EQ(once.NextItem(), 3);

    // In random order Back deals the next card, exactly as Next would.
    RandomSeed(17);
    TItemSequence next(5, kOrderRandom, false);
    next.StartShow(effect);
    next.ChooseNextCounter(effect);
    next.ChooseNextCounter(effect);
    RandomSeed(17);
    TItemSequence back(5, kOrderRandom, false);
    back.StartShow(effect);
    back.ChooseNextCounter(effect);
    back.Back(effect);
    EXPECT_EQ(back.NextItem(), next.NextItem());
    EXPECT_EQ(back.OrderDeck(), next.OrderDeck());
}

TEST(ShowTimer, IntervalsComeFromTheItemOrTheShow) {
    EXPECT_EQ(ItemIntervalMs(5, 0), 5000);
    EXPECT_EQ(ItemIntervalMs(5, 12), 12000);
    EXPECT_EQ(ItemIntervalMs(5, -3), 5000);
    EXPECT_EQ(ItemIntervalMs(5, INT_MAX), INT_MAX);
    EXPECT_EQ(ItemIntervalMs(-5, 0), 0);
}

TEST(ShowTimer, StartOfTheShow) {
    TShowTimerState s;
    s.itemCount = 3;
    s.seconds = 5;
    s.shownItemSeconds = 12;
    TTimerPlan plan = StartShowTimer(s, false);
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.interval, 12000);
    plan = StartShowTimer(s, true);
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.interval, 1);

    s.itemCount = 1; // one picture stays
    EXPECT_FALSE(StartShowTimer(s, false).enabled);
    s.onlyItemIsFlash = true; // one movie is reloaded on its time
    EXPECT_TRUE(StartShowTimer(s, false).enabled);

    s.itemCount = 3;
    s.presentationMode = true;
    s.presentationPlaying = false;
    EXPECT_FALSE(StartShowTimer(s, false).enabled);

    s = {};
    s.itemCount = 3;
    s.videoPlaying = true;
    plan = StartShowTimer(s, true);
    EXPECT_FALSE(plan.enabled);
    EXPECT_FALSE(plan.setInterval);
    s.videoPlaying = false;
    s.itemCount = 0;
    EXPECT_FALSE(StartShowTimer(s, false).enabled);
}

TEST(ShowTimer, AfterEachTick) {
    TShowTimerState s;
    s.itemCount = 3;
    s.seconds = 7;
    TTimerPlan plan = TickTimer(s);
    EXPECT_TRUE(plan.enabled);
    EXPECT_EQ(plan.interval, 7000);
    // A transition re-arms the timer when it ends; so do videos and a playing presentation.
    for (bool TShowTimerState::*flag :
         {&TShowTimerState::transitionRunning, &TShowTimerState::videoPlaying,
          &TShowTimerState::previewMode}) {
        TShowTimerState t = s;
        t.*flag = true;
        EXPECT_FALSE(TickTimer(t).enabled);
        EXPECT_EQ(TickTimer(t).interval, 7000);
    }
    s.presentationMode = true;
    s.presentationPlaying = false;
    EXPECT_FALSE(TickTimer(s).enabled);
    s = {};
    s.itemCount = 1;
    EXPECT_FALSE(TickTimer(s).enabled);
    s.onlyItemIsFlash = true;
    s.transitionRunning = true;
    EXPECT_TRUE(TickTimer(s).enabled);
}

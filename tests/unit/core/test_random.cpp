#include "core/Random.h"

#include <array>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace pictorelle;

TEST(Random, SeedingRepeatsTheSequence) {
    RandomSeed(42);
    std::vector<int> first;
    for (int i = 0; i < 100; ++i)
        first.push_back(RandomInt(1000));
    RandomSeed(42);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(RandomInt(1000), first[i]);
    RandomSeed(43);
    int same = 0;
    for (int i = 0; i < 100; ++i)
        same += RandomInt(1000) == first[i];
    EXPECT_LT(same, 10);
}

TEST(Random, StaysInRangeAndCoversItEvenly) {
    Randomize();
    EXPECT_EQ(RandomInt(0), 0);
    EXPECT_EQ(RandomInt(-5), 0);
    EXPECT_EQ(RandomInt(1), 0);
    std::array<int, 6> counts{};
    for (int i = 0; i < 60000; ++i) {
        const int v = RandomInt(6);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 6);
        ++counts[static_cast<std::size_t>(v)];
    }
    for (int c : counts)
        EXPECT_NEAR(c, 10000, 600);
    // A 32-bit draw reduced by modulo would favour the lower half of this range.
    constexpr int big = 0x60000000;
    int low = 0;
    for (int i = 0; i < 20000; ++i) {
        const int v = RandomInt(big);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, big);
        low += v < big / 2;
    }
    EXPECT_NEAR(low, 10000, 500);
}

TEST(Random, TwoThreadsCanDrawAtOnce) {
    auto draw = [](bool& ok) {
        ok = true;
        for (int i = 0; i < 100000; ++i) {
            const int v = RandomInt(256);
            if (v < 0 || v > 255) ok = false;
        }
    };
    bool ok1 = false, ok2 = false;
    std::thread t1(draw, std::ref(ok1));
    std::thread t2(draw, std::ref(ok2));
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

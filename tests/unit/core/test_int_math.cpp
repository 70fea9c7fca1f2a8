#include "core/IntMath.h"

#include <gtest/gtest.h>
#include <limits>

using namespace pictorelle;

TEST(IntMath, RoundSendsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-0.5), 0);
    EXPECT_EQ(Round(-1.5), -2);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(2.4999999), 2);
    EXPECT_EQ(Round(-2.5000001), -3);
    EXPECT_EQ(Round(4503599627370497.0), 4503599627370497); // 2^52 + 1, already whole
}

TEST(IntMath, ConversionsFromDoubleSaturate) {
    constexpr auto max64 = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(Round(1e300), max64);
    EXPECT_EQ(Round(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(Round(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundInt(3e9), std::numeric_limits<int>::max());
    EXPECT_EQ(RoundInt(-3e9), std::numeric_limits<int>::min());
    EXPECT_EQ(RoundInt(-7.5), -8);
    EXPECT_EQ(Trunc(-7.9), -7);
    EXPECT_EQ(Trunc(std::numeric_limits<double>::infinity()), max64);
}

TEST(IntMath, DivTruncatesTowardZero) {
    EXPECT_EQ(Div(7, 2), 3);
    EXPECT_EQ(Div(-7, 2), -3);
    EXPECT_EQ(Div(7, -2), -3);
    EXPECT_EQ(Div(-7, -2), 3);
    EXPECT_EQ(Div(int64_t{-9000000000}, int64_t{4}), -2250000000);
    EXPECT_EQ(Div(std::numeric_limits<int>::min(), -1), std::numeric_limits<int>::min());
    EXPECT_THROW((void)Div(1, 0), std::domain_error);
}

TEST(IntMath, CeilAndFloorDivisionAreExactForEitherSign) {
    EXPECT_EQ(CeilDiv(7, 2), 4);
    EXPECT_EQ(CeilDiv(8, 2), 4);
    EXPECT_EQ(CeilDiv(0, 5), 0);
    EXPECT_EQ(CeilDiv(-7, 2), -3) << "toward plus infinity, not away from zero";
    EXPECT_EQ(CeilDiv(-8, 2), -4);
    EXPECT_EQ(CeilDiv(7, -2), -3);
    EXPECT_EQ(CeilDiv(-7, -2), 4);
    EXPECT_EQ(FloorDiv(7, 2), 3);
    EXPECT_EQ(FloorDiv(-7, 2), -4);
    EXPECT_EQ(FloorDiv(7, -2), -4);
    EXPECT_EQ(FloorDiv(-7, -2), 3);
    // Near the ends of the range, where a + b - 1 would overflow.
    constexpr auto max64 = std::numeric_limits<int64_t>::max();
    constexpr auto min64 = std::numeric_limits<int64_t>::min();
    EXPECT_EQ(CeilDiv(max64, int64_t{2}), max64 / 2 + 1);
    EXPECT_EQ(FloorDiv(min64, int64_t{2}), min64 / 2);
    EXPECT_EQ(CeilDiv(min64, int64_t{-1}), min64) << "wraps as Div does";
    EXPECT_THROW((void)CeilDiv(1, 0), std::domain_error);
    static_assert(CeilDiv(int64_t{-9000000001}, int64_t{1000}) == -9000000);
}

TEST(IntMath, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(1, 1, 2), 1);
    EXPECT_EQ(MulDiv(-1, 1, 2), -1);
    EXPECT_EQ(MulDiv(1, -1, 2), -1);
    EXPECT_EQ(MulDiv(-1, -1, 2), 1);
    EXPECT_EQ(MulDiv(5, 1, -2), -3);
    EXPECT_EQ(MulDiv(1, 1, 3), 0);
    EXPECT_EQ(MulDiv(2, 1, 3), 1);
    EXPECT_EQ(MulDiv(-2, 1, 3), -1);
    EXPECT_EQ(MulDiv(37, -255, 100), -94); // -94.35
    EXPECT_EQ(MulDiv(100, -255, 255), -100);
}

TEST(IntMath, MulDivUsesA64BitProduct) {
    EXPECT_EQ(MulDiv(1 << 30, 8, 16), 1 << 29);
    constexpr int imax = std::numeric_limits<int>::max();
    constexpr int imin = std::numeric_limits<int>::min();
    EXPECT_EQ(MulDiv(imax, imax, imax), imax);
    EXPECT_EQ(MulDiv(imin, imin, imin), imin);
    EXPECT_EQ(MulDiv(imin, 1, 1), imin);
    EXPECT_EQ(MulDiv(imax, 2, 1), -1); // does not fit
    EXPECT_EQ(MulDiv(imin, -1, 1), -1);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
}

// Integer helpers with fixed rounding rules: truncating, ceiling and floor division,
// round-half-to-even, saturating conversions from double, and MulDiv rounding halves away from
// zero.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace pictorelle {

// Integer division rounding toward zero. A zero divisor throws std::domain_error instead of
// trapping; the one overflowing quotient (minimum / -1) wraps to the minimum.
constexpr int64_t Div(int64_t a, int64_t b) {
    if (b == 0) throw std::domain_error("integer division by zero");
    if (b == -1) return static_cast<int64_t>(0 - static_cast<uint64_t>(a));
    return a / b;
}

constexpr int Div(int a, int b) {
    if (b == 0) throw std::domain_error("integer division by zero");
    if (b == -1) return static_cast<int>(0u - static_cast<unsigned>(a));
    return a / b;
}

// ceil(a / b) and floor(a / b), exact in integers for either sign of a and b: the tables' ceil()
// of a quotient of integers and the rasteriser's pixel-centre tests. A zero divisor throws as
// Div does; computing from the truncated quotient and its remainder cannot overflow.
constexpr int64_t CeilDiv(int64_t a, int64_t b) {
    const int64_t q = Div(a, b);
    if (b == -1) return q; // no remainder, and a % -1 on the minimum would overflow
    const int64_t r = a % b;
    return r != 0 && (r > 0) == (b > 0) ? q + 1 : q;
}

constexpr int CeilDiv(int a, int b) {
    return static_cast<int>(CeilDiv(int64_t{a}, int64_t{b}));
}

constexpr int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = Div(a, b);
    if (b == -1) return q;
    const int64_t r = a % b;
    return r != 0 && (r > 0) != (b > 0) ? q - 1 : q;
}

// Clamps a double to the int64 range; NaN becomes 0. Conversions of out-of-range values
// would otherwise be undefined.
inline int64_t SaturateToInt64(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (x <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(x);
}

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -0.5 -> 0). Independent of the floating-point environment's rounding mode.
inline int64_t Round(double x) {
    double f = std::floor(x);
    const double frac = x - f; // exact for every finite double
    if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
    return SaturateToInt64(f);
}

// Round, saturated to the int range: for coordinates and sizes held as int.
inline int RoundInt(double x) {
    const int64_t r = Round(x);
    if (r > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (r < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

// Rounds toward zero, saturating.
inline int64_t Trunc(double x) {
    return SaturateToInt64(std::trunc(x));
}

// a * b / c with a 64-bit product, rounded to the nearest integer with halves away from zero;
// the sign comes from the signs of the operands. Returns -1 when c is 0 or when the result
// does not fit in an int, the convention callers of this helper expect.
constexpr int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const uint64_t num =
        product < 0 ? 0 - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
    const uint64_t den =
        c < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(c)) : static_cast<uint64_t>(c);
    const uint64_t q = (num + den / 2) / den;
    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    if (q > limit) return -1;
    return negative ? static_cast<int>(0 - static_cast<int64_t>(q)) : static_cast<int>(q);
}

} // namespace pictorelle

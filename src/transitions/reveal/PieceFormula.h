// Piece formulas: the member tables of the reveal and slide families give each piece's start,
// extent, speed and step count as a small formula in the picture's size, the step count and
// the piece's index k, written the way one would on paper: `ceil(w / 10)`, `-w / s`,
// `round(3 * w * k / 4 - w * k)`, `k * sDiv2 + s`.
//
// A formula is a sum of up to three terms c * a * b / (d * p): an integer c and d and named
// quantities a, b (factors) and p (a divisor), optionally rounded as a whole (round: halves to
// even, ceil, div: toward zero) and then multiplied by an integer. Evaluation brings the terms
// to one fraction and divides once, so a value that is whole or a half in exact arithmetic
// comes out exactly and rounds as it does on paper. Building a formula the representation
// cannot hold fails the constant evaluation of the table, so a mistyped row does not compile.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace pictorelle::formula {

enum class Quantity : uint8_t {
    One,   // 1
    W,     // picture width
    H,     // picture height
    S,     // step count
    K,     // index of the piece within its row, from 0
    W2,    // w div 2
    H2,    // h div 2
    Cw,    // ceil(w / s)
    Ch,    // ceil(h / s)
    Nw,    // min(s, w2): passes of the vertical line members
    Nh,    // min(s, h2): passes of the horizontal and cross line members
    Ns,    // max(4, s div 3): steps of one sweep column or row
    M,     // min(s div 4, h div 4): steps of one download pass
    Qw,    // ceil(w / m / 4), 0 when m is 0
    Qh,    // ceil(h / m / 4), 0 when m is 0
    SDiv2, // s div 2
    SDiv4, // s div 4
    LineW, // ceil(w / 32): width of the 32 columns
    LineH, // ceil(h / 32): height of the 32 rows
    Count
};

// The values of the quantities for one picture, step count and index.
class TQuantities {
public:
    TQuantities(int width, int height, int steps);
    void SetIndex(int k) { values_[static_cast<size_t>(Quantity::K)] = k; }
    double operator[](Quantity q) const { return values_[static_cast<size_t>(q)]; }

private:
    std::array<double, static_cast<size_t>(Quantity::Count)> values_{};
};

// Reports a formula the representation cannot hold. It is not constexpr, so in a constant
// table reaching it is a compile-time error; elsewhere it throws std::logic_error.
[[noreturn]] void InvalidFormula(const char* why);

enum class Rounding : uint8_t { None, Round, Ceil, Div };

struct Term {
    int c = 0;
    int d = 1;
    Quantity a = Quantity::One;
    Quantity b = Quantity::One;
    Quantity p = Quantity::One;
};

class Formula {
public:
    constexpr Formula() = default;
    // Implicit, so that a table writes 0 or 2 * w.
    constexpr Formula(int value) : count_(value == 0 ? 0 : 1) { terms_[0].c = value; }
    constexpr Formula(Quantity q) : count_(1) {
        terms_[0].c = 1;
        terms_[0].a = q;
    }

    // The value, or nothing when a divisor is zero.
    std::optional<double> Evaluate(const TQuantities& q) const;

    friend constexpr Formula operator-(Formula f) {
        if (f.rounding_ != Rounding::None) {
            f.scale_ = -f.scale_;
            return f;
        }
        for (int i = 0; i < f.count_; ++i)
            f.terms_[i].c = -f.terms_[i].c;
        return f;
    }
    friend constexpr Formula operator+(Formula l, const Formula& r) {
        l.RequireUnrounded();
        r.RequireUnrounded();
        for (int i = 0; i < r.count_; ++i)
            l.Append(r.terms_[i]);
        return l;
    }
    friend constexpr Formula operator-(const Formula& l, const Formula& r) { return l + -r; }
    friend constexpr Formula operator*(Formula l, const Formula& r) {
        if (r.IsConstant()) return l.Scaled(r.terms_[0].c);
        if (l.IsConstant()) return Formula(r).Scaled(l.terms_[0].c);
        l.RequireSingleTerm();
        r.RequireSingleTerm();
        Term& t = l.terms_[0];
        const Term& o = r.terms_[0];
        if (t.b != Quantity::One || o.b != Quantity::One) InvalidFormula("at most two factors");
        if (t.p != Quantity::One && o.p != Quantity::One) InvalidFormula("at most one divisor");
        t.c *= o.c;
        t.d *= o.d;
        t.b = o.a;
        if (o.p != Quantity::One) t.p = o.p;
        return l;
    }
    friend constexpr Formula operator/(Formula l, int d) {
        l.RequireUnrounded();
        if (d <= 0) InvalidFormula("constant divisors are positive");
        for (int i = 0; i < l.count_; ++i)
            l.terms_[i].d *= d;
        return l;
    }
    // Division by c * quantity.
    friend constexpr Formula operator/(Formula l, const Formula& r) {
        l.RequireUnrounded();
        r.RequireSingleTerm();
        const Term& o = r.terms_[0];
        if (o.c <= 0 || o.d != 1 || o.b != Quantity::One || o.p != Quantity::One)
            InvalidFormula("divide by a positive multiple of one quantity");
        for (int i = 0; i < l.count_; ++i) {
            if (l.terms_[i].p != Quantity::One) InvalidFormula("at most one divisor");
            l.terms_[i].d *= o.c;
            l.terms_[i].p = o.a;
        }
        return l;
    }
    friend constexpr Formula round(Formula f) { return f.Rounded(Rounding::Round); }
    friend constexpr Formula ceil(Formula f) { return f.Rounded(Rounding::Ceil); }
    // Integer division truncating toward zero.
    friend constexpr Formula div(Formula f, int d) { return (f / d).Rounded(Rounding::Div); }

private:
    constexpr bool IsConstant() const {
        const Term& t = terms_[0];
        return rounding_ == Rounding::None && count_ == 1 && t.d == 1 && t.a == Quantity::One &&
               t.b == Quantity::One && t.p == Quantity::One;
    }
    constexpr void RequireUnrounded() const {
        if (rounding_ != Rounding::None) InvalidFormula("a rounded formula is used only whole");
    }
    constexpr void RequireSingleTerm() const {
        RequireUnrounded();
        if (count_ != 1) InvalidFormula("a single term is expected here");
    }
    constexpr void Append(const Term& t) {
        if (count_ == static_cast<int>(terms_.size())) InvalidFormula("at most three terms");
        terms_[static_cast<size_t>(count_++)] = t;
    }
    constexpr Formula Scaled(int c) {
        if (rounding_ != Rounding::None) {
            scale_ *= c;
            return *this;
        }
        for (int i = 0; i < count_; ++i)
            terms_[i].c *= c;
        return *this;
    }
    constexpr Formula Rounded(Rounding r) {
        RequireUnrounded();
        rounding_ = r;
        return *this;
    }

    std::array<Term, 3> terms_{};
    int count_ = 0;
    Rounding rounding_ = Rounding::None;
    int scale_ = 1;
};

// The names the tables use, matching the notation of the comments beside them.
namespace names {
inline constexpr Formula w{Quantity::W}, h{Quantity::H}, s{Quantity::S}, k{Quantity::K};
inline constexpr Formula w2{Quantity::W2}, h2{Quantity::H2}, cw{Quantity::Cw}, ch{Quantity::Ch};
inline constexpr Formula nw{Quantity::Nw}, nh{Quantity::Nh}, ns{Quantity::Ns}, m{Quantity::M};
inline constexpr Formula qw{Quantity::Qw}, qh{Quantity::Qh};
inline constexpr Formula sDiv2{Quantity::SDiv2}, sDiv4{Quantity::SDiv4};
inline constexpr Formula lineW{Quantity::LineW}, lineH{Quantity::LineH};
} // namespace names

} // namespace pictorelle::formula

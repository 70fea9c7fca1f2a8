#include "transitions/reveal/PieceFormula.h"

#include "core/IntMath.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace pictorelle::formula {

void InvalidFormula(const char* why) {
    throw std::logic_error(why);
}

TQuantities::TQuantities(int width, int height, int steps) {
    auto set = [this](Quantity q, int v) { values_[static_cast<size_t>(q)] = v; };
    const int s = std::max(steps, 1);
    set(Quantity::One, 1);
    set(Quantity::W, width);
    set(Quantity::H, height);
    set(Quantity::S, s);
    set(Quantity::W2, Div(width, 2));
    set(Quantity::H2, Div(height, 2));
    set(Quantity::Cw, CeilDiv(width, s));
    set(Quantity::Ch, CeilDiv(height, s));
    set(Quantity::Nw, std::min(s, Div(width, 2)));
    set(Quantity::Nh, std::min(s, Div(height, 2)));
    set(Quantity::Ns, std::max(4, Div(s, 3)));
    const int m = std::min(Div(s, 4), Div(height, 4));
    set(Quantity::M, m);
    set(Quantity::Qw, m > 0 ? CeilDiv(width, 4 * m) : 0);
    set(Quantity::Qh, m > 0 ? CeilDiv(height, 4 * m) : 0);
    set(Quantity::SDiv2, Div(s, 2));
    set(Quantity::SDiv4, Div(s, 4));
    set(Quantity::LineW, CeilDiv(width, 32));
    set(Quantity::LineH, CeilDiv(height, 32));
}

std::optional<double> Formula::Evaluate(const TQuantities& q) const {
    // Sum num / den term by term; every product of the operands is a whole number, exact in a
    // double for any picture this program shows.
    double num = 0, den = 1;
    for (int i = 0; i < count_; ++i) {
        const Term& t = terms_[static_cast<size_t>(i)];
        const double tn = t.c * q[t.a] * q[t.b];
        const double td = t.d * q[t.p];
        if (td == 0) return std::nullopt;
        if (td == den) {
            num += tn;
        } else {
            num = num * td + tn * den;
            den *= td;
        }
    }
    const double value = num / den;
    double rounded = value;
    switch (rounding_) {
    case Rounding::None:
        return value;
    case Rounding::Round:
        rounded = static_cast<double>(Round(value));
        break;
    case Rounding::Ceil:
        rounded = std::ceil(value);
        break;
    case Rounding::Div:
        rounded = std::trunc(value);
        break;
    }
    return scale_ * rounded;
}

} // namespace pictorelle::formula

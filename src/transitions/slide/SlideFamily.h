// The slide effects: bands of the new picture move in from outside (TSlide) until they stand
// in place; the door that opens moves the old picture's halves out instead and uncovers the
// new picture behind them with two windows (TFold). Members are rows of formulas.
#pragma once

namespace pictorelle {

class TTransThread;

// `local` is 1 to 22.
void RunSlideFamily(TTransThread& thread, int local);

} // namespace pictorelle

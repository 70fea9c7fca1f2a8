// The one process-wide pseudo-random generator. Safe to call from any thread (the user
// interface and the transition worker both draw from it); seed it for reproducible tests.
#pragma once

#include <cstdint>

namespace pictorelle {

// A uniform integer in 0 .. n - 1, without modulo bias; 0 when n <= 0.
int RandomInt(int n);

// Restarts the sequence from a fixed seed: the same seed gives the same draws on one thread.
void RandomSeed(uint64_t seed);

// Seeds from the clock.
void Randomize();

} // namespace pictorelle

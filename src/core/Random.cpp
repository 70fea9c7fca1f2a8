#include "core/Random.h"

#include <atomic>
#include <chrono>

namespace pictorelle {

namespace {

// SplitMix64: the whole state is one counter, so advancing it is a single atomic add and no
// lock is needed; the mixing step runs on the caller's private copy.
constexpr uint64_t kGamma = 0x9E3779B97F4A7C15ull;

std::atomic<uint64_t> state{kGamma};

uint64_t next64() {
    uint64_t z = state.fetch_add(kGamma, std::memory_order_relaxed) + kGamma;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

int RandomInt(int n) {
    if (n <= 0) return 0;
    const auto range = static_cast<uint64_t>(n);
    // Accept only draws from the largest multiple of n below 2^64, so every residue is
    // equally likely. The rejected band is smaller than n, a vanishing share of 2^64.
    const uint64_t threshold = (0 - range) % range;
    for (;;) {
        const uint64_t x = next64();
        if (x >= threshold) return static_cast<int>(x % range);
    }
}

void RandomSeed(uint64_t seed) {
    state.store(seed, std::memory_order_relaxed);
}

void Randomize() {
    const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
    const auto mono = std::chrono::steady_clock::now().time_since_epoch().count();
    RandomSeed(static_cast<uint64_t>(wall) ^ (static_cast<uint64_t>(mono) * kGamma));
}

} // namespace pictorelle

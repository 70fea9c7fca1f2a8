// Which melody plays next. The background music walks its playlist in order or in shuffled
// passes, once or over and over; this is that decision, free of any player, so the melody
// player only carries it out.
#pragma once

#include "core/Random.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace pictorelle {

struct TMelodyOrder {
    int MelodyCount = 0;
    // The melody playing or last played; -1 once a shuffled list is used up.
    int CurrentMelody = 0;
    // What is left of the current shuffled pass; the next melody is taken from the back.
    std::vector<int> MelodyDeck;
    // A shuffled pass ended without repeating: no new pass is dealt.
    bool MelodyDeckExhausted = false;
};

// Moves CurrentMelody on after a melody ended. Shuffled: deals a new pass when the deck is
// empty (unless the list was used up), then takes the deck's last card; without Loop the
// last card of a pass marks the deck exhausted. In order: the next index, back to 0 after
// the last one only with Loop. True when CurrentMelody is then a melody to play.
bool ChooseNextMelody(TMelodyOrder& order, bool shuffle, bool loop);

// True when CurrentMelody names a melody of the list.
inline bool MelodyInRange(const TMelodyOrder& order) {
    return order.CurrentMelody >= 0 && order.CurrentMelody < order.MelodyCount;
}

// The list narrowed to one entry chosen at random (nothing to choose from a list of 0 or 1).
template <class T> void KeepOneRandom(std::vector<T>& list) {
    if (list.size() < 2) return;
    const int chosen = RandomInt(static_cast<int>(list.size()));
    if (chosen != 0) list[0] = std::move(list[static_cast<size_t>(chosen)]);
    list.resize(1);
}

} // namespace pictorelle

#include "sound/engine/MelodyOrder.h"

#include <utility>

namespace pictorelle {

namespace {

void DealPass(TMelodyOrder& order) {
    const int count = order.MelodyCount;
    order.MelodyDeck.resize(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j)
        order.MelodyDeck[static_cast<size_t>(j)] = j;
    for (int j = 0; j < count; ++j)
        std::swap(order.MelodyDeck[static_cast<size_t>(j)],
                  order.MelodyDeck[static_cast<size_t>(RandomInt(count))]);
}

} // namespace

bool ChooseNextMelody(TMelodyOrder& order, bool shuffle, bool loop) {
    if (shuffle) {
        if (order.MelodyDeck.empty() && !order.MelodyDeckExhausted) DealPass(order);
        if (order.MelodyDeck.empty()) {
            order.CurrentMelody = -1;
        } else {
            order.CurrentMelody = order.MelodyDeck.back();
            order.MelodyDeck.pop_back();
            if (order.MelodyDeck.empty() && !loop) order.MelodyDeckExhausted = true;
        }
    } else {
        order.CurrentMelody += 1;
        if (order.CurrentMelody >= order.MelodyCount && loop) order.CurrentMelody = 0;
    }
    return MelodyInRange(order);
}

} // namespace pictorelle

#include "show/sequence/ItemSequence.h"

#include "core/Random.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>

namespace pictorelle {

TItemSequence::TItemSequence(int itemCount, int displayOrder, bool showFirstItemOnce)
    : itemCount_(std::max(itemCount, 0)),
      // A hand-edited order outside the known three would leave NextItem where it is (and,
      // with the first item shown once, never finish choosing): play those in sequence.
      displayOrder_(displayOrder == kOrderRandom || displayOrder == kOrderShuffle
                        ? displayOrder
                        : kOrderSequential),
      showFirstItemOnce_(showFirstItemOnce) {}

int TItemSequence::StartShow(std::string& effect) {
    nextItem_ = -1;
    if (showFirstItemOnce_ && itemCount_ > 0)
        nextItem_ = 0;
    else
        ChooseNextCounter(effect);
    return nextItem_;
}

void TItemSequence::ChooseNextCounter(std::string& effect) {
    const int n = itemCount_;
    previousItem_ = nextItem_;
    const int onScreen = previousItem_;
    if (n > 0) {
        do {
            step(onScreen);
        } while (n > 1 && showFirstItemOnce_ && nextItem_ <= 0);
    }
    if (n <= 1 || (showFirstItemOnce_ && n <= 2 && onScreen != 0)) effect.clear();
    goBack_ = false;
}

void TItemSequence::Back(std::string& effect) {
    nextItem_ = previousItem_;
    goBack_ = true;
    ChooseNextCounter(effect);
}

void TItemSequence::step(int onScreen) {
    const int n = itemCount_;
    if (displayOrder_ != kOrderSequential) {
        dealFromDeck(onScreen);
        return;
    }
    if (!goBack_) {
        nextItem_ = static_cast<int>((int64_t{nextItem_} + 1) % n);
        return;
    }
    nextItem_ = static_cast<int>((int64_t{nextItem_} - 1) % n);
    if (nextItem_ < 0) nextItem_ = n - 1;
}

void TItemSequence::dealFromDeck(int onScreen) {
    const int n = itemCount_;
    if (orderDeck_.empty()) {
        orderDeck_.resize(static_cast<size_t>(n));
        std::iota(orderDeck_.begin(), orderDeck_.end(), 0);
        // At least 3n + 1 random swaps, and more until the deck's first deal is not the item
        // on screen.
        for (int64_t k = 1;; ++k) {
            const int a = RandomInt(n);
            const int b = RandomInt(n);
            std::swap(orderDeck_[static_cast<size_t>(a)], orderDeck_[static_cast<size_t>(b)]);
            if (n < 2) break;
            if (k > 3 * int64_t{n} && orderDeck_.back() != onScreen) break;
        }
    }
    nextItem_ = orderDeck_.back();
    if (displayOrder_ == kOrderRandom)
        orderDeck_.pop_back();
    else
        std::rotate(orderDeck_.begin(), orderDeck_.begin() + 1, orderDeck_.end());
}

int ItemIntervalMs(int seconds, int itemSeconds) {
    const int64_t s = itemSeconds > 0 ? itemSeconds : seconds;
    return static_cast<int>(std::clamp<int64_t>(s * 1000, 0, std::numeric_limits<int>::max()));
}

TTimerPlan StartShowTimer(const TShowTimerState& s, bool desktopStart) {
    TTimerPlan plan;
    if (s.itemCount <= 0 || s.videoPlaying) return plan;
    plan.enabled = true;
    plan.setInterval = true;
    if (desktopStart) {
        // The first tick loads the same item again, now with a transition from the desktop.
        plan.interval = 1;
        return plan;
    }
    plan.interval = ItemIntervalMs(s.seconds, s.shownItemSeconds);
    if (s.itemCount == 1 && !s.onlyItemIsFlash) plan.enabled = false;
    if (s.presentationMode && !s.presentationPlaying) plan.enabled = false;
    return plan;
}

TTimerPlan TickTimer(const TShowTimerState& s) {
    TTimerPlan plan;
    plan.setInterval = true;
    plan.interval = ItemIntervalMs(s.seconds, s.shownItemSeconds);
    plan.enabled = !(s.itemCount < 2 || s.previewMode || s.videoPlaying || s.transitionRunning ||
                     (s.presentationMode && !s.presentationPlaying));
    // A single Flash movie is reloaded whenever its time or its end comes.
    if (s.itemCount == 1 && s.onlyItemIsFlash) plan.enabled = true;
    return plan;
}

TTimerPlan LibraryTickTimer(TShowTimerState s, bool listing, bool dealt, int pollMs) {
    if (listing || s.itemCount == 1) s.itemCount = std::max(s.itemCount, 2);
    TTimerPlan plan = TickTimer(s);
    if (!dealt && listing) plan.interval = pollMs;
    return plan;
}

} // namespace pictorelle

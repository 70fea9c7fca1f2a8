// Which item the show loads next, and how long the timer waits: the order modes (sequential,
// random deck, shuffle deck), showing the first item only once, Next and Back, and the timer
// decisions of the show's start and of each tick. Plain state, no timers or windows: the main
// window owns one TItemSequence and acts on what it says.
#pragma once

#include <string>
#include <vector>

namespace pictorelle {

// DisplayOrder values. Any other value is treated as sequential.
inline constexpr int kOrderSequential = 0;
inline constexpr int kOrderRandom = 1;
inline constexpr int kOrderShuffle = 2;

class TItemSequence {
public:
    TItemSequence(int itemCount, int displayOrder, bool showFirstItemOnce);

    // The item the next tick loads; -1 before the start and for an empty show.
    int NextItem() const { return nextItem_; }
    // The item loaded by the last tick, the one on screen.
    int PreviousItem() const { return previousItem_; }
    bool GoBack() const { return goBack_; }
    const std::vector<int>& OrderDeck() const { return orderDeck_; }
    int ItemCount() const { return itemCount_; }

    // The first item of the show: item 0 when it is shown once, otherwise the first choice.
    // May empty effect (see ChooseNextCounter). Returns NextItem().
    int StartShow(std::string& effect);

    // Advances NextItem by the order mode. With one item or none, or with the first item shown
    // once and only one other item to alternate with, effect (the global effect selection) is
    // emptied: those items then change without a transition.
    void ChooseNextCounter(std::string& effect);

    // Back: the item before the one on screen in sequential order; in random and shuffle
    // order the next item of the deck, as Next gives.
    void Back(std::string& effect);

private:
    void step(int onScreen);
    void dealFromDeck(int onScreen);

    int itemCount_;
    int displayOrder_;
    bool showFirstItemOnce_;
    int nextItem_ = -1;
    int previousItem_ = -1;
    bool goBack_ = false;
    std::vector<int> orderDeck_;
};

// The time an item stays on screen, in milliseconds: its own seconds when above 0, else the
// show's. Saturates instead of overflowing; never negative.
int ItemIntervalMs(int seconds, int itemSeconds);

// What the slide timer should do.
struct TTimerPlan {
    bool enabled = false;
    bool setInterval = false; // false: leave the interval as it is
    int interval = 0;         // milliseconds
};

// The state the timer decisions look at.
struct TShowTimerState {
    int itemCount = 0;
    int seconds = 5;
    int shownItemSeconds = 0;     // ItemSeconds of the item on screen, 0 when none is
    bool onlyItemIsFlash = false; // the show's single item is a Flash movie
    bool videoPlaying = false;
    bool transitionRunning = false;
    bool previewMode = false;
    bool presentationMode = false;
    bool presentationPlaying = true;
};

// The timer after the show's first item was loaded.
TTimerPlan StartShowTimer(const TShowTimerState& state, bool desktopStart);

// The timer after a tick loaded an item and chose the next one.
TTimerPlan TickTimer(const TShowTimerState& state);

// The timer after a tick of a library show, whose items are the pictures known so far. While
// the folder is still being listed more may come, so the timer keeps going even with fewer
// than two, and so it does with a single picture, so that the folder is listed again and
// pictures added to it are found; a tick that found nothing new to deal asks again after
// pollMs. A library with no picture at all waits, as an empty show does.
TTimerPlan LibraryTickTimer(TShowTimerState state, bool listing, bool dealt, int pollMs);

// Whether the end of a transition re-enables the timer (it stays off while a presentation is
// paused).
inline bool RestartTimerEnables(bool presentationMode, bool presentationPlaying) {
    return !presentationMode || presentationPlaying;
}

} // namespace pictorelle

// TShowTimer: the show's slide timer. Besides a plain timer's interval and start it knows when
// the show has closed: from then on nothing re-arms it, whatever still asks for the next item
// (a transition winding down, a click on Next).
#pragma once

#include <QTimer>

namespace pictorelle {

class TShowTimer : public QTimer {
public:
    using QTimer::QTimer;

    // Starts the count unless the timer already runs (enabling a running timer changes
    // nothing) or the show has closed.
    void Enable() {
        if (!closed_ && !isActive()) start();
    }
    // Setting the interval of a running timer restarts its count.
    void EnableAt(int intervalMs) {
        setInterval(intervalMs);
        Enable();
    }
    void Close() {
        closed_ = true;
        stop();
    }
    bool Closed() const { return closed_; }

private:
    bool closed_ = false;
};

} // namespace pictorelle

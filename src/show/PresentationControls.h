// TPresentationControls: what the user steers a presentation with. The panel PresPanel with a
// button for each of the five commands (Play, Pause, Back, Next, Close), the panel's hide
// timer, and the pointer rules: a counted move shows the panel and the pointer for five
// seconds, a left click outside the panel is Next. The commands act on the slide timer, the
// item order and the running transition only.
#pragma once

#include "show/ShowTimer.h"
#include "show/sequence/ItemSequence.h"
#include "transitions/TransThread.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <functional>
#include <string>

class QAction;
class QWidget;

namespace pictorelle {

class TPanel;

inline constexpr int kPresPanelWidth = 193;
inline constexpr int kPresPanelHeight = 41;

class TPresentationControls : public QObject {
    Q_OBJECT
public:
    // The panel is made on window, hidden. effect is the global effect selection that Back
    // passes to the order; setCursorShown shows or hides the pointer through the window's one
    // balanced routine.
    TPresentationControls(QWidget& window, TShowTimer& timer, TItemSequence& sequence,
                          TTransitionState& transition, std::string& effect,
                          std::function<void(bool)> setCursorShown);

    // 20 pixels above the bottom of the screen, centred.
    void PlaceOnScreen(const QRect& screen);

    // The commands.
    void ActPlayExecute();
    void ActPauseExecute();
    void ActBackExecute();
    void ActNextExecute();
    void ActCloseExecute();

    // A counted pointer move: the panel and the pointer appear and the hide timer restarts.
    void PointerMoved();
    // A left click at pos (screen pixels): on the panel it belongs to its buttons, anywhere
    // else it is Next.
    void LeftClick(const QPoint& pos);
    // The panel hides with the pointer unless the pointer rests on it.
    void PresPanelHideTimerTimer();
    // The show is closing: the panel's timer stays off.
    void Stop() { PresPanelHideTimer.stop(); }

    bool PresentationPlaying = true; // the show advances by itself
    // Back in a show whose order is not the item sequence's (a library show): asks for the
    // picture before instead of stepping the sequence.
    std::function<void()> OnBack;

    // Named controls, as the window and the tests reach them.
    TPanel* PresPanel;
    QAction* ActPlay = nullptr;
    QAction* ActPause = nullptr;
    QAction* ActBack = nullptr;
    QAction* ActNext = nullptr;
    QAction* ActClose = nullptr;
    QTimer PresPanelHideTimer;

private:
    void CreateActions();
    QRect PanelOnScreen() const;
    // Asks a running transition to jump to its end and gives it a moment to get there.
    void WaitForSkippedTransition();

    QWidget& window_;
    TShowTimer& timer_;
    TItemSequence& sequence_;
    TTransitionState& transition_;
    std::string& effect_;
    std::function<void(bool)> setCursorShown_;
};

} // namespace pictorelle

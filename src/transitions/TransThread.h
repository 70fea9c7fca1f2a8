// Transitions: a worker thread turns what a target shows into a new picture frame by frame,
// through one of the numbered effects. The worker composes; every paint runs on the
// user-interface thread, which is never blocked and stops or shortens a transition through
// flags that the worker polls.
#pragma once

#include "core/Bitmap32.h"
#include "transitions/PaintTarget.h"
#include "transitions/RowHelpers.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace pictorelle {

class TTransThread;

// The shared state of the one transition that may run at a time. Its owner (the main window,
// the options panel, the off-screen runner, a test) must not destroy it while
// TransitionRunning is set.
struct TTransitionState {
    std::atomic<bool> TransitionRunning{false};
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> SkipTransition{false};
    std::atomic<bool> SuppressFinalPaint{false};
    std::atomic<TTransThread*> CurrentTransition{nullptr};
    int StepCount = 0;
    // Called on the worker after each frame's paints; the off-screen runner reports frames
    // with it.
    std::function<void()> FrameObserver;
    // Threads that take bands of a large frame's rows off the worker; they start with the first
    // such frame and end with the state, so no transition pays for starting them again.
    TRowHelpers Helpers;

    TTransitionState() = default;
    TTransitionState(const TTransitionState&) = delete;
    TTransitionState& operator=(const TTransitionState&) = delete;
    ~TTransitionState();
    // Waits for the last worker to be gone entirely (it has cleared TransitionRunning).
    void JoinWorker();

    std::thread worker;
};

class TTransThread {
public:
    // Takes the picture over: a caller done with its frame moves it in rather than have it
    // copied (33 MB at 3840 x 2160).
    TTransThread(TTransitionState& state, TMainThread& mainThread, int effect, int delay,
                 TBitmap32 picture, TPaintTarget& target);

    // The worker's body: the effect's frames, then the final paint unless suppressed, then
    // the clean-up that always clears CurrentTransition and TransitionRunning. An exception
    // from the effect or a paint ends the transition early and is reported on standard error.
    void Execute();

    // For the effect routines.
    int EffectNumber;
    int FrameDelay;
    TBitmap32 NewPicture;
    TBitmap32 OldPicture;
    TBitmap32 Scratch;
    int PictureWidth;
    int PictureHeight;

    int StepCount() const { return state_.StepCount; }
    // The helpers that may compose bands of a frame's rows alongside the worker.
    TRowHelpers& Helpers() { return state_.Helpers; }
    // Paint operations: copy `source` of a picture to `dest` of the target on the user-interface
    // thread, scaling when the sizes differ, and return when it is done. The one-rectangle forms
    // copy a rectangle to the same place.
    void PaintFromNew(const TRect& source, const TRect& dest) { Paint(NewPicture, source, dest); }
    void PaintFromOld(const TRect& source, const TRect& dest) { Paint(OldPicture, source, dest); }
    void PaintFromScratch(const TRect& source, const TRect& dest) { Paint(Scratch, source, dest); }
    void PaintFromNew(const TRect& rect) { Paint(NewPicture, rect, rect); }
    void PaintFromScratch(const TRect& rect) { Paint(Scratch, rect, rect); }
    // Shows all of Scratch, which differs from what the target shows only inside `changed`,
    // without a copy where the target allows: Scratch then holds the frame shown before (or
    // still its own pixels), so an effect may use it when each frame draws anew every pixel
    // that differs from the frame before last.
    void PresentScratch(std::span<const TRect> changed);
    void PresentScratch(const TRect& changed) {
        PresentScratch(std::span<const TRect>(&changed, 1));
    }
    // True once the user-interface thread asked this transition to stop or skip.
    bool Cancelled() const { return state_.StopRequested.load() || state_.SkipTransition.load(); }

    // The frame loop every effect runs in. step() draws the next frame and returns true, or
    // returns false, drawing nothing, when the effect has no frame left. The loop owns the
    // timing: each frame lasts at least FrameDelay milliseconds from its start, paints
    // included, and the loop ends once the transition is asked to stop or skip, before a frame
    // or while a frame waits out its delay.
    template <class Step> void RunFrames(Step&& step) {
        while (!Cancelled()) {
            BeginFrame();
            if (!step()) break;
            if (!EndFrame()) break;
        }
    }

private:
    // Frame timing: mark the frame's start, then after its paints wait until FrameDelay
    // milliseconds have passed since it (polling the flags every millisecond). EndFrame is
    // false when the transition should leave its loop.
    void BeginFrame();
    bool EndFrame();
    void Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect);

    TTransitionState& state_;
    TMainThread& mainThread_;
    TPaintTarget& target_;
    std::chrono::steady_clock::time_point frameStart_;
};

// Starts a transition to `picture` on `target`. Effect 0 paints the picture at once and
// starts no thread (the result is then false and onComplete is not called). Otherwise the
// worker runs and onComplete runs once on the user-interface thread after it has finished,
// whatever happened inside. With `wait`, returns only when the transition is over.
bool StartTransition(TTransitionState& state, TMainThread& mainThread, TPaintTarget& target,
                     TBitmap32 picture, int effect, bool wait, int steps, int delay,
                     std::function<void()> onComplete = {});

// For a window or panel that goes away while a transition may run: asks a running transition
// to stop without its final paint (the target keeps the last frame), keeps the user-interface
// thread's events flowing until the worker has finished, then waits for the worker thread to
// be gone. Leaves the flags alone when no transition runs.
void StopTransitionAndWait(TTransitionState& state, TMainThread& mainThread);

// Frames of a slide-show transition for a window width and an effect speed 1..10.
int TransitionSteps(int windowWidth, int speed);

} // namespace pictorelle

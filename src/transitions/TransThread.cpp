#include "transitions/TransThread.h"

#include "core/IntMath.h"
#include "core/Random.h"
#include "transitions/EffectCatalogue.h"
#include "transitions/EffectFamilies.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>

namespace pictorelle {
namespace {

constexpr std::array<int, 10> kSteps800 = {800, 600, 400, 200, 100, 60, 40, 20, 8, 4};
constexpr std::array<int, 10> kSteps1024 = {1024, 768, 400, 256, 128, 64, 32, 16, 8, 4};

// Asks the running transition, if there is one, to stop, keeps its paints flowing until the
// worker has ended, then joins the worker.
void StopAndJoin(TTransitionState& state, TMainThread& mainThread, bool suppressFinalPaint) {
    if (state.TransitionRunning) {
        // Suppression first: the worker may act on the stop request at once, and must then
        // already find its final paint cancelled.
        if (suppressFinalPaint) state.SuppressFinalPaint = true;
        state.StopRequested = true;
        mainThread.ProcessEventsUntil([&state] { return !state.TransitionRunning.load(); });
    }
    state.JoinWorker();
}

void ReportStopped(int effect, const char* what) {
    std::fprintf(stderr, "Transition effect %d stopped: %s\n", effect, what);
}

} // namespace

TTransitionState::~TTransitionState() {
    // The owner must not let a transition outlive its state; ask it to stop in any case.
    SuppressFinalPaint = true;
    StopRequested = true;
    JoinWorker();
}

void TTransitionState::JoinWorker() {
    if (worker.joinable() && worker.get_id() != std::this_thread::get_id()) worker.join();
}

TTransThread::TTransThread(TTransitionState& state, TMainThread& mainThread, int effect, int delay,
                           TBitmap32 picture, TPaintTarget& target)
    : EffectNumber(effect), FrameDelay(delay), NewPicture(std::move(picture)),
      OldPicture(NewPicture.Width(), NewPicture.Height()),
      Scratch(NewPicture.Width(), NewPicture.Height()), PictureWidth(NewPicture.Width()),
      PictureHeight(NewPicture.Height()), state_(state), mainThread_(mainThread), target_(target) {
    // What the target shows now is the picture the transition starts from.
    target_.Capture(OldPicture);
}

void TTransThread::Paint(const TBitmap32& source, const TRect& sourceRect, const TRect& destRect) {
    mainThread_.InvokeBlocking(
        [this, &source, &sourceRect, &destRect] { target_.Paint(source, sourceRect, destRect); });
}

void TTransThread::PresentScratch(std::span<const TRect> changed) {
    mainThread_.InvokeBlocking([this, &changed] { target_.Present(Scratch, changed); });
}

void TTransThread::BeginFrame() {
    frameStart_ = std::chrono::steady_clock::now();
}

bool TTransThread::EndFrame() {
    if (state_.FrameObserver) state_.FrameObserver();
    const auto end = frameStart_ + std::chrono::milliseconds(std::max(FrameDelay, 0));
    while (!Cancelled()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) break;
        // Wake every millisecond to look at the flags, and at the frame's end rather than up to
        // a millisecond after it: those overshoots would add up to a slower transition.
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(1)));
    }
    return !Cancelled();
}

void TTransThread::Execute() {
    try {
        if (EffectNumber < 0 || EffectNumber > kEffectCount)
            EffectNumber = RandomInt(kEffectCount) + 1;
        if (EffectNumber > 0) {
            const EffectInfo& info = EffectCatalogue()[static_cast<size_t>(EffectNumber - 1)];
            if (const TEffectRoutine routine = FamilyRoutine(info.family))
                routine(*this, info.local);
        }
        if (!state_.SuppressFinalPaint) PaintFromNew(NewPicture.BoundsRect());
    } catch (const std::exception& e) {
        // A failing effect must not leave the show waiting: the clean-up below always runs.
        ReportStopped(EffectNumber, e.what());
    } catch (...) {
        ReportStopped(EffectNumber, "unknown exception");
    }
    NewPicture.SetSize(0, 0);
    OldPicture.SetSize(0, 0);
    Scratch.SetSize(0, 0);
    state_.CurrentTransition = nullptr;
    state_.TransitionRunning = false;
}

bool StartTransition(TTransitionState& state, TMainThread& mainThread, TPaintTarget& target,
                     TBitmap32 picture, int effect, bool wait, int steps, int delay,
                     std::function<void()> onComplete) {
    Randomize();
    // Callers start one transition at a time; should one still run, stop it first, keeping
    // its paints flowing so the worker can reach its end. It still makes its final paint.
    StopAndJoin(state, mainThread, false);
    state.StopRequested = false;
    state.SkipTransition = false;
    state.TransitionRunning = true;
    state.StepCount = steps;
    if (effect == 0) {
        try {
            target.Paint(picture, picture.BoundsRect(), picture.BoundsRect());
        } catch (...) {
        }
        state.TransitionRunning = false;
        return false;
    }
    auto thread = std::make_unique<TTransThread>(state, mainThread, effect, delay,
                                                 std::move(picture), target);
    state.CurrentTransition = thread.get();
    state.worker = std::thread(
        [&mainThread, thread = std::move(thread), onComplete = std::move(onComplete)]() mutable {
            thread->Execute();
            thread.reset();
            if (onComplete) mainThread.InvokeLater(std::move(onComplete));
        });
    if (wait) mainThread.ProcessEventsUntil([&state] { return !state.TransitionRunning.load(); });
    return true;
}

void StopTransitionAndWait(TTransitionState& state, TMainThread& mainThread) {
    StopAndJoin(state, mainThread, true);
}

int TransitionSteps(int windowWidth, int speed) {
    // Speeds outside the track bar's range would index past the tables or divide by zero.
    speed = std::clamp(speed, 1, 10);
    const auto i = static_cast<size_t>(speed - 1);
    if (windowWidth == 800) return kSteps800[i];
    if (windowWidth == 1024) return kSteps1024[i];
    // At least four steps, so a tiny window still animates and no effect divides by zero.
    return std::max(Div(windowWidth, speed) / 4 * 4, 4);
}

} // namespace pictorelle

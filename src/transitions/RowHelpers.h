// TRowHelpers: a small fixed set of threads that help the transition worker compose one large
// frame by taking bands of its rows. The worker stays the one that runs the frame loop, waits
// out the frame delay and paints; it draws the first band itself and returns from Run only when
// every helper has finished its band, so a frame is complete before it is painted.
//
// The threads start the first time a frame is split and live as long as the object (the
// transition state, which outlives every transition it runs); between frames they sleep.
// PICTORELLE_ROW_HELPERS=N in the environment asks for N helpers (0: the worker alone).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace pictorelle {

class TRowHelpers {
public:
    // One helper fewer than the processor has cores (one on two cores), at most three, or what
    // PICTORELLE_ROW_HELPERS says.
    static int DefaultHelperCount();
    // Frames that write fewer pixels than this are not worth the hand-over.
    static constexpr std::size_t kDefaultMinimumPixels = std::size_t{1} << 20;

    TRowHelpers() : TRowHelpers(DefaultHelperCount(), kDefaultMinimumPixels) {}
    TRowHelpers(int helperCount, std::size_t minimumPixels);
    ~TRowHelpers();
    TRowHelpers(const TRowHelpers&) = delete;
    TRowHelpers& operator=(const TRowHelpers&) = delete;

    // Ends the helpers there are and takes a new count and threshold; the new helpers start on
    // the next split frame. Not while a Run is under way.
    void Reset(int helperCount, std::size_t minimumPixels);

    int HelperCount() const { return helperCount_; }
    // How many bands a frame that writes `pixels` pixels should be split into: 1 (the worker
    // alone) below the threshold, otherwise one for the worker and one per helper.
    int BandsFor(std::size_t pixels) const {
        return pixels < minimumPixels_ ? 1 : helperCount_ + 1;
    }

    // Calls job(band) once for every band in [0, bands): band 0 on the calling thread, the
    // others on helpers at the same time; returns once all have returned. `bands` is capped at
    // one per helper and the caller. A job run by a helper must not throw; should band 0
    // throw, Run still waits for the helpers before passing the exception on. One caller at a
    // time (the transition worker).
    template <class Job> void Run(int bands, Job&& job) {
        RunErased(bands, [](void* j, int band) { (*static_cast<Job*>(j))(band); },
                  const_cast<void*>(static_cast<const void*>(&job)));
    }

private:
    using Call = void (*)(void*, int);
    void RunErased(int bands, Call call, void* job);
    void Start();
    void Stop();
    // `seen`: the round before the helper's first, taken when it was started.
    void HelperLoop(int band, uint64_t seen);

    int helperCount_ = 0;
    std::size_t minimumPixels_ = kDefaultMinimumPixels;
    std::vector<std::thread> threads_; // started on the first split frame

    std::mutex mutex_;
    std::condition_variable wake_;     // a round starts, or the helpers are to end
    std::condition_variable finished_; // the last helper of a round is done
    uint64_t round_ = 0;
    int bands_ = 0;   // of the current round
    int pending_ = 0; // helpers of the current round still at work
    Call call_ = nullptr;
    void* job_ = nullptr;
    bool stopping_ = false;
};

} // namespace pictorelle

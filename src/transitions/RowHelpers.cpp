#include "transitions/RowHelpers.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <system_error>

namespace pictorelle {

namespace {

// More helpers than this only add hand-over cost: a frame is memory-bound well before.
constexpr int kMaxHelpers = 3;

} // namespace

int TRowHelpers::DefaultHelperCount() {
    if (const char* wanted = std::getenv("PICTORELLE_ROW_HELPERS"); wanted && *wanted)
        return std::clamp(std::atoi(wanted), 0, kMaxHelpers);
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores - 1, 0, kMaxHelpers);
}

TRowHelpers::TRowHelpers(int helperCount, std::size_t minimumPixels)
    : helperCount_(std::clamp(helperCount, 0, kMaxHelpers)), minimumPixels_(minimumPixels) {}

TRowHelpers::~TRowHelpers() {
    Stop();
}

void TRowHelpers::Reset(int helperCount, std::size_t minimumPixels) {
    Stop();
    helperCount_ = std::clamp(helperCount, 0, kMaxHelpers);
    minimumPixels_ = minimumPixels;
}

void TRowHelpers::Start() {
    std::lock_guard lock(mutex_);
    stopping_ = false;
    try {
        for (int k = static_cast<int>(threads_.size()); k < helperCount_; ++k)
            threads_.emplace_back([this, k, seen = round_] { HelperLoop(k + 1, seen); });
    } catch (const std::system_error&) {
        // No more threads to be had: the frames are split over those there are.
        helperCount_ = static_cast<int>(threads_.size());
    }
}

void TRowHelpers::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
    threads_.clear();
}

void TRowHelpers::HelperLoop(int band, uint64_t seen) {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
        if (stopping_) return;
        seen = round_;
        if (band >= bands_) continue; // this round needs fewer bands
        const Call call = call_;
        void* job = job_;
        lock.unlock();
        call(job, band);
        lock.lock();
        if (--pending_ == 0) finished_.notify_one();
    }
}

void TRowHelpers::RunErased(int bands, Call call, void* job) {
    bands = std::clamp(bands, 1, helperCount_ + 1);
    if (bands > 1 && static_cast<int>(threads_.size()) < helperCount_) {
        Start();
        bands = std::min(bands, helperCount_ + 1); // fewer, should threads have run out
    }
    if (bands == 1) {
        call(job, 0);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        call_ = call;
        job_ = job;
        bands_ = bands;
        pending_ = bands - 1;
        ++round_;
    }
    wake_.notify_all();
    std::exception_ptr failure;
    try {
        call(job, 0);
    } catch (...) {
        // The helpers still use the job: wait for them before it goes away.
        failure = std::current_exception();
    }
    {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return pending_ == 0; });
    }
    if (failure) std::rethrow_exception(failure);
}

} // namespace pictorelle
